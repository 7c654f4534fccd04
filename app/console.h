// The console log: the one routine through which every line after the
// banner is written.
#pragma once

// Set once by the entry point when started with the `debug` switch.
extern bool debug_mode;

// Writes the printf-formatted line followed by "\r\n" when debug_mode is set
// or level is greater than 0; otherwise writes nothing. Levels in use:
// 0 traces, 1 the report, 3 problems reading the card serial number.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void console_log(int level, const char* format, ...);
