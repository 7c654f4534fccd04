/* Stand-in for the macOS SDK's <TargetConditionals.h>, which GoogleTest's
 * headers include on __APPLE__; for scripts/macos-check.sh only. The target
 * is macOS, not iOS. */
#ifndef QUILLON_MACOS_TARGETCONDITIONALS_H
#define QUILLON_MACOS_TARGETCONDITIONALS_H
#define TARGET_OS_MAC 1
#define TARGET_OS_OSX 1
#define TARGET_OS_IPHONE 0
#endif
