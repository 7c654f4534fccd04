// The console log: the one routine through which every line after the
// banner is written.
#pragma once

// The exit status when standard output cannot take the report.
constexpr int CONSOLE_WRITE_FAILED = 1;

// Set once by the entry point when started with the `debug` switch.
extern bool debug_mode;

// Writes the printf-formatted line followed by "\r\n" when debug_mode is set
// or level is greater than 0; otherwise writes nothing. Levels in use:
// 0 traces, 1 the report, 3 problems reading the card serial number.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void console_log(int level, const char* format, ...);

// Sends what was written on to standard output. When that fails (a full
// disk, /dev/full), ends the program at once with CONSOLE_WRITE_FAILED and
// one line on standard error that names the error.
void console_flush();
