/* Stand-in for the macOS SDK's <netinet/tcp.h>, for scripts/macos-check.sh
 * only: Debian's header, less TCP_QUICKACK and TCP_CORK, which are Linux's
 * (glibc defines them as macros, so a source may test them with #ifdef). */
#ifndef QUILLON_MACOS_NETINET_TCP_H
#define QUILLON_MACOS_NETINET_TCP_H
#pragma GCC system_header
#include_next <netinet/tcp.h>
#undef TCP_QUICKACK
#undef TCP_CORK
#endif
