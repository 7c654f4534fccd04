#include "app/console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool debug_mode = false;

void console_flush() {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return;
  // Nobody reads what is written from here on (a full disk, a device that
  // takes nothing, a closed console): scanning on would report to no one,
  // and a status of 0 would tell a script that the report is there. A pipe
  // closed by its reader never gets here: SIGPIPE keeps its default action
  // and ends the program first, as it ends any filter.
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "quillon: cannot write to standard output: %s\n", std::strerror(error));
  std::fflush(stderr);
  // stdio's exit-time flush would try the same write again: leave without it.
  std::_Exit(CONSOLE_WRITE_FAILED);
}

void console_log(int level, const char* format, ...) {
  if (!debug_mode && level <= 0) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fputs("\r\n", stdout);
  // Each line reaches a pipe as soon as it is written.
  console_flush();
}
