#!/usr/bin/env python3
"""Asks the system's PC/SC service about its readers, through libpcsclite
directly (ctypes):

    readers.py card    exits 0 when a listed reader holds a card, and prints
                       that reader's name; otherwise exits 1 and prints why
                       (no service, no reader, or empty readers)
    readers.py list    prints the name of every listed reader, one a line
                       (nothing for none); exits 1 when the service cannot be
                       reached

A service that refuses this user (pcsc-lite built with polkit: Debian 13
and later allow only root and the active local session, not a login over
SSH) is told apart from a missing one, with what to do.

Reader names are printed in UTF-8, with bytes that are not UTF-8 replaced,
and each control character (C0, DEL, C1) shown as '?', as the tool shows
them: a reader's name comes from its driver or a USB device's product
string, and must not drive the terminal."""
import ctypes
import ctypes.util
import getpass
import os
import sys

SCARD_SCOPE_SYSTEM = 2
SCARD_E_TIMEOUT = 0x8010000A
SCARD_E_NO_READERS_AVAILABLE = 0x8010002E
SCARD_W_SECURITY_VIOLATION = 0x8010006A
SCARD_SHARE_SHARED = 2
SCARD_PROTOCOL_ANY = 3  # T=0 or T=1
SCARD_LEAVE_CARD = 0
SCARD_STATE_UNAWARE = 0
SCARD_STATE_PRESENT = 0x20
MAX_ATR_SIZE = 33

# pcsc-lite's DWORD, LONG and SCARDCONTEXT are C longs on Linux.
DWORD = ctypes.c_ulong


class ReaderState(ctypes.Structure):
    _fields_ = [("reader", ctypes.c_char_p), ("user_data", ctypes.c_void_p),
                ("current_state", DWORD), ("event_state", DWORD),
                ("atr_length", DWORD), ("atr", ctypes.c_ubyte * MAX_ATR_SIZE)]


def user_name():
    try:
        return getpass.getuser()
    except (KeyError, OSError):
        return str(os.getuid())


def refused(action):
    """The reason given when the service's policy refuses this user."""
    return (f"the PC/SC service refuses user {user_name()} (err 8010006A, polkit action {action}): "
            "its policy allows root and the active local session only, not a login over SSH; a polkit rule "
            "that allows the user org.debian.pcsc-lite.access_pcsc and org.debian.pcsc-lite.access_card "
            "mends it (doc/examples/pcsc-polkit.rules)")


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
        self.lib.SCardConnect.restype = ctypes.c_long
        self.context = ctypes.c_long(0)
        result = self.lib.SCardEstablishContext(SCARD_SCOPE_SYSTEM, None, None, ctypes.byref(self.context))
        result &= 0xFFFFFFFF
        if result == SCARD_W_SECURITY_VIOLATION:
            raise OSError(refused("org.debian.pcsc-lite.access_pcsc"))
        if result != 0:
            raise OSError(f"no PC/SC service (err {result:08X})")

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

    def check_card_access(self, name):
        """Fails when the service's policy refuses this user the card in
        reader `name`. The card is connected shared and left as it is;
        any other failure is left for the tool to meet."""
        card = ctypes.c_long(0)
        protocol = DWORD(0)
        result = self.lib.SCardConnect(self.context, name, DWORD(SCARD_SHARE_SHARED), DWORD(SCARD_PROTOCOL_ANY),
                                       ctypes.byref(card), ctypes.byref(protocol)) & 0xFFFFFFFF
        if result == 0:
            self.lib.SCardDisconnect(card, DWORD(SCARD_LEAVE_CARD))
        elif result == SCARD_W_SECURITY_VIOLATION:
            raise OSError(refused("org.debian.pcsc-lite.access_card"))


# C0 controls, DEL and C1 controls (U+0080..U+009F), each shown as '?'.
CONTROLS = {code: "?" for code in [*range(0x20), *range(0x7F, 0xA0)]}


def shown(name):
    return name.decode("utf-8", "replace").translate(CONTROLS)


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
        service.check_card_access(cards[0])
        print(shown(cards[0]))
        return 0
    except OSError as e:
        print(e)
        return 1
    finally:
        service.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
