#!/usr/bin/env python3
"""Asks the system's PC/SC service about its readers, through libpcsclite
directly (ctypes):

    readers.py card    exits 0 when a listed reader holds a card, and prints
                       that reader's name; otherwise exits 1 and prints why
                       (no service, no reader, or empty readers)
    readers.py list    prints the name of every listed reader, one a line
                       (nothing for none); exits 1 when the service cannot be
                       reached

Reader names are printed in UTF-8, with bytes that are not UTF-8 replaced."""
import ctypes
import ctypes.util
import sys

SCARD_SCOPE_SYSTEM = 2
SCARD_E_TIMEOUT = 0x8010000A
SCARD_E_NO_READERS_AVAILABLE = 0x8010002E
SCARD_STATE_UNAWARE = 0
SCARD_STATE_PRESENT = 0x20
MAX_ATR_SIZE = 33

# pcsc-lite's DWORD, LONG and SCARDCONTEXT are C longs on Linux.
DWORD = ctypes.c_ulong


class ReaderState(ctypes.Structure):
    _fields_ = [("reader", ctypes.c_char_p), ("user_data", ctypes.c_void_p),
                ("current_state", DWORD), ("event_state", DWORD),
                ("atr_length", DWORD), ("atr", ctypes.c_ubyte * MAX_ATR_SIZE)]


class Service:
    """A PC/SC context; raises OSError with the reason when there is none."""

    def __init__(self):
        name = ctypes.util.find_library("pcsclite") or "libpcsclite.so.1"
        try:
            self.lib = ctypes.CDLL(name)
        except OSError as e:
            raise OSError(f"no pcsc-lite client library ({e})") from e
        self.lib.SCardEstablishContext.restype = ctypes.c_long
        self.lib.SCardListReaders.restype = ctypes.c_long
        self.lib.SCardGetStatusChange.restype = ctypes.c_long
        self.context = ctypes.c_long(0)
        result = self.lib.SCardEstablishContext(SCARD_SCOPE_SYSTEM, None, None, ctypes.byref(self.context))
        if result != 0:
            raise OSError(f"no PC/SC service (err {result & 0xFFFFFFFF:08X})")

    def close(self):
        self.lib.SCardReleaseContext(self.context)

    def readers(self):
        """The listed readers' names, as bytes."""
        length = DWORD(0)
        block = None
        # First the size of the name block, then the block itself.
        for _ in range(2):
            result = self.lib.SCardListReaders(self.context, None, block, ctypes.byref(length)) & 0xFFFFFFFF
            if result == SCARD_E_NO_READERS_AVAILABLE:
                return []
            if result != 0:
                raise OSError(f"cannot list the readers (err {result:08X})")
            if block is None:
                block = ctypes.create_string_buffer(length.value)
        return [name for name in block.raw[:length.value].split(b"\0") if name]

    def with_card(self, names):
        """The names of those readers that hold a card now."""
        if not names:
            return []
        states = (ReaderState * len(names))()
        for state, name in zip(states, names):
            state.reader = name
            state.current_state = SCARD_STATE_UNAWARE
        result = self.lib.SCardGetStatusChange(self.context, DWORD(0), states, DWORD(len(names)))
        # From the unaware state every reader's state is news, so the call
        # returns at once; a time-out would still leave the states filled in.
        if result != 0 and result & 0xFFFFFFFF != SCARD_E_TIMEOUT:
            raise OSError(f"cannot read the readers' states (err {result & 0xFFFFFFFF:08X})")
        return [state.reader for state in states if state.event_state & SCARD_STATE_PRESENT]


def shown(name):
    return name.decode("utf-8", "replace")


def main(argv):
    if len(argv) != 1 or argv[0] not in ("card", "list"):
        print("usage: readers.py card|list", file=sys.stderr)
        return 2
    try:
        service = Service()
    except OSError as e:
        print(e)
        return 1
    try:
        names = service.readers()
        if argv[0] == "list":
            for name in names:
                print(shown(name))
            return 0
        if not names:
            print("no reader")
            return 1
        cards = service.with_card(names)
        if not cards:
            print(f"no card in the {len(names)} reader(s): " + ", ".join(shown(n) for n in names))
            return 1
        print(shown(cards[0]))
        return 0
    except OSError as e:
        print(e)
        return 1
    finally:
        service.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
