/* Stand-in for the macOS SDK's <AvailabilityMacros.h>, which GoogleTest's
 * headers include on __APPLE__ without using anything from it; for
 * scripts/macos-check.sh only. */
#ifndef QUILLON_MACOS_AVAILABILITYMACROS_H
#define QUILLON_MACOS_AVAILABILITYMACROS_H
#endif
