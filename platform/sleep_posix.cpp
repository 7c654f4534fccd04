// Sleep in milliseconds, as Windows spells it.
#include <cerrno>
#include <ctime>

#include "platform/pcsc.h"

void Sleep(DWORD dwMilliseconds) {
  timespec left{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
