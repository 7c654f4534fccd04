#include "app/entry.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "app/console.h"
#include "monitor/monitor.h"

namespace {

const char BANNER[] =
    "Vantrel Quillon utility v.1.0\r\n"
    "Copyright (c) 2026 Vantrel\r\n"
    "\r\n"
    "Waiting for card...\r\n";

bool equals_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

int quillon_main(int argc, char** argv) {
#ifdef _WIN32
  // Every line already ends in "\r\n": in binary mode the C runtime does not
  // turn its "\n" into "\r\n" a second time.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::fwrite(BANNER, 1, sizeof BANNER - 1, stdout);
  console_flush();
  if (argc > 1 && argv[1] != nullptr && equals_ignoring_case(argv[1], "debug")) debug_mode = true;
  monitor_readers();
  return 0;
}
