#!/usr/bin/env python3
"""End-to-end tests of quillon on the real PC/SC stack.

Each case runs in private mount, PID and network namespaces made by
scripts/pcsc-stack.sh (its own /run/pcscd, so its own pcscd, and its own
loopback) with the vpcd virtual reader driver on a port of its own, so that
cases can run in parallel. The virtual card
(quillon-vcard) plugs into vpcd; quillon talks to pcscd through libpcsclite
as it would to a real reader. The tool's standard output is captured byte
for byte and checked; every line it writes ends in CR LF.

    e2e.py --quillon PATH --vcard PATH [--port N] [--keep DIR] CASE
    e2e.py --wine WRAPPER --quillon quillon.exe [--compare-with PATH] ... CASE
    e2e.py --emulator "qemu-aarch64 -L /usr/aarch64-linux-gnu" --quillon PATH
           --vcard NATIVE_VCARD [--compare-with NATIVE_QUILLON] ... CASE

With --wine the tool is the Windows build, run through WRAPPER
(tests/wine/quillon-wine.sh: Wine with its own WinSCard over pcsc-lite from
Wine 9 on, with a test WinSCard that forwards to pcsc-lite on Wine 8).
With --emulator the tool is a cross build for another architecture, run
through that command (qemu-user, called explicitly: no binfmt handler); the
stack and the virtual card stay native.
With --compare-with, a case whose output is fixed by the card and
the stack alone (SAME_BYTES) runs that other build (the Linux one) once more
on the same card afterwards, and the two outputs must be the same bytes.

Needs root (or user namespaces, which Debian gives ordinary users), unshare,
pcscd and the vpcd driver; a missing piece fails the case (it is not
skipped). Standard library only.
"""

import argparse
import fcntl
import os
import pty
import random
import re
import shlex
import signal
import subprocess
import sys
import termios
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
DEFAULT_STACK = HERE.parent.parent / "scripts" / "pcsc-stack.sh"

# ---------------------------------------------------------------------------
# Limits of the waits
#
# Every wait for something that must happen takes its limit from here: pcscd
# opening its socket, a card powered up, a line of the tool, a point in a
# card's log, a process that was told to stop. A wait ends as soon as its
# thing happens, so a limit costs time only when a case fails; each leaves
# ample room for a slow machine: a first run with cold caches and a fresh
# Wine prefix, two cases at once (ctest -j2), a build or a CPU hog beside
# them. What a case checks about timing (retries about a second apart, one
# scan in 20 s, a card back 1.5 s later) is behaviour, not a limit, and does
# not come from here.
#
# On a quiet machine each step takes well under a second: pcscd is up in
# 0.1 s, sees a card come or go within its 400 ms poll, and the tool scans
# the 255 catalogue rows in about 0.3 s (1 s under Wine). The tool prints its
# banner within milliseconds, and in about a second under memcheck or under
# Wine in a stack that has just started its own wineserver; a first run of
# the Windows build after a fresh build and Wine prefix has taken over 10 s
# to reach the 100th SELECT. The tool's start gets a limit of its own, the
# longest under Wine.

def read_base():
    """The base of every limit, in seconds: wait_step in
    scripts/wait-limits.sh, which the shell scripts' waits share."""
    text = (DEFAULT_STACK.parent / "wait-limits.sh").read_text()
    return float(re.search(r"^wait_step=(\d+)$", text, re.M).group(1))


BASE = read_base()  # the rest are multiples of it


class Limits:
    STEP = BASE  # pcscd, a card or the running tool does what the last step asked for
    # The tool started prints its banner, by the way it is run.
    START = {"native": BASE, "emulator": 2 * BASE, "valgrind": 3 * BASE, "wine": 4.5 * BASE}
    RUN = 3 * BASE  # a tool that has printed its banner ends by itself
    GRACE = BASE / 2  # a process told to stop (SIGTERM) ends before it is killed
    # Kept free at the end of the case's own limit (--limit, ctest's TIMEOUT)
    # for stopping its processes, so that a case that fails says why itself.
    CLEANUP = 1.5 * BASE
    case_end = float("inf")  # when the case's own limit is up, less CLEANUP (set by main)

    @classmethod
    def until(cls, seconds):
        """The end of a wait of `seconds` from now, within the case's own limit."""
        return min(time.monotonic() + seconds, cls.case_end)


def wait_until(what, condition, timeout=Limits.STEP):
    """Waits until condition() holds; fails with "`what` within N s"."""
    begun = time.monotonic()
    end = Limits.until(timeout)
    while not condition():
        if time.monotonic() > end:
            raise Failure(f"{what} within {end - begun:.1f} s")
        time.sleep(0.01)


# ---------------------------------------------------------------------------
# What the tool prints

CRLF = b"\r\n"
BANNER = (b"Vantrel Quillon utility v.1.0\r\n"
          b"Copyright (c) 2026 Vantrel\r\n"
          b"\r\n"
          b"Waiting for card...\r\n")
HYPHENS = b"-" * 39
READER0 = b"Reader: Virtual PCD 00 00"   # vpcd's first slot: port N
READER1 = b"Reader: Virtual PCD 00 01"   # vpcd's second slot: port N+1, never has a card here
RETRY = b"failed to read AID list => retrying"
NO_SERVICE = b"failed to establish SCard context (err 8010001D)-> wait"
NO_SERVICE_CONNECT = b"connect error 8010001d"
NO_READERS = b"no SCard readers detected..."
CARD_REMOVED = b"card removed"
CONTEXT_FAILED = re.compile(rb"failed to establish SCard context \(err [0-9A-F]{8}\)-> wait")
LIST_FAILED = re.compile(rb"failed to list SCard readers \(err [0-9A-F]{8}\)-> wait")
STATE_EMPTY = (b"SCARD_STATE_EMPTY: There is no card in the reader. "
               b"If this bit is set, all the following bits will be clear.")
STATE_PRESENT = b"SCARD_STATE_PRESENT: There is a card in the reader."
# A reader name beyond ASCII (the stack's --reader-name): two-, three- and
# four-byte UTF-8, the last outside UTF-16's basic plane (a surrogate pair).
NONASCII_NAME = "Lecteur Ünïcödé € 読取機 🂡"
# A name that is not UTF-8 (Latin-1 é), as an administrator's reader.conf may
# have it; the reader line shows U+FFFD for the byte.
LATIN1_NAME = b"Caf\xe9 Reader"
LATIN1_LINE = b"Reader: Caf\xef\xbf\xbd Reader 00 00"
# A name with control characters, as a hostile USB device's product string
# may have: ESC sequences that clear the screen, CR, BEL and a C1 control
# (U+0085); each is shown as '?'.
CONTROL_NAME = b"Evil\x1b[2J\x1b[H\rfound AID:   X\x07 \xc2\x85"
CONTROL_LINE = b"Reader: Evil?[2J?[H?found AID:   X? ? 00 00"
# A name with a terminal's commands (a window title ended by BEL, a clear
# screen), DEL and a C1 control (U+0085), and how scripts/readers.py shows it.
TERMINAL_NAME = b"Evil\x1b]0;pwned\x07\x1b[2J\x7f \xc2\x85 \xc3\x9cber"
TERMINAL_SHOWN = "Evil?]0;pwned??[2J? ? \u00dcber"
NO_VALUE = b"\xa0"  # the catalogue's mark for a field without a value (Windows-1252 no-break space)

# Catalogue rows that the virtual cards carry: aid, name, description, vendor.
ROWS = {
    "PSE": (b"315041592E5359532E4444463031",
            b"Visa Payment System Environment - PSE (1PAY.SYS.DDF01)",
            NO_VALUE, b"Visa International"),
    "VISA": (b"A0000000031010", b"VISA Debit/Credit (Classic)",
             b"Standard/Gold VISA credit card", b"Visa International"),
    "MASTERCARD": (b"A0000000041010", b"MasterCard Credit",
                   b"Standard MasterCard", b"Mastercard International"),
    "OPENPGP": (b"D27600012401", b"OpenPGP Card",
                b"For selection when not knowing the exact full AID", b"fsfEurope"),
    "BANKAXEPT": (b"D5780000021010", b"BankAxept", b"Norwegian domestic debit card", b"BankAxept AS"),
}
CATALOGUE_ROWS = 255

# The virtual cards (tests/vcard): ATR, the rows they accept in catalogue
# order, their card production life-cycle data answer and the serial number
# (bytes 13..20 of that answer).
CARDS = {
    "apps": {
        "atr": b"3B898131FE4580575155494C4C4F4E19",
        "rows": ["PSE", "VISA", "OPENPGP"],
        "cplc": b"9F7F2A47905167479181421100" b"3141592653589793"
                b"4792815012348151000000000000000000000000000000009000",
        "serial": b"3141592653589793",
        "protocol": 2,
    },
    "t0": {
        "atr": b"3B890080575155494C4C5430",
        "rows": ["VISA", "MASTERCARD"],
        "cplc": b"9F7F2A47905167479181421100" b"2718281828459045"
                b"4792815012348151000000000000000000000000000000009000",
        "serial": b"2718281828459045",
        "protocol": 1,
    },
    "none": {
        "atr": b"3B898131FE4580575156434E4F4E451B",
        "rows": [],
    },
}
CARDS["vanish"] = CARDS["apps"]
# The apps card carrying only two applications late in the catalogue (rows
# 242 and 249, quillon-vcard --apps LATE_APPS): a scan cut off before them
# has found nothing.
LATE_APPS = "D27600012401,D5780000021010"
CARDS["late"] = dict(CARDS["apps"], rows=["OPENPGP", "BANKAXEPT"])

class Failure(Exception):
    pass


def lines_of(data):
    """Splits output into lines at CR LF (the last part may be unterminated)."""
    parts = data.split(CRLF)
    return parts[:-1] if parts and parts[-1] == b"" else parts


def show(data, limit=120):
    """Readable dump of captured output: one repr per line."""
    ls = lines_of(data)
    out = [f"    {i:4}: {line!r}" for i, line in enumerate(ls[:limit])]
    if len(ls) > limit:
        out.append(f"    ... {len(ls) - limit} more lines ...")
        out += [f"    {i:4}: {line!r}" for i, line in enumerate(ls[-20:], len(ls) - 20)]
    return "\n".join(out)


def compare_lines(what, actual, expected):
    """Fails with the first difference of two line lists (bytes)."""
    for i, (a, e) in enumerate(zip(actual, expected)):
        if a != e:
            raise Failure(f"{what}: line {i} differs\n  expected {e!r}\n  actual   {a!r}")
    if len(actual) != len(expected):
        extra = actual[len(expected):] or expected[len(actual):]
        which = "actual has extra" if len(actual) > len(expected) else "missing"
        raise Failure(f"{what}: {len(actual)} lines instead of {len(expected)}; {which}: {extra[:5]!r}")


# ---------------------------------------------------------------------------
# Expected report blocks

def field_lines(row):
    aid, name, description, vendor = ROWS[row]
    return [b"found AID:   '" + aid + b"'",
            b"name:        '" + name + b"'",
            b"description: '" + description + b"'",
            b"vendor:      '" + vendor + b"'"]


def serial_lines(card):
    """Lines that the serial-number read writes without debug: an immediate
    full answer, or a 6C 2D answer followed by the second GET DATA, gives
    the serial line alone. Each block's read ends its transaction with a
    card reset and reconnects the handle (pcsc-lite would otherwise answer
    SCARD_W_RESET_CARD on it), so every block gets its serial line."""
    return [b"received serial number (id): '" + card["serial"] + b"' "]


def report_lines(card):
    """Session lines without debug after the reader line: ATR, detecting, blocks."""
    out = [b"ATR: '" + card["atr"] + b"'", b"detecting AIDs..."]
    for row in card["rows"]:
        out += [HYPHENS] + field_lines(row) + serial_lines(card) + [HYPHENS]
    return out


def debug_serial_lines(card, row):
    """Lines of one serial read with debug, received answers as patterns."""
    aid = ROWS[row][0]
    select = b"send: '00A40400" + b"%02X" % (len(aid) // 2) + aid + b"00' "
    out = [select, re.compile(rb"received: '[0-9A-F]+' "), b"AID '" + aid + b"' selected",
           re.compile(rb"send: '00C00000[0-9A-F]{2}' \(read_response\)"),
           re.compile(rb"received: '[0-9A-F]+' "),
           b"send: '80CA9F7F00' (get_serial)"]
    if card["protocol"] == 2:
        out += [b"received: '" + card["cplc"] + b"' "]
    else:
        out += [b"received: '6C2D' ", b"send: '80CA9F7F2D' (read_serial)",
                b"received: '" + card["cplc"] + b"' "]
    out.append(b"received serial number (id): '" + card["serial"] + b"' ")
    return out


def match_lines(what, actual, expected):
    """Like compare_lines, but expected entries may be compiled patterns."""
    for i, (a, e) in enumerate(zip(actual, expected)):
        ok = e.fullmatch(a) if isinstance(e, re.Pattern) else a == e
        if not ok:
            shown = e.pattern if isinstance(e, re.Pattern) else e
            raise Failure(f"{what}: line {i} differs\n  expected {shown!r}\n  actual   {a!r}")
    if len(actual) != len(expected):
        raise Failure(f"{what}: {len(actual)} lines instead of {len(expected)}\n  actual: {actual!r}")


# ---------------------------------------------------------------------------
# Processes

def stop_process(proc, name, grace=Limits.GRACE):
    """Stops a child by its PID: TERM, then KILL after the grace time."""
    if proc is None or proc.poll() is not None:
        return
    try:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        print(f"  {name} (pid {proc.pid}) ignored SIGTERM, killing it")
        proc.kill()
        proc.wait()


class Pcscd:
    """pcscd of this namespace, started through the stack script (which
    notes its PID so that the stack also stops it if this driver dies)."""

    def __init__(self, workdir):
        self.proc = None
        self.log_path = workdir / "pcscd.log"

    def start(self, readers=True, debug=False, reader_name=None):
        """Starts pcscd with the vpcd reader entry, or without any reader;
        with debug it logs every client request (see commands); with
        reader_name (str or bytes) the vpcd readers take that name."""
        log = open(self.log_path, "ab")
        extra = ([] if readers else ["--no-readers"]) + (["--debug"] if debug else [])
        if reader_name is not None:
            extra += ["--reader-name", os.fsencode(reader_name)]
        self.proc = subprocess.Popen([os.environ["PCSC_STACK_SCRIPT"], "exec-pcscd", *extra],
                                     stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        log.close()

        def up():
            if self.proc.poll() is not None:
                raise Failure(f"pcscd exited with {self.proc.returncode}, see {self.log_path}")
            return os.path.exists("/run/pcscd/pcscd.comm")

        wait_until("pcscd did not open /run/pcscd/pcscd.comm", up)

    def stop(self):
        stop_process(self.proc, "pcscd")

    def commands(self, name):
        """How many client requests of this kind (e.g. ESTABLISH_CONTEXT) a
        pcscd started with debug has logged."""
        text = self.log_path.read_text(errors="replace") if self.log_path.exists() else ""
        return len(re.findall(r"Received command: " + name + r" from client", text))

    def restart(self, readers=True):
        self.stop()
        self.start(readers)

    def mark(self):
        """The present end of the log, for wait_card_removed."""
        return self.log_path.stat().st_size if self.log_path.exists() else 0

    def wait_card_removed(self, mark):
        """Waits until pcscd has logged, after mark, that it saw the card
        leave (it looks every 400 ms), so that a card that comes next is a
        new insertion to it and not the same session going on."""
        def logged():
            with open(self.log_path, "rb") as f:
                f.seek(mark)
                return b"Card Removed From " in f.read()
        wait_until("pcscd did not log the card's removal", logged)


class VCard:
    """One run of quillon-vcard with its APDU log."""

    count = 0

    def __init__(self, exe, port, workdir, profile, *extra):
        VCard.count += 1
        self.killed = False
        self.log_path = workdir / f"vcard{VCard.count}-{profile}.log"
        self.proc = subprocess.Popen([exe, "--port", str(port), "--profile", profile, "--quiet",
                                      "--log", str(self.log_path), *extra],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=open(workdir / f"vcard{VCard.count}.err", "wb"))

    def log(self):
        try:
            return self.log_path.read_text()
        except FileNotFoundError:
            return ""

    def wait_log(self, pattern, timeout=Limits.STEP):
        """Waits until the card's log has a line matching pattern."""
        begun = time.monotonic()
        deadline = Limits.until(timeout)
        while time.monotonic() < deadline:
            if re.search(pattern, self.log(), re.M):
                return
            if self.proc.poll() is not None:
                raise Failure(f"quillon-vcard exited with {self.proc.returncode}")
            time.sleep(0.02)
        raise Failure(f"card log has no {pattern!r} after {deadline - begun:.1f} s:\n{self.log()[-2000:]}")

    def wait_inserted(self):
        """pcscd powers a card up as soon as it sees it in the reader."""
        self.wait_log(r"^\d+ ctrl power-on$")

    def apdus(self):
        """(command, response) pairs in the order the card answered them; a
        command left unanswered (the card vanished) has response None."""
        pairs = []
        for line in self.log().splitlines():
            parts = line.split(" ", 2)
            if len(parts) == 3 and parts[1] == ">":
                pairs.append([parts[2].encode(), None])
            elif len(parts) == 3 and parts[1] == "<":
                pairs[-1][1] = parts[2].encode()
        return [tuple(p) for p in pairs]

    def kill(self):
        """SIGKILL, as when the emulator crashes: no clean end of the link."""
        self.proc.kill()
        self.proc.wait()
        self.killed = True

    def stop(self):
        stop_process(self.proc, "quillon-vcard")
        if self.proc.returncode not in (0, None) and not self.killed:
            raise Failure(f"quillon-vcard ended with status {self.proc.returncode}")


class Tool:
    """One run of quillon; its standard output is collected by a thread.
    Started through Case.run_tool, which waits for the banner; `limit` is
    the hard limit of the whole run (at most the case's own)."""

    def __init__(self, exe, workdir, *args, prefix=(), limit):
        self.start = time.monotonic()
        self.deadline = Limits.until(limit)
        self.buf = bytearray()
        self.cond = threading.Condition()
        self.eof = False
        self.err_path = workdir / "quillon.stderr"
        self.proc = subprocess.Popen([*prefix, exe, *args], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=open(self.err_path, "wb"))
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 65536)
            with self.cond:
                if not chunk:
                    self.eof = True
                    self.cond.notify_all()
                    return
                self.buf += chunk
                self.cond.notify_all()

    def output(self):
        with self.cond:
            return bytes(self.buf)

    def _limit(self, timeout):
        return min(self.deadline, time.monotonic() + timeout)

    def wait_for(self, needle, start=0, timeout=Limits.STEP, count=1):
        """Waits until needle (bytes) occurs count times at or after offset
        start; returns the offset just past the last of them."""
        limit = self._limit(timeout)
        with self.cond:
            while True:
                pos, found = start, 0
                while found < count:
                    i = self.buf.find(needle, pos)
                    if i < 0:
                        break
                    found, pos = found + 1, i + len(needle)
                if found == count:
                    return pos
                left = limit - time.monotonic()
                if left <= 0 or self.eof:
                    break
                self.cond.wait(left)
        why = "the tool ended" if self.eof else f"{time.monotonic() - self.start:.1f} s passed"
        raise Failure(f"expected {needle!r} (x{count}) in the output, but {why}; output:\n"
                      + show(self.output()))

    def wait_exit(self, timeout=None):
        """Waits for the tool to end by itself; fails (and kills it) at the hard limit."""
        try:
            limit = self.deadline if timeout is None else self._limit(timeout)
            code = self.proc.wait(timeout=max(0.0, limit - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.kill()
            raise Failure(f"quillon did not exit within {time.monotonic() - self.start:.1f} s; output:\n"
                          + show(self.output()))
        # The rest of the output, up to the end of the pipe.
        self.thread.join(Limits.STEP)
        return code

    def running(self):
        return self.proc.poll() is None

    def kill(self):
        stop_process(self.proc, "quillon", grace=1.0)
        # A grandchild could still hold the pipe open; the namespace ends it.
        self.thread.join(1)


# ---------------------------------------------------------------------------
# Checks on a finished run

def check_exact(what, data, expected_lines):
    compare_lines(what, lines_of(data), expected_lines)
    if not data.endswith(CRLF):
        raise Failure(f"{what}: output does not end with CR LF: {data[-40:]!r}")


def check_banner(data):
    if not data.startswith(BANNER):
        raise Failure("output does not start with the banner:\n" + show(data[:300]))


def check_exchanges(tool_out, card):
    """Every command the tool traced as sent and answered must be, in order,
    a command the card answered, with the same answer."""
    traced = []
    ls = lines_of(tool_out)
    for i, line in enumerate(ls):
        m = re.fullmatch(rb"send: '([0-9A-F]*)' ?(\(\w+\))?", line)
        if m:
            nxt = ls[i + 1] if i + 1 < len(ls) else b""
            r = re.fullmatch(rb"received: '([0-9A-F]*)' ", nxt)
            traced.append((m.group(1), r.group(1) if r else None))
    answered = [p for p in traced if p[1] is not None]
    card_pairs = [p for p in card.apdus() if p[1] is not None]
    if answered != card_pairs:
        for i, (a, c) in enumerate(zip(answered, card_pairs)):
            if a != c:
                raise Failure(f"exchange {i}: tool traced {a!r}, card log has {c!r}")
        raise Failure(f"tool traced {len(answered)} answered commands, card answered {len(card_pairs)}")
    return traced


def check_scan_trace(section, card):
    """The debug trace of one catalogue scan (the lines between "detecting
    AIDs..." and the first block): one SELECT per catalogue row, refused
    ones with 6A82, the card's own rows accepted and followed by GET RESPONSE."""
    accepted = []
    selects = 0
    i = 0
    while i < len(section):
        m = re.fullmatch(rb"send: '00A40400([0-9A-F]{2})([0-9A-F]*)00' ", section[i])
        if not m:
            raise Failure(f"scan trace line {i}: expected a SELECT, got {section[i]!r}")
        selects += 1
        aid = m.group(2)
        if int(m.group(1), 16) * 2 != len(aid):
            raise Failure(f"SELECT {section[i]!r}: Lc does not match the AID")
        if section[i + 1] == b"received: '6A82' ":
            if section[i + 2] != b"failed to select AID: '" + aid + b"' : 6A82":
                raise Failure(f"after refusal of {aid!r}: {section[i + 2]!r}")
            i += 3
            continue
        resp = re.fullmatch(rb"received: '([0-9A-F]+)' ", section[i + 1])
        if not resp or section[i + 2] != b"AID '" + aid + b"' selected":
            raise Failure(f"scan trace for {aid!r}: {section[i + 1:i + 3]!r}")
        le = resp.group(1)[2:4]
        if section[i + 3] != b"send: '00C00000" + le + b"' (read_response)":
            raise Failure(f"GET RESPONSE after {aid!r}: {section[i + 3]!r} (Le should be {le!r})")
        if not re.fullmatch(rb"received: '[0-9A-F]+' ", section[i + 4]):
            raise Failure(f"answer to GET RESPONSE after {aid!r}: {section[i + 4]!r}")
        accepted.append(aid)
        i += 5
    if selects != CATALOGUE_ROWS:
        raise Failure(f"the scan sent {selects} SELECT commands, expected {CATALOGUE_ROWS}")
    want = [ROWS[r][0] for r in card["rows"]]
    if accepted != want:
        raise Failure(f"accepted AIDs {accepted!r}, expected {want!r}")


def check_debug_report(out, card, vcard, reader=READER0):
    """Whole debug run of a card that is in the reader from the start."""
    check_banner(out)
    check_debug_session(lines_of(out[len(BANNER):]), card, reader)
    check_exchanges(out, vcard)


def last_session(out):
    """The lines of a run from its last reader line of the first slot on."""
    ls = lines_of(out[len(BANNER):])
    if READER0 not in ls:
        raise Failure("no reader line in the output:\n" + show(out))
    return ls[len(ls) - 1 - ls[::-1].index(READER0):]


def check_debug_session(ls, card, reader=READER0):
    """One debug session that ends the run: reader line, state lines, ATR,
    scan trace, the blocks with their serial reads, disconnect."""
    if not ls or ls[0] != reader:
        raise Failure(f"session starts with {ls[:1]!r}, expected {reader!r}")
    i = 1
    states = []
    while i < len(ls) and ls[i].startswith(b"SCARD_STATE_"):
        states.append(ls[i])
        i += 1
    if STATE_PRESENT not in states:
        raise Failure(f"state lines of the card's reader: {states!r}")
    compare_lines("session start", ls[i:i + 2], [b"ATR: '" + card["atr"] + b"'", b"detecting AIDs..."])
    i += 2
    if HYPHENS not in ls[i:]:
        raise Failure(f"no report block in the session: {ls[i:][-5:]!r}")
    first_block = ls.index(HYPHENS, i)
    check_scan_trace(ls[i:first_block], card)
    expected = []
    for row in card["rows"]:
        expected += [HYPHENS] + field_lines(row) + debug_serial_lines(card, row) + [HYPHENS]
    expected.append(b"disconnect reader")
    match_lines("report", ls[first_block:], expected)


# ---------------------------------------------------------------------------
# Cases

class Case:
    def __init__(self, opts, workdir):
        self.opts = opts
        self.workdir = workdir
        self.port = int(os.environ["PCSC_STACK_PORT"])
        self.pcscd = Pcscd(workdir)
        self.cards = []
        self.tool = None
        # The debug lines of a connect to an empty reader. Windows answers
        # SCARD_W_REMOVED_CARD, a card that is not there, and so do the Linux
        # build's adapter and the test WinSCard for pcsc-lite's
        # SCARD_E_NO_SMARTCARD; Wine's own WinSCard passes that code on, which
        # the tool takes for a failed connect (a pause and a new context).
        if self.winscard() == "wine":
            self.empty_reader = [b"connect res 8010000c", b"connect error 8010000c"]
        else:
            self.empty_reader = [b"connect res 80100069", CARD_REMOVED]

    def winscard(self):
        """The WinSCard the Windows build runs on ("wine" or "bridge", as the
        Wine wrapper chooses it), or None for the Linux build."""
        if not self.opts.wine:
            return None
        chosen = run_script_function(self.opts, "wine-commands.sh", "find_wine && wine_winscard")
        if chosen.returncode != 0:
            raise Failure("cannot tell which WinSCard the Wine wrapper uses")
        return chosen.stdout.decode().strip()

    def card(self, profile, *extra):
        c = VCard(self.opts.vcard, self.port, self.workdir, profile, *extra)
        self.cards.append(c)
        return c

    def run_tool(self, *args, exe=None, valgrind=(), run=Limits.RUN):
        """Starts the tool under test (through the Wine wrapper with --wine),
        or the build `exe`, or the tool under the `valgrind` command, and
        waits for its banner within the start limit of the way it runs. `run`
        limits the rest of the run (inf: only the case's own limit)."""
        if exe is None and self.opts.wine:
            how, prefix = "wine", (self.opts.wine,)
        elif exe is None and self.opts.emulator:
            how, prefix = "emulator", tuple(shlex.split(self.opts.emulator))
        elif valgrind:
            how, prefix = "valgrind", tuple(valgrind)
        else:
            how, prefix = "native", ()
        self.tool_args = args
        self.tool = Tool(exe or self.opts.quillon, self.workdir, *args, prefix=prefix,
                         limit=Limits.START[how] + run)
        self.tool.wait_for(BANNER, timeout=Limits.START[how])
        took = time.monotonic() - self.tool.start
        if took >= 1.0:
            print(f"  the tool ({how}) printed its banner after {took:.1f} s")
        return self.tool

    def cleanup(self):
        errors = []
        for stop in [lambda: self.tool and self.tool.kill()] + [c.stop for c in self.cards] + [self.pcscd.stop]:
            try:
                stop()
            except Failure as e:
                errors.append(str(e))
        if errors:
            raise Failure("; ".join(errors))

    def report_exit(self, code):
        if code != 0:
            raise Failure(f"quillon exited with {code}; output:\n" + show(self.tool.output()))


def case_reader(c):
    """Two readers without a card, debug: each is listed with its empty state,
    and the connect to it tells of a card that is not there (pcsc-lite's
    SCARD_E_NO_SMARTCARD given as Windows' SCARD_W_REMOVED_CARD): no
    connect error, no pause, no new context. Then the tool rests in the
    status-change wait: one walk in 2.5 s, and pcscd saw one
    SCardEstablishContext."""
    c.pcscd.start(debug=True)
    t = c.run_tool("debug")
    t.wait_for(c.empty_reader[-1] + CRLF, t.wait_for(READER1 + CRLF, t.wait_for(READER0 + CRLF)))
    time.sleep(2.5)
    t.kill()
    out = t.output()
    check_banner(out)
    ls = lines_of(out[len(BANNER):])
    expected = [READER0, STATE_EMPTY, *c.empty_reader, READER1, STATE_EMPTY, *c.empty_reader]
    compare_lines("reader walk", ls, expected)
    contexts = c.pcscd.commands("ESTABLISH_CONTEXT")
    if contexts != 1:
        raise Failure(f"pcscd saw {contexts} SCardEstablishContext calls, expected 1")


def case_nopcscd(c):
    """pcscd not running at start, debug: the context failure is reported
    about once a second; once pcscd is up the readers are picked up."""
    t = c.run_tool("debug")
    line = NO_SERVICE + CRLF
    t.wait_for(line, len(BANNER))
    first = time.monotonic()
    t.wait_for(line, len(BANNER), count=3)
    per_try = (time.monotonic() - first) / 2
    if not 0.8 <= per_try <= 2.0:
        raise Failure(f"context retries {per_try:.2f} s apart, expected about 1 s")
    if READER0 in t.output():
        raise Failure("a reader was listed without pcscd")
    mark = len(t.output())
    c.pcscd.start()
    t.wait_for(READER1 + CRLF, t.wait_for(READER0 + CRLF, mark))
    t.kill()
    out = t.output()
    check_banner(out)
    ls = lines_of(out[len(BANNER):])
    k = ls.index(READER0)
    if set(ls[:k]) != {NO_SERVICE} or k < 3:
        raise Failure("before the reader line only context failures were expected:\n" + show(out))
    print(f"  {k} context failure lines, {per_try:.2f} s apart")


def case_noreader(c):
    """pcscd with no reader at all, debug: "no SCard readers detected...",
    and no reader line."""
    for f in Path(os.environ["PCSC_STACK_CONF"]).iterdir():
        f.unlink()
    c.pcscd.start()
    t = c.run_tool("debug")
    t.wait_for(NO_READERS + CRLF, len(BANNER))
    time.sleep(0.5)
    t.kill()
    out = t.output()
    check_banner(out)
    compare_lines("no reader", lines_of(out[len(BANNER):]), [NO_READERS])


def case_apps(c):
    """The apps card (T=1), no debug: the complete output, byte for byte."""
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    t = c.run_tool()
    c.report_exit(t.wait_exit())
    check_exact("apps report", t.output(), lines_of(BANNER) + [READER0] + report_lines(CARDS["apps"]))


def case_apps_debug(c):
    """The apps card with debug: the scan trace, the blocks with their serial
    reads, and every traced exchange as the card saw it."""
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    t = c.run_tool("debug")
    c.report_exit(t.wait_exit())
    check_debug_report(t.output(), CARDS["apps"], card)


def case_t0(c):
    """The T=0 card with debug: 61 xx answers fetched with GET RESPONSE, and
    the 6C 2D answer to GET DATA retried with the corrected length."""
    c.pcscd.start()
    card = c.card("t0")
    card.wait_inserted()
    t = c.run_tool("debug")
    c.report_exit(t.wait_exit())
    out = t.output()
    if b"send: '80CA9F7F2D' (read_serial)\r\n" not in out:
        raise Failure("no read_serial retry in the output:\n" + show(out))
    check_debug_report(out, CARDS["t0"], card)


def case_nonascii(c):
    """Readers named as drivers may name them, one pcscd after another:
    1. in Latin-1, not UTF-8 (Linux build; under Wine the test WinSCard's
       names are UTF-16 from UTF-8, as Windows' are): the tool uses the
       reader by the bytes pcscd listed, so every wait and connect reaches it
       (debug: not one "status change error"), the reader line shows U+FFFD
       for the byte, and the apps card's whole report follows;
    2. with control characters (ESC, CR, BEL, a C1 control): each is shown
       as '?' and the report follows as usual;
    3. beyond ASCII in UTF-8 (NONASCII_NAME): the reader line shows it byte
       for byte, through the tool's UTF-16 names and back."""
    def run(name, *args):
        # The last card goes first: it would reconnect to the new pcscd and
        # hold the reader that the new card waits for.
        for old in c.cards:
            old.stop()
        c.pcscd.stop()
        c.pcscd = Pcscd(c.workdir)
        c.pcscd.start(reader_name=name)
        card = c.card("apps")
        card.wait_inserted()
        t = c.run_tool(*args)
        c.report_exit(t.wait_exit())
        return card, t.output()

    if not c.opts.wine:
        card, out = run(LATIN1_NAME, "debug")
        if b"status change error" in out:
            raise Failure("status change errors for a reader named in Latin-1:\n" + show(out))
        check_debug_report(out, CARDS["apps"], card, reader=LATIN1_LINE)
    _, out = run(CONTROL_NAME)
    check_exact("report in a reader named with control characters", out,
                lines_of(BANNER) + [CONTROL_LINE] + report_lines(CARDS["apps"]))
    _, out = run(NONASCII_NAME)
    reader = b"Reader: " + NONASCII_NAME.encode() + b" 00 00"
    check_exact("report in a reader with a non-ASCII name", out,
                lines_of(BANNER) + [reader] + report_lines(CARDS["apps"]))


def check_final_session(out, card, allowed_before):
    """The output ends with one complete session with `card`; every line
    between the banner and it is one of allowed_before."""
    check_banner(out)
    ls = lines_of(out[len(BANNER):])
    tail = [READER0] + report_lines(card)
    k = len(ls) - len(tail)
    compare_lines("final session", ls[max(k, 0):], tail)
    stray = [l for l in ls[:k] if l not in allowed_before]
    if stray:
        raise Failure(f"unexpected lines before the report: {stray[:5]!r}\n" + show(out))
    return ls[:k]


def tool_beside_card_without_apps(c, seconds, pcscd_debug=False):
    """pcscd, the card without catalogue applications and the tool (no
    debug): returns the card and the tool once the tool has said it retries
    and is still running `seconds` later."""
    c.pcscd.start(debug=pcscd_debug)
    card = c.card("none")
    card.wait_inserted()
    t = c.run_tool()
    t.wait_for(RETRY + CRLF, len(BANNER))
    time.sleep(seconds)
    if not t.running():
        raise Failure("quillon ended after a card without applications")
    return card, t


def case_swap(c):
    """A card without catalogue applications: the tool says it retries and
    keeps waiting; replaced by the apps card, it reports and exits 0."""
    none, t = tool_beside_card_without_apps(c, 0.5)
    mark = c.pcscd.mark()
    none.stop()
    # pcscd sees the reader empty before the other card arrives, so that no
    # session spans both cards.
    c.pcscd.wait_card_removed(mark)
    apps = c.card("apps")
    apps.wait_inserted()
    c.report_exit(t.wait_exit())
    before = check_final_session(t.output(), CARDS["apps"], {
        READER0, READER1, b"ATR: '" + CARDS["none"]["atr"] + b"'", b"detecting AIDs...", RETRY})
    print(f"  {before.count(RETRY)} retry line(s) before the swap")


def case_vanish(c):
    """The card goes away in the middle of the scan (right after answering
    its 100th SELECT) and comes back 1.5 s later. The scan goes on with
    failed exchanges and keeps what it found before the loss, so the tool
    reports those rows at once (their serial reads fail) and exits 0; it
    neither hangs nor waits for the card. Once the card is back, a second
    run of the tool reports it completely."""
    c.pcscd.start()
    card = c.card("vanish", "--vanish-after", "100", "--return-after-ms", "1500")
    card.wait_inserted()
    t = c.run_tool()
    c.report_exit(t.wait_exit())
    out = t.output()
    check_banner(out)
    ls = lines_of(out[len(BANNER):])
    compare_lines("session start", ls[:3], [READER0, b"ATR: '" + CARDS["vanish"]["atr"] + b"'", b"detecting AIDs..."])
    blocks = ls[3:]
    i = 0
    for row in ["PSE", "VISA"]:  # catalogue rows 1 and 8, answered before the card left
        if i >= len(blocks) or blocks[i] != HYPHENS:
            raise Failure(f"no block for {row}:\n" + show(out))
        compare_lines(f"block {row}", blocks[i + 1:i + 5], field_lines(row))
        i += 5
        while i < len(blocks) and blocks[i].startswith(b"failed to read serial number: "):
            i += 1
        if i >= len(blocks) or blocks[i] != HYPHENS:
            raise Failure(f"block {row} does not end with hyphens:\n" + show(out))
        i += 1
    if i != len(blocks):
        raise Failure(f"lines after the blocks: {blocks[i:]!r}")
    card.wait_log(r"^\d+ vanish after 100 SELECT answers")
    selects = [p for p in card.apdus() if p[0].startswith(b"00A40400")]
    if len(selects) != 100:
        raise Failure(f"the card answered {len(selects)} SELECT commands before it vanished, expected 100")

    # The card comes back: pcscd sees it inserted again and powers it up.
    card.wait_log(r"^\d+ vanish after .*\n(.*\n)*\d+ connected\n(.*\n)*\d+ ctrl power-on$")
    t2 = c.run_tool()
    c.report_exit(t2.wait_exit())
    check_exact("report after the card came back", t2.output(),
                lines_of(BANNER) + [READER0] + report_lines(CARDS["vanish"]))


def case_restart(c):
    """pcscd is stopped and started again under a running tool (debug), with
    a card without applications: the tool reports the lost service and keeps
    trying; the card reconnects to the new pcscd by itself, and the tool
    scans it again."""
    c.pcscd.start()
    card = c.card("none")
    card.wait_inserted()
    t = c.run_tool("debug")
    t.wait_for(RETRY + CRLF, len(BANNER))
    c.pcscd.stop()
    mark = t.wait_for(NO_SERVICE + CRLF, len(t.output()))
    c.pcscd = Pcscd(c.workdir)
    c.pcscd.start()
    card.wait_log(r"^\d+ disconnected\n(.*\n)*\d+ connected\n(.*\n)*\d+ ctrl power-on$")
    t.wait_for(RETRY + CRLF, t.wait_for(READER0 + CRLF, mark))
    t.kill()


def case_vanish_late(c):
    """The card carries only applications late in the catalogue and goes
    away in the middle of the scan (after its 100th SELECT answer), before
    any of them: the scan finds nothing, the tool says it retries and keeps
    running; once the card is back (1.5 s later) it is scanned again and
    reported completely, and the tool exits 0."""
    c.pcscd.start()
    card = c.card("vanish", "--apps", LATE_APPS, "--vanish-after", "100", "--return-after-ms", "1500")
    card.wait_inserted()
    t = c.run_tool()
    t.wait_for(RETRY + CRLF, len(BANNER))
    c.report_exit(t.wait_exit())
    late = CARDS["late"]
    before = check_final_session(t.output(), late, {
        READER0, READER1, b"ATR: '" + late["atr"] + b"'", b"detecting AIDs...", RETRY})
    if RETRY not in before:
        raise Failure("no retry line before the report:\n" + show(t.output()))
    # The first link: 100 SELECT answers, all refusals; the scan that found
    # the applications ran entirely on the second link.
    first, _, second = card.log().partition(" vanish after 100 SELECT answers")
    if not second:
        raise Failure("the card did not vanish:\n" + card.log()[-2000:])
    answers = re.findall(r"^\d+ > 00A40400\w*\n\d+ < (\w+)$", first, re.M)
    if len(answers) != 100 or set(answers) != {"6A82"}:
        raise Failure(f"before vanishing the card answered {len(answers)} SELECT commands: {sorted(set(answers))}")
    print(f"  {before.count(RETRY)} retry line(s), {len(before)} line(s) before the report")


def case_pcscd_midscan(c):
    """pcscd is stopped in the middle of a scan (while the card holds its
    answer to the 100th SELECT) and started again 1.5 s later, under the
    tool in debug mode, with a card whose applications come late in the
    catalogue: the lost service shows in context, listing or connect
    failures (which of them depends on how soon pcscd is back after the
    tool's pause that follows the lost scan), the card reconnects to the new
    pcscd by itself, and the tool scans it again, reports it completely and
    exits 0."""
    c.pcscd.start()
    card = c.card("apps", "--apps", LATE_APPS, "--stall-on", "00A40400", "--stall-at", "100")
    card.wait_inserted()
    t = c.run_tool("debug")
    card.wait_log(r"^\d+ stall$")
    c.pcscd.stop()
    stopped = time.monotonic()
    card.wait_log(r"^\d+ stall\n(.*\n)*\d+ disconnected$")
    mark = len(t.output())
    time.sleep(max(0.0, 1.5 - (time.monotonic() - stopped)))
    during = t.output()[mark:]
    c.pcscd.start()
    c.report_exit(t.wait_exit())
    out = t.output()
    check_banner(out)
    late = CARDS["late"]
    check_debug_session(last_session(out), late)
    check_exchanges(out, card)
    ls = lines_of(out[len(BANNER):])
    lost = [l for l in ls if CONTEXT_FAILED.fullmatch(l) or LIST_FAILED.fullmatch(l) or l == NO_SERVICE_CONNECT]
    if not lost:
        raise Failure("no context, listing or connect failure after pcscd stopped:\n" + show(out))
    first_scan = ls[:len(ls) - len(last_session(out))]
    if HYPHENS in first_scan or RETRY not in first_scan:
        raise Failure("the interrupted scan should have found nothing:\n" + show(out))
    print(f"  while pcscd was down: {sorted(set(lines_of(during)))!r}")


def case_kill_serial(c):
    """The card emulator is killed (SIGKILL) while the tool waits for its
    answer to the second GET DATA, i.e. in the serial read of the second
    block. vpcd passes the lost answer on as an empty one; the tool prints
    every block (the first with its serial number, the second with the empty
    answer, the third with the failure of a card that is gone) and exits 0."""
    c.pcscd.start()
    card = c.card("apps", "--stall-on", "80CA9F7F00", "--stall-at", "2")
    card.wait_inserted()
    t = c.run_tool()
    card.wait_log(r"^\d+ stall$")
    card.kill()
    c.report_exit(t.wait_exit())
    out = t.output()
    apps = CARDS["apps"]
    ls = lines_of(out)
    # After the kill, pcsc-lite answers calls on the handle with
    # SCARD_W_RESET_CARD (the reset that ended the killed read failed), or
    # with SCARD_W_REMOVED_CARD once it has noticed the card is gone.
    gone = re.compile(rb"failed to read serial number: 8010006[89]")
    expected = (lines_of(BANNER) + [READER0, b"ATR: '" + apps["atr"] + b"'", b"detecting AIDs..."]
                + [HYPHENS] + field_lines("PSE") + serial_lines(apps) + [HYPHENS]
                + [HYPHENS] + field_lines("VISA") + [b"failed to read serial number: ''"] + [HYPHENS]
                + [HYPHENS] + field_lines("OPENPGP") + [gone] + [HYPHENS])
    match_lines("report with the card killed", ls, expected)
    if not out.endswith(CRLF):
        raise Failure("output does not end with CR LF")
    gets = [p for p in card.apdus() if p[0] == b"80CA9F7F00"]
    if len(gets) != 2 or gets[1][1] is not None:
        raise Failure(f"GET DATA commands in the card log: {gets!r}")
    print("  blocks after the kill: " + repr([l for l in ls[-9:] if l != HYPHENS]))


def case_driver_cycle(c):
    """The reader driver comes and goes under the tool (debug): pcscd with
    the vpcd reader and no card, then restarted without any reader
    configuration ("no SCard readers detected..."), then restarted with the
    reader again while the card is there: the tool lists the reader again,
    reports the card and exits 0."""
    c.pcscd.start()
    t = c.run_tool("debug")
    t.wait_for(c.empty_reader[-1] + CRLF, t.wait_for(READER0 + CRLF, len(BANNER)))
    # Marked before the restart: the tool says it once, maybe before pcscd's
    # start has returned here.
    mark = len(t.output())
    c.pcscd.restart(readers=False)
    gone = t.wait_for(NO_READERS + CRLF, mark)
    card = c.card("apps")
    c.pcscd.restart(readers=True)
    card.wait_inserted()
    c.report_exit(t.wait_exit())
    out = t.output()
    back = out.find(READER0 + CRLF, gone)
    if back < 0:
        raise Failure("no reader line after the readers came back:\n" + show(out))
    check_debug_session(last_session(out), CARDS["apps"])
    check_exchanges(out, card)
    ls = lines_of(out[len(BANNER):])
    print(f"  {ls.count(NO_READERS)} no-reader line(s), {ls.count(READER0)} reader line(s) for slot 0")


def case_idle(c):
    """A card without catalogue applications stays in the reader for 20 s
    beside vpcd's always empty second reader: it is scanned exactly once
    (255 SELECT commands on the card), the tool keeps running, and pcscd saw
    a single SCardEstablishContext."""
    card, t = tool_beside_card_without_apps(c, 20, pcscd_debug=True)
    t.kill()
    out = t.output()
    scans = lines_of(out).count(b"detecting AIDs...")
    selects = [p for p in card.apdus() if p[0].startswith(b"00A40400")]
    contexts = c.pcscd.commands("ESTABLISH_CONTEXT")
    print(f"  in 20 s: {scans} scan(s), {len(selects)} SELECT commands, {contexts} context(s)")
    expected = [READER0, b"ATR: '" + CARDS["none"]["atr"] + b"'", b"detecting AIDs...", RETRY, READER1]
    compare_lines("idle run", lines_of(out[len(BANNER):]), expected)
    if scans != 1 or len(selects) != CATALOGUE_ROWS or contexts != 1:
        raise Failure(f"{scans} scans, {len(selects)} SELECT commands, {contexts} contexts; expected 1, "
                      f"{CATALOGUE_ROWS}, 1")


# A SELECT refused with fewer than two answer bytes: the exchange in flight
# when the card or pcscd went away.
CUT_ANSWER = re.compile(rb"failed to select AID: '[0-9A-F]+' : (?:[0-9A-F]{2})?")
PULL_MODES = ("card", "pcscd", "both")


def tool_sample(pid):
    """Resident set (kB) and open descriptors of a running process."""
    rss = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    return rss, len(os.listdir(f"/proc/{pid}/fd"))


def pull_cycles(c, cycles, rng, debug=False, restart_every=0, final_apps=("OPENPGP",)):
    """The tool runs while cards without catalogue applications are put in
    and pulled out at random moments of their scan, `cycles` times: the
    card killed, pcscd stopped, or both, either while the card holds back
    its answer to a chosen SELECT (the exchange is in flight) or at a random
    time after the scan began. With restart_every, pcscd is also restarted
    before every such cycle. No block may appear and the tool must keep
    running; a card carrying `final_apps` then ends the run with its report.
    Returns the figures of the run."""
    c.pcscd.start()
    t = c.run_tool(*(["debug"] if debug else []), run=float("inf"))
    pid = t.proc.pid
    figures = {"cycles": cycles, "modes": {m: 0 for m in PULL_MODES}, "in_flight": 0, "restarts": 0, "samples": []}

    def count(line):
        return lines_of(t.output()).count(line)

    def settled():
        # Every scan begun has ended with its retry line.
        ls = lines_of(t.output())
        return ls.count(b"detecting AIDs...") == ls.count(RETRY)

    for i in range(cycles):
        if restart_every and i and i % restart_every == 0:
            c.pcscd.restart()
            figures["restarts"] += 1
        if i > 0:
            wait_until("the tool did not settle", settled)
            figures["samples"].append(tool_sample(pid))
        mode = rng.choice(PULL_MODES)
        figures["modes"][mode] += 1
        in_flight = rng.random() < 0.5
        extra = ["--stall-on", "00A40400", "--stall-at", str(rng.randint(1, CATALOGUE_ROWS))] if in_flight else []
        scans = count(b"detecting AIDs...")
        card = c.card("none", *extra)
        t.wait_for(b"detecting AIDs..." + CRLF, len(BANNER), count=scans + 1)
        if in_flight:
            card.wait_log(r"^\d+ stall$")
            figures["in_flight"] += 1
        else:
            time.sleep(rng.uniform(0.0, 0.04))
        mark = c.pcscd.mark()
        if mode in ("card", "both"):
            card.kill()
        if mode in ("pcscd", "both"):
            c.pcscd.stop()
            time.sleep(rng.uniform(0.0, 0.3))
            c.pcscd.start()
        if mode == "pcscd":
            # The card comes back to the new pcscd by itself and is scanned
            # again from the start; then it is taken out.
            t.wait_for(b"detecting AIDs..." + CRLF, len(BANNER), count=scans + 2)
            wait_until("the second scan did not end", settled)
            mark = c.pcscd.mark()
            card.stop()
        # pcscd sees the reader empty before the next card comes; after
        # "both", the new pcscd never saw this card.
        if mode != "both":
            c.pcscd.wait_card_removed(mark)
        if not t.running():
            raise Failure(f"quillon ended in cycle {i + 1}:\n" + show(t.output()))

    wait_until("the tool did not settle", settled)
    figures["samples"].append(tool_sample(pid))
    before = t.output()
    figures["scans"] = lines_of(before).count(b"detecting AIDs...")
    figures["blocks"] = lines_of(before).count(HYPHENS) // 2
    figures["phantoms"] = figures["blocks"]  # the cards carried no catalogue application
    figures["cut_answers"] = sum(1 for l in lines_of(before) if CUT_ANSWER.fullmatch(l))

    final = dict(CARDS["apps"], rows=list(final_apps))
    card = c.card("apps", "--apps", ",".join(ROWS[r][0].decode() for r in final_apps))
    c.report_exit(t.wait_exit(Limits.RUN))
    out = t.output()
    figures["blocks_final"] = lines_of(out[len(before):]).count(HYPHENS) // 2
    if debug:
        check_debug_session(last_session(out), final)
    else:
        check_final_session(out, final, {READER0, READER1, b"ATR: '" + CARDS["none"]["atr"] + b"'",
                                         b"detecting AIDs...", RETRY})
    return figures


def print_figures(f):
    (rss0, fd0), (rss1, fd1) = f["samples"][0], f["samples"][-1]
    modes = ", ".join(f"{m} {n}" for m, n in f["modes"].items())
    print(f"  cycles {f['cycles']} (pulled: {modes}; {f['in_flight']} with a SELECT in flight), "
          f"pcscd restarts {f['restarts']}, scans {f['scans']}, blocks printed {f['blocks']} "
          f"(then {f['blocks_final']} for the final card), phantom blocks {f['phantoms']}")
    if f["cut_answers"]:
        print(f"  SELECT answers cut short and refused: {f['cut_answers']}")
    print(f"  tool resident set {rss0} kB first, {rss1} kB last; open descriptors {fd0} first, {fd1} last")
    if f["phantoms"]:
        raise Failure(f"{f['phantoms']} phantom block(s)")
    if fd1 > fd0 + 1:
        raise Failure(f"open descriptors grew from {fd0} to {fd1}")


def case_pulls(c):
    """50 cards pulled at random moments of their scan (debug): see
    pull_cycles. No phantom block; refusals of answers cut short show in the
    trace; the final card is reported completely."""
    rng = random.Random(c.opts.seed)
    print(f"  seed {c.opts.seed}")
    print_figures(pull_cycles(c, c.opts.cycles or 50, rng, debug=True))


def case_soak(c):
    """The soak run (no debug): pulls at random moments as in the pulls case,
    pcscd restarted every tenth cycle, the tool's resident set and open
    descriptors sampled; it must never print a block until the final card,
    keep running, and exit 0 after the final card's report."""
    rng = random.Random(c.opts.seed)
    print(f"  seed {c.opts.seed}")
    print_figures(pull_cycles(c, c.opts.cycles or 20, rng, restart_every=10))


# Blocks that libraries keep to the end of the process, which the valgrind
# case lets stay (still reachable only, allocated inside those libraries).
VALGRIND_SUPPRESSIONS = HERE / "valgrind.supp"


def amount(m, first=1):
    """(bytes, blocks) from two groups of a match, "1,958" being 1958."""
    return tuple(int(m.group(k).replace(",", "")) for k in (first, first + 1))


def valgrind_summary(text):
    """The error count, the leak figures (bytes, blocks) by kind, the total in
    use at exit and the blocks that each suppression of the case's file hid
    (name -> (bytes, blocks)) in a memcheck log written with -s."""
    m = re.search(r"ERROR SUMMARY: (\d+) errors", text)
    errors = int(m.group(1)) if m else None
    leaks = {}
    for kind in ("definitely lost", "indirectly lost", "possibly lost", "still reachable", "suppressed"):
        m = re.search(kind + r": ([\d,]+) bytes in ([\d,]+) blocks", text)
        leaks[kind] = amount(m) if m else (0, 0)
    m = re.search(r"in use at exit: ([\d,]+) bytes in ([\d,]+) blocks", text)
    in_use = amount(m) if m else None
    ours = {}
    used = (r"used_suppression: +\d+ (.*) " + re.escape(str(VALGRIND_SUPPRESSIONS))
            + r":\d+ suppressed: ([\d,]+) bytes in ([\d,]+) blocks")
    for m in re.finditer(used, text):
        ours[m.group(1)] = amount(m, 2)
    return errors, leaks, in_use, ours


def case_valgrind(c):
    """The apps card (no debug) with the tool under memcheck: the report is
    whole, there is no memory error, and no block is left at exit, lost or
    still reachable, but for those still reachable that a library made and
    keeps (valgrind.supp). The tool releases all its own, the catalogue
    built before main too. pcsc-lite's client library freed all of its own
    up to 2.0 (Debian 12 has 1.9.9: nothing at all stays in use); from 2.1
    on it keeps a library it loaded and its reader-state cache."""
    valgrind = next((os.path.join(d, "valgrind") for d in os.environ.get("PATH", "").split(":")
                     if os.access(os.path.join(d, "valgrind"), os.X_OK)), None)
    if valgrind is None:
        raise Failure("valgrind not found in PATH (package valgrind)")
    log = c.workdir / "valgrind.log"
    prefix = [valgrind, "--tool=memcheck", "--leak-check=full", "--show-leak-kinds=all",
              "--errors-for-leak-kinds=all", "--error-exitcode=99", f"--suppressions={VALGRIND_SUPPRESSIONS}",
              "-s", f"--log-file={log}"]
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    t = c.run_tool(valgrind=prefix)
    code = t.wait_exit()
    text = log.read_text(errors="replace") if log.exists() else ""
    errors, leaks, in_use, ours = valgrind_summary(text)
    print(f"  {time.monotonic() - t.start:.1f} s under valgrind, exit status {code}, {errors} errors; "
          + ", ".join(f"{k} {b} bytes in {n} blocks" for k, (b, n) in leaks.items()))
    if in_use == (0, 0):
        print("  nothing at all stayed in use at exit (0 bytes in 0 blocks): nothing to suppress")
    elif in_use is not None:
        print(f"  in use at exit: {in_use[0]} bytes in {in_use[1]} blocks; suppressed as still reachable, "
              "allocated inside a library that keeps them: "
              + ("; ".join(f"{name} {b} bytes in {n} blocks" for name, (b, n) in ours.items()) or "none"))
    problems = []
    if code != 0:
        problems.append(f"exit status {code}")
    if errors != 0:
        problems.append(f"{errors} errors")
    if in_use is None:
        problems.append("no heap summary")
    for kind in ("definitely lost", "indirectly lost", "possibly lost", "still reachable"):
        if leaks[kind] != (0, 0):
            problems.append(f"{kind}: {leaks[kind][0]} bytes in {leaks[kind][1]} blocks")
    hidden = tuple(sum(f[k] for f in ours.values()) for k in (0, 1))
    if leaks["suppressed"] != hidden:
        problems.append(f"suppressed {leaks['suppressed']} (bytes, blocks), of which {hidden} by {VALGRIND_SUPPRESSIONS.name}")
    if problems:
        raise Failure("valgrind: " + ", ".join(problems) + f":\n{text[-6000:]}")
    check_exact("apps report under valgrind", t.output(), lines_of(BANNER) + [READER0] + report_lines(CARDS["apps"]))


def case_readers_script(c):
    """scripts/readers.py, by which the demo decides to scan the machine's
    readers: with no service, with only empty readers and with a card in
    one, `card` says why not or names the reader, and its exit status says
    whether there is a card; `list` names every reader, and neither prints
    a control character of a reader's name."""
    script = Path(c.opts.stack).resolve().parent / "readers.py"

    def expect(command, status, lines):
        done = subprocess.run([sys.executable, str(script), command], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=Limits.STEP, check=False)
        got = (done.returncode, done.stdout.decode(errors="replace").splitlines())
        if got != (status, lines):
            raise Failure(f"readers.py {command}: status {got[0]}, {got[1]!r}; expected {status}, {lines!r}")
        # Nothing that a terminal would take as a command: no C0 control but
        # the line feed, no DEL, no C1 control (UTF-8 C2 80..C2 9F).
        if re.search(rb"[\x00-\x09\x0b-\x1f\x7f]|\xc2[\x80-\x9f]", done.stdout):
            raise Failure(f"readers.py {command} printed control characters: {done.stdout!r}")

    expect("card", 1, ["no PC/SC service (err 8010001D)"])
    expect("list", 1, ["no PC/SC service (err 8010001D)"])
    c.pcscd.start(readers=False)
    expect("card", 1, ["no reader"])
    expect("list", 0, [])
    c.pcscd.restart()
    names = [READER0[len(b"Reader: "):].decode(), READER1[len(b"Reader: "):].decode()]
    expect("card", 1, [f"no card in the 2 reader(s): {names[0]}, {names[1]}"])
    expect("list", 0, names)
    c.card("apps").wait_inserted()
    expect("card", 0, [names[0]])
    # Readers named with a terminal's commands, as a USB device's product
    # string may carry them (ESC ] sets the window title up to BEL, ESC [2J
    # clears the screen), and DEL and a C1 control: each control character
    # is shown as '?', as the tool shows it. The card goes first: it would
    # reconnect to the new pcscd before the reader is there.
    for old in c.cards:
        old.stop()
    c.pcscd.stop()
    c.pcscd.start(reader_name=TERMINAL_NAME)
    c.card("apps").wait_inserted()
    names = [TERMINAL_SHOWN + " 00 00", TERMINAL_SHOWN + " 00 01"]
    expect("card", 0, [names[0]])
    expect("list", 0, names)


# How long Ctrl-C may take to end the demo and the tool: at once, as a
# user sees it.
CTRL_C_GONE = 2.0


def running_tools(exe):
    """PIDs of the processes that run the build `exe` (this PID namespace
    only: the stack mounts its own /proc)."""
    target = os.path.realpath(exe)
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink(f"/proc/{entry}/exe") == target:
                    pids.append(int(entry))
            except OSError:
                pass  # gone, or a zombie
    return pids


def case_demo_ctrl_c(c):
    """scripts/demo.sh on a terminal (a pseudo-terminal), with a card
    without known applications in the machine's reader (this stack's
    pcscd): the demo runs the tool on it, which scans it and waits for the
    next card. Ctrl-C (the terminal's INTR character) two seconds into that
    wait ends the demo with status 130, as a shell reports an interrupted
    command, and leaves no tool running. Then again, with SIGTERM sent to
    the demo's process alone (`kill PID` from elsewhere) while the shell
    that started it lives on: the tool goes with the demo.
    The demo runs the build under test (QUILLON_DEMO_BUILD): no package
    install, no build."""
    c.pcscd.start()
    c.card("none").wait_inserted()
    for stop in ("Ctrl-C", "SIGTERM"):
        run_demo_and_stop(c, stop)


def run_demo_and_stop(c, stop):
    demo = Path(c.opts.stack).resolve().parent / "demo.sh"
    env = dict(os.environ, QUILLON_DEMO_BUILD=str(Path(c.opts.quillon).resolve().parent))
    master, slave = pty.openpty()

    def on_terminal():
        # As a shell starts a command on a terminal: a session whose
        # controlling terminal is the pseudo-terminal, and SIGINT not
        # ignored (this driver runs as a background job of the stack
        # script, which ignores it).
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)
        signal.signal(signal.SIGINT, signal.SIG_DFL)

    # For SIGTERM the demo is started by a shell that outlives it, as a
    # user's shell does: a session leader that ended with the demo would
    # have the terminal hang up its foreground group, the tool in it,
    # whether the demo took the tool with it or not.
    command = [str(demo)] if stop == "Ctrl-C" else \
        ["bash", "-c", '"$0" & demo=$!; echo "(demo pid $demo)"; wait $demo; echo "(demo status $?)"; sleep 30',
         str(demo)]
    proc = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, env=env, preexec_fn=on_terminal)
    os.close(slave)
    out = bytearray()
    cond = threading.Condition()

    def read():
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # EIO: the terminal's last writer has gone
                chunk = b""
            with cond:
                if not chunk:
                    cond.notify_all()
                    return
                out.extend(chunk)
                cond.notify_all()

    reader = threading.Thread(target=read, daemon=True)
    reader.start()

    def wait_output(needle, timeout):
        end = Limits.until(timeout)
        with cond:
            while needle not in out:
                if time.monotonic() > end or not reader.is_alive():
                    raise Failure(f"expected {needle!r} from the demo; its output:\n" + show(bytes(out)))
                cond.wait(0.1)

    try:
        wait_output(b"(a card is in this machine's reader '", Limits.STEP)
        wait_output(RETRY, Limits.START["native"] + Limits.STEP)
        time.sleep(2)
        if proc.poll() is not None:
            raise Failure(f"the demo ended with {proc.returncode} before {stop}:\n" + show(bytes(out)))
        sent = time.monotonic()
        if stop == "Ctrl-C":
            os.write(master, b"\x03")
            try:
                code = proc.wait(timeout=CTRL_C_GONE)
            except subprocess.TimeoutExpired:
                raise Failure(f"the demo still ran {CTRL_C_GONE:g} s after Ctrl-C; its output:\n"
                              + show(bytes(out)))
            # A shell gives 128 + N for a command that signal N ended.
            status = 128 - code if code < 0 else code
            expected = 130
        else:
            demo_pid = int(re.search(rb"\(demo pid (\d+)\)", bytes(out)).group(1))
            os.kill(demo_pid, signal.SIGTERM)
            wait_output(b"(demo status ", CTRL_C_GONE)
            status = int(re.search(rb"\(demo status (\d+)\)", bytes(out)).group(1))
            expected = 143
        if status != expected:
            raise Failure(f"the demo ended with status {status} after {stop}, not {expected}; its output:\n"
                          + show(bytes(out)))
        wait_until(f"no quillon left after {stop}", lambda: not running_tools(c.opts.quillon),
                   timeout=max(0.0, sent + CTRL_C_GONE - time.monotonic()))
        print(f"  {stop} ended the demo (status {status}) and the tool in {time.monotonic() - sent:.2f} s")
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        for pid in running_tools(c.opts.quillon):
            os.kill(pid, signal.SIGKILL)
        os.close(master)
        reader.join(1)


# ---------------------------------------------------------------------------
# Other programs on the same card

class OtherClient:
    """Another PC/SC program on this stack's pcscd (libpcsclite through
    ctypes), sharing the card as card middleware or a test tool does: each
    reset() connects shared and disconnects with SCARD_RESET_CARD, after
    which every other handle on the card answers SCARD_W_RESET_CARD until it
    is reconnected."""

    SCOPE_SYSTEM = 2
    SHARE_SHARED = 2
    PROTOCOLS = 3  # T=0 or T=1
    RESET_CARD = 1

    def __init__(self):
        import ctypes
        import ctypes.util
        self.ctypes = ctypes
        self.lib = ctypes.CDLL(ctypes.util.find_library("pcsclite") or "libpcsclite.so.1")
        for name in ("SCardEstablishContext", "SCardReleaseContext", "SCardConnect", "SCardDisconnect"):
            getattr(self.lib, name).restype = ctypes.c_long
        self.context = ctypes.c_long(0)
        result = self.lib.SCardEstablishContext(self.SCOPE_SYSTEM, None, None, ctypes.byref(self.context))
        if result != 0:
            raise Failure(f"the other client has no PC/SC context (err {result & 0xFFFFFFFF:08X})")
        self.resets = 0

    def reset(self, reader=READER0[len(b"Reader: "):]):
        """Resets the card in reader; returns whether it did (a card may be
        away or held in a transaction a moment longer)."""
        c = self.ctypes
        card, protocol = c.c_long(0), c.c_ulong(0)
        if self.lib.SCardConnect(self.context, reader, self.SHARE_SHARED, self.PROTOCOLS,
                                 c.byref(card), c.byref(protocol)) != 0:
            return False
        done = self.lib.SCardDisconnect(card, self.RESET_CARD) == 0
        self.resets += done
        return done

    def close(self):
        self.lib.SCardReleaseContext(self.context)


class Resetter:
    """Resets the card from another client at the given moments (seconds
    from start()), or without pause for `endless` seconds, in a thread."""

    def __init__(self, moments=(), endless=0.0):
        self.client = OtherClient()
        self.moments = list(moments)
        self.endless = endless
        self.thread = threading.Thread(target=self._run, daemon=True)

    def start(self):
        self.began = time.monotonic()
        self.thread.start()
        return self

    def _run(self):
        for moment in self.moments:
            time.sleep(max(0.0, self.began + moment - time.monotonic()))
            self.client.reset()
        while time.monotonic() < self.began + self.endless:
            self.client.reset()

    def join(self):
        self.thread.join(Limits.STEP + self.endless + (self.moments[-1] if self.moments else 0))
        self.client.close()
        return self.client.resets


RESET_LINE = b"card reset by another program: reconnected"


def case_resets(c):
    """Another program resets the card while the tool scans it (it connects
    shared and disconnects with SCARD_RESET_CARD): six times 50 ms apart and
    four times 100 ms apart, from 20 ms after the tool's start. The tool
    reconnects its handle and sends the same command again: every run
    prints the whole report, without and with debug. A schedule is run
    again (five times at most) until one of its resets met the session,
    which pcscd's log of reconnects shows (the serial reads make three of
    their own), so that the case cannot pass without the fault."""
    c.pcscd.start(debug=True)
    card = c.card("apps")
    card.wait_inserted()
    apps = CARDS["apps"]
    for moments in ([0.02 + 0.05 * i for i in range(6)], [0.02 + 0.1 * i for i in range(4)]):
        for debug in (False, True):
            what = f"{len(moments)} resets, {'debug' if debug else 'no debug'}"
            for attempt in range(1, 6):
                reconnects = c.pcscd.commands("RECONNECT")
                t = c.run_tool(*(["debug"] if debug else []))
                resetter = Resetter(moments).start()
                c.report_exit(t.wait_exit())
                done = resetter.join()
                out = t.output()
                met = c.pcscd.commands("RECONNECT") - reconnects - len(apps["rows"])
                if done != len(moments):
                    raise Failure(f"{what}: the other client reset the card {done} times")
                if debug:
                    ls = lines_of(out)
                    found = [l for l in ls if l.startswith(b"found AID:")]
                    if found != [field_lines(r)[0] for r in apps["rows"]] or b"transmit failed" in out:
                        raise Failure(f"{what}: the report lost applications:\n" + show(out))
                    if ls.count(RESET_LINE) != met:
                        raise Failure(f"{what}: {met} reconnects after resets, {ls.count(RESET_LINE)} traced")
                else:
                    check_exact(f"report with {what}", out, lines_of(BANNER) + [READER0] + report_lines(apps))
                c.tool = None
                if met > 0:
                    break
            else:
                raise Failure(f"{what}: in 5 runs no reset met the session; the case proves nothing")
            print(f"  {what}: whole report; {met} reset(s) met the session (run {attempt})")


def case_two_runs(c):
    """Two runs of the tool on one card at once, five times: each one's
    serial reads and final disconnect reset the card under the other, which
    reconnects; both print the whole report and exit 0."""
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    expected = lines_of(BANNER) + [READER0] + report_lines(CARDS["apps"])
    for attempt in range(5):
        first = c.run_tool()
        second = Tool(c.opts.quillon, c.workdir, limit=Limits.START["native"] + Limits.RUN)
        try:
            for name, tool in (("first", first), ("second", second)):
                code = tool.wait_exit()
                if code != 0:
                    raise Failure(f"try {attempt + 1}: the {name} run exited with {code}:\n" + show(tool.output()))
                check_exact(f"try {attempt + 1}, the {name} run", tool.output(), expected)
        finally:
            second.kill()
        c.tool = None
    print("  5 of 5 tries: both runs printed the whole report")


def case_resets_endless(c):
    """Another program resets the card without pause for 3 s, from before
    the tool's start. Each card session reconnects at most 32 times; the
    tool still ends (once the resets stop, at the latest), and no report
    block names an application the card lacks."""
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    resetter = Resetter(endless=3.0).start()
    t = c.run_tool("debug", run=Limits.RUN + 3)
    c.report_exit(t.wait_exit())
    done = resetter.join()
    ls = lines_of(t.output())
    sessions, per_session = 0, []
    for line in ls:
        if line == b"detecting AIDs...":
            sessions += 1
            per_session.append(0)
        elif line == RESET_LINE and per_session:
            per_session[-1] += 1
    if max(per_session, default=0) > 32:
        raise Failure(f"reconnects per session {per_session}: more than 32")
    carried = {field_lines(r)[0] for r in CARDS["apps"]["rows"]}
    phantom = [l for l in ls if l.startswith(b"found AID:") and l not in carried]
    if phantom:
        raise Failure(f"blocks for applications the card lacks: {phantom!r}")
    if done < 10 or not any(per_session):
        raise Failure(f"{done} resets, reconnects per session {per_session}: the resets did not meet the scan")
    print(f"  {done} resets in 3 s; {sessions} session(s), reconnects {per_session}; "
          f"{sum(1 for l in ls if l.startswith(b'found AID:'))} block(s)")


def case_output_fails(c):
    """Standard output that takes nothing: on /dev/full (as a full disk)
    the tool ends at once with status 1 and one line on standard error, and
    never scans; on a pipe whose reader has gone, SIGPIPE ends it, as any
    filter."""
    c.pcscd.start()
    card = c.card("apps")
    card.wait_inserted()
    err = c.workdir / "full.stderr"
    with open("/dev/full", "wb") as full, open(err, "wb") as errors:
        done = subprocess.run([c.opts.quillon], stdin=subprocess.DEVNULL, stdout=full, stderr=errors,
                              timeout=Limits.START["native"] + Limits.RUN, check=False)
    said = err.read_bytes()
    if done.returncode != 1 or said != b"quillon: cannot write to standard output: No space left on device\n":
        raise Failure(f"on /dev/full: status {done.returncode}, standard error {said!r}")
    if "> 00A40400" in card.log():
        raise Failure("on /dev/full the tool scanned the card")
    # A reader that takes the banner and goes.
    proc = subprocess.Popen([c.opts.quillon], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    try:
        got = proc.stdout.read(len(BANNER))
        proc.stdout.close()
        code = proc.wait(timeout=Limits.START["native"] + Limits.RUN)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
    said = proc.stderr.read()
    proc.stderr.close()
    if got != BANNER or code != -signal.SIGPIPE or said:
        raise Failure(f"on a closed pipe: status {code}, standard error {said!r}, not ended by SIGPIPE")
    print("  /dev/full: status 1, one line; a closed pipe: SIGPIPE")


def case_atr_late(c):
    """A card put into the second reader while the walk is busy with the
    first: the first reader's card (no known application) stalls on a
    SELECT in the middle of its scan, the apps card is put into the second
    reader, empty at the last status-change wait, and the first card is
    then pulled. In the same walk the tool connects to the second reader and
    shows the ATR of the card it connected, not the wait's empty one."""
    c.pcscd.start()
    first = c.card("none", "--stall-on", "00A40400", "--stall-at", "50", "--once")
    first.wait_inserted()
    t = c.run_tool()
    first.wait_log(r"^\d+ stall$")
    second = VCard(c.opts.vcard, c.port + 1, c.workdir, "apps")
    c.cards.append(second)
    second.wait_inserted()
    first.kill()
    c.report_exit(t.wait_exit())
    ls = lines_of(t.output())
    apps = CARDS["apps"]
    if READER1 not in ls:
        raise Failure("the second reader was never visited:\n" + show(t.output()))
    at = ls.index(READER1)
    compare_lines("the second reader's session", ls[at:at + 3],
                  [READER1, b"ATR: '" + apps["atr"] + b"'", b"detecting AIDs..."])
    compare_lines("the second reader's report", ls[at + 1:], report_lines(apps))
    print("  " + ls[at + 1].decode())


CASES = {
    "reader": case_reader,
    "nopcscd": case_nopcscd,
    "noreader": case_noreader,
    "apps": case_apps,
    "apps_debug": case_apps_debug,
    "t0": case_t0,
    "swap": case_swap,
    "vanish": case_vanish,
    "restart": case_restart,
    "vanish_late": case_vanish_late,
    "pcscd_midscan": case_pcscd_midscan,
    "kill_serial": case_kill_serial,
    "driver_cycle": case_driver_cycle,
    "valgrind": case_valgrind,
    "idle": case_idle,
    "pulls": case_pulls,
    "soak": case_soak,
    "nonascii": case_nonascii,
    "readers_script": case_readers_script,
    "demo_ctrl_c": case_demo_ctrl_c,
    "resets": case_resets,
    "two_runs": case_two_runs,
    "resets_endless": case_resets_endless,
    "output_fails": case_output_fails,
    "atr_late": case_atr_late,
}

# Stack options of a case (scripts/pcsc-stack.sh).
STACK_OPTIONS = {"nonascii": ["--reader-name", NONASCII_NAME]}

# Cases whose whole output is fixed by the card and the stack: every build
# must print the same bytes (see --compare-with).
SAME_BYTES = {"apps", "apps_debug", "t0", "nonascii"}


def compare_with_other_build(c):
    """Runs the --compare-with build with the arguments of the case's last
    run, on the same stack and card, and fails unless it prints the same
    bytes and exits 0."""
    first = c.tool.output()
    c.run_tool(*c.tool_args, exe=c.opts.compare_with)
    c.report_exit(c.tool.wait_exit())
    second = c.tool.output()
    if second != first:
        compare_lines(f"output of {c.opts.compare_with} against the first run", lines_of(second), lines_of(first))
        raise Failure(f"the outputs differ in their line ends: {first[-40:]!r} against {second[-40:]!r}")
    print(f"  {c.opts.compare_with} printed the same {len(first)} bytes")


# ---------------------------------------------------------------------------
# Entry

def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--quillon", required=True, help="path of the quillon executable")
    p.add_argument("--vcard", required=True, help="path of the quillon-vcard executable")
    p.add_argument("--stack", default=str(DEFAULT_STACK), help="path of scripts/pcsc-stack.sh")
    p.add_argument("--port", type=int, default=35963, help="vpcd port (N and N+1 are used)")
    p.add_argument("--keep", default=os.environ.get("QUILLON_E2E_KEEP"),
                   help="copy the logs (tool output, card, pcscd) to this directory "
                        "(default: $QUILLON_E2E_KEEP)")
    p.add_argument("--cycles", type=int, default=0, help="cycles of the pulls and soak cases (default 50, 20)")
    p.add_argument("--seed", type=int, default=int(time.time()), help="random seed of the pulls and soak cases")
    p.add_argument("--limit", type=float, default=float("inf"),
                   help="the case's own limit in seconds (ctest's TIMEOUT): every wait ends "
                        f"{Limits.CLEANUP:g} s before it at the latest")
    p.add_argument("--wine", help="run --quillon (the Windows build) through this wrapper (tests/wine/quillon-wine.sh)")
    p.add_argument("--emulator", help="run --quillon (a cross build) through this command, split as the shell "
                                      "would (qemu-user: \"qemu-aarch64 -L /usr/aarch64-linux-gnu\")")
    p.add_argument("--compare-with", help="another build of the tool (path) that must print the same bytes in the "
                                          "cases that fix the output (" + ", ".join(sorted(SAME_BYTES)) + ")")
    p.add_argument("case", choices=sorted(CASES) + ["needs"],
                   help="the case to run; `needs` only checks what every case needs, in one line")
    return p.parse_args(argv)


def run_script_function(opts, script, call):
    """Runs `call` in bash after sourcing `script` from the folder of the
    stack script (scripts/), as the stack and the Wine wrapper do; its
    standard output is captured, its errors are dropped."""
    path = Path(opts.stack).resolve().parent / script
    return subprocess.run(["bash", "-c", f'. "$1" && {call}', "bash", str(path)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)


def preflight(opts):
    """The real stack must be there: a missing piece fails the test."""
    problems = []
    # Root, or an ordinary user whom the kernel lets make a user namespace:
    # the stack script says which, and makes the stack either way.
    access = subprocess.run([opts.stack, "access"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    if access.returncode != 0:
        problems.append("needs root, or user namespaces, which this kernel refuses to this user (run it with sudo)")
    # pcscd and ip live in /usr/sbin or /sbin, which the stack looks in too.
    path = os.environ.get("PATH", "").split(":") + ["/usr/sbin", "/sbin"]
    for tool in ("unshare", "pcscd", "mount", "ip"):
        if not any(os.access(os.path.join(d, tool), os.X_OK) for d in path):
            problems.append(f"{tool} not found in PATH, /usr/sbin or /sbin")
    # The stack takes the driver from where scripts/vpcd-driver.sh looks for it.
    if run_script_function(opts, "vpcd-driver.sh", "vpcd_driver").returncode != 0:
        problems.append("no vpcd driver (scripts/install-deps.sh unpacks Debian's into build-vpcd/)")
    for what, path in (("quillon", opts.quillon), ("quillon-vcard", opts.vcard), ("stack script", opts.stack),
                       ("Wine wrapper", opts.wine), ("build to compare with", opts.compare_with)):
        if path is None:
            continue
        if not os.access(path, os.X_OK):
            problems.append(f"{what} not executable: {path}")
    # A cross build's quillon runs only through its emulator.
    if opts.emulator is not None:
        emulator = (shlex.split(opts.emulator) or [""])[0]
        if not any(os.access(os.path.join(d, emulator), os.X_OK) for d in ["", *os.environ.get("PATH", "").split(":")]):
            problems.append(f"emulator not found: {emulator!r} (Debian: qemu-user)")
    if problems:
        print("e2e: FAIL: " + "; ".join(problems))
        sys.exit(1)


def main(argv):
    opts = parse_args(argv)
    if opts.case == "needs":
        # The first test of the label: one line for what is missing, rather
        # than the same failure in every case.
        preflight(opts)
        print("e2e: the private stacks can be made: pcscd, the vpcd driver and the builds are there")
        return 0
    if "PCSC_STACK_DIR" not in os.environ:
        # Outside the namespace: check the prerequisites, then run again
        # inside a private stack (pcscd is started by each case itself).
        preflight(opts)
        os.environ["QUILLON_E2E_STARTED"] = repr(time.monotonic())
        os.execv(opts.stack, [opts.stack, "--port", str(opts.port), "--no-pcscd", *STACK_OPTIONS.get(opts.case, []),
                              "--", sys.executable, os.path.abspath(__file__), *argv])

    workdir = Path(os.environ["PCSC_STACK_DIR"])
    # The monotonic clock is the machine's, the same in the namespaces.
    started = float(os.environ.get("QUILLON_E2E_STARTED", time.monotonic()))
    Limits.case_end = started + opts.limit - Limits.CLEANUP
    name = f"e2e_{'wine_' if opts.wine else ''}{opts.case}"
    # The folder for the logs is opened now: the Wine wrapper hides /tmp
    # behind a private tmpfs in this namespace once it runs.
    keep_fd = None
    if opts.keep:
        Path(opts.keep).mkdir(parents=True, exist_ok=True)
        keep_fd = os.open(opts.keep, os.O_RDONLY | os.O_DIRECTORY)
    case = Case(opts, workdir)
    start = time.monotonic()
    ok = False
    try:
        CASES[opts.case](case)
        if opts.compare_with and opts.case in SAME_BYTES:
            compare_with_other_build(case)
        ok = True
    except Failure as e:
        print(f"{name}: FAIL: {e}")
    finally:
        try:
            case.cleanup()
        except Failure as e:
            print(f"{name}: FAIL in cleanup: {e}")
            ok = False
        elapsed = time.monotonic() - start
        if keep_fd is not None:
            def keep(file_name, data):
                fd = os.open(file_name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644, dir_fd=keep_fd)
                with os.fdopen(fd, "wb") as f:
                    f.write(data)
            if case.tool:
                keep(f"{name}.out", case.tool.output())
            for f in workdir.iterdir():
                if f.is_file():
                    keep(f"{name}.{f.name}", f.read_bytes())
            os.close(keep_fd)
    print(f"{name}: {'PASS' if ok else 'FAIL'} in {elapsed:.2f} s")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
