/* Stand-in for the macOS SDK's <sys/socket.h>, for scripts/macos-check.sh
 * only: Debian's header, less the names that macOS does not have, so that a
 * source using one fails the check. SOCK_CLOEXEC and SOCK_NONBLOCK (socket
 * type flags) and MSG_MORE are Linux's; MSG_NOSIGNAL is in some macOS SDKs
 * only, so the sources must do without it. accept4 is Linux's. Each is made
 * an error to use, even in #ifdef: glibc declares the flags as enumerators
 * too, which #undef alone would leave usable. */
#ifndef QUILLON_MACOS_SYS_SOCKET_H
#define QUILLON_MACOS_SYS_SOCKET_H
#pragma GCC system_header
#include_next <sys/socket.h>
#undef SOCK_CLOEXEC
#undef SOCK_NONBLOCK
#undef MSG_NOSIGNAL
#undef MSG_MORE
#pragma GCC poison SOCK_CLOEXEC SOCK_NONBLOCK MSG_NOSIGNAL MSG_MORE accept4
#endif
