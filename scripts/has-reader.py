#!/usr/bin/env python3
"""Exits 0 when the system's PC/SC service answers and lists at least one
reader, 1 otherwise. Talks to libpcsclite directly through ctypes."""
import ctypes
import ctypes.util
import sys

SCARD_SCOPE_SYSTEM = 2


def main() -> int:
    name = ctypes.util.find_library("pcsclite") or "libpcsclite.so.1"
    try:
        lib = ctypes.CDLL(name)
    except OSError:
        return 1
    # pcsc-lite's SCARDCONTEXT and DWORD are C longs on Linux.
    context = ctypes.c_long(0)
    if lib.SCardEstablishContext(SCARD_SCOPE_SYSTEM, None, None, ctypes.byref(context)) != 0:
        return 1
    try:
        length = ctypes.c_ulong(0)
        result = lib.SCardListReaders(context, None, None, ctypes.byref(length))
        return 0 if result == 0 and length.value > 1 else 1
    finally:
        lib.SCardReleaseContext(context)


if __name__ == "__main__":
    sys.exit(main())
