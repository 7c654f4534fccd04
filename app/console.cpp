#include "app/console.h"

#include <cstdarg>
#include <cstdio>

bool debug_mode = false;

void console_log(int level, const char* format, ...) {
  if (!debug_mode && level <= 0) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fputs("\r\n", stdout);
  // Each line reaches a pipe as soon as it is written.
  std::fflush(stdout);
}
