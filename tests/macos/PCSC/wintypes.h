/* Stand-in for the PCSC framework's <PCSC/wintypes.h> on macOS, for the
 * syntax check in scripts/macos-check.sh only: the Windows type names with
 * the framework's widths. It declares what Quillon and its tests use, plus
 * the framework's deprecated char* LPCWSTR, which a UTF-16 layer must not
 * collide with. Neither pcsclite.h nor winscard.h includes this file, as in
 * the framework. */
#ifndef QUILLON_MACOS_PCSC_WINTYPES_H
#define QUILLON_MACOS_PCSC_WINTYPES_H

#include <stdint.h>

typedef uint32_t DWORD;
typedef int32_t LONG;
typedef DWORD *LPDWORD;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef unsigned char *LPBYTE;
typedef const unsigned char *LPCBYTE;
typedef const void *LPCVOID;

/* CoreFoundation's COM plug-in header declares these itself. */
#ifndef __COREFOUNDATION_CFPLUGINCOM__
typedef uint32_t ULONG;
typedef int16_t BOOL;
typedef void *LPVOID;
#endif

/* A narrow string under a wide name, kept for old code; any use of it warns. */
typedef char *LPCWSTR __attribute__((deprecated));

#endif
