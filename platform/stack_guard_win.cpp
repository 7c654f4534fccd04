// The stack protector's guard value and failure handler for the MinGW-w64
// build. GCC's -fstack-protector-strong makes protected functions compare a
// copy of __stack_chk_guard on return and call __stack_chk_fail on a
// mismatch. GCC's own libssp provides both, but it fills the guard through
// advapi32.dll, a DLL the executable would then import; here the guard comes
// from the C runtime's rand_s (the system's random number generator, looked
// up at run time), so quillon.exe keeps importing only KERNEL32, msvcrt and
// WinSCard.
//
// Compiled without the stack protector (see cmake/hardening.cmake): the
// function that sets the guard must not check it. Both functions are also
// marked so, where the compiler knows the attribute, so that no later flag
// can put a check into them.
#define _CRT_RAND_S
#include <stdlib.h>
#include <windows.h>

#include <cstdint>

#if defined(__has_attribute)
#if __has_attribute(no_stack_protector)
#define QUILLON_NO_STACK_PROTECTOR __attribute__((no_stack_protector))
#endif
#endif
#ifndef QUILLON_NO_STACK_PROTECTOR
#define QUILLON_NO_STACK_PROTECTOR
#endif

extern "C" {

[[noreturn]] void __stack_chk_fail(void);

// A non-zero value until the constructor below runs, so that a guard is in
// place even before. The C runtime runs constructors before main.
std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x2f8c5d41e937b06aULL);

[[noreturn]] QUILLON_NO_STACK_PROTECTOR void __stack_chk_fail(void) {
  // The stack is corrupt: end at once, running no handler and no atexit
  // function, with the status Windows itself uses for this failure. Should
  // the process still run, the trap ends it: an empty endless loop would be
  // no sure stop, as a compiler may remove it.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_STACK_BUFFER_OVERRUN));
  __builtin_trap();
}

}  // extern "C"

namespace {

QUILLON_NO_STACK_PROTECTOR __attribute__((constructor)) void set_stack_guard() {
  std::uint64_t guard = 0;
  bool random = true;
  for (int part = 0; part < 2; ++part) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) {
      random = false;
      break;
    }
    guard = (guard << 32) | value;
  }
  if (!random) {
    // No random source: what differs between runs. The addresses vary with
    // ASLR.
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    guard = static_cast<std::uint64_t>(counter.QuadPart) ^
            (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^ GetCurrentThreadId() ^
            static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&counter)) ^
            (static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&set_stack_guard)) << 16);
  }
  // The low byte zero: in memory the guard then begins with a zero byte,
  // which stops string functions from reading or writing across it.
  __stack_chk_guard = static_cast<std::uintptr_t>(guard) & ~static_cast<std::uintptr_t>(0xff);
}

}  // namespace
