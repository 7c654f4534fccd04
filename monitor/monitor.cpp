#include "monitor/monitor.h"

#include <cstdlib>
#include <limits>
#include <memory>

#include "app/console.h"
#include "buffer/buffer.h"

namespace {

struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};
using NameBlock = std::unique_ptr<WCHAR[], FreeDeleter>;

struct StateLine {
  DWORD bit;
  const char* text;
};

const StateLine STATE_LINES[] = {
    {SCARD_STATE_IGNORE, "SCARD_STATE_IGNORE: this reader should be ignored"},
    {SCARD_STATE_UNKNOWN,
     "SCARD_STATE_UNKNOWN: The given reader name is not recognized by the resource manager. If this bit is set, "
     "then SCARD_STATE_CHANGED and SCARD_STATE_IGNORE will also be set."},
    {SCARD_STATE_UNAVAILABLE,
     "SCARD_STATE_UNAVAILABLE: The actual state of this reader is not available. If this bit is set, then all the "
     "following bits are clear."},
    {SCARD_STATE_EMPTY,
     "SCARD_STATE_EMPTY: There is no card in the reader. If this bit is set, all the following bits will be clear."},
    {SCARD_STATE_PRESENT, "SCARD_STATE_PRESENT: There is a card in the reader."},
    {SCARD_STATE_ATRMATCH,
     "SCARD_STATE_ATRMATCH: There is a card in the reader with an ATR matching one of the target cards. If this bit "
     "is set, SCARD_STATE_PRESENT will also be set. This bit is only returned on the SCardLocateCards function."},
    {SCARD_STATE_EXCLUSIVE,
     "SCARD_STATE_EXCLUSIVE: The card in the reader is allocated for exclusive use by another application.If this "
     "bit is set, SCARD_STATE_PRESENT will also be set."},
    {SCARD_STATE_INUSE,
     "SCARD_STATE_INUSE: The card in the reader is in use by one or more other applications, but may be connected "
     "to in shared mode.If this bit is set, SCARD_STATE_PRESENT will also be set."},
    {SCARD_STATE_MUTE, "SCARD_STATE_MUTE: There is an unresponsive card in the reader."},
};

// Reader names far beyond any real one are not taken.
constexpr DWORD MAX_LIST_LENGTH = 1u << 20;

enum class Listing { ok, failed };

// Lists the readers into block and points the first entries at their names.
Listing list_readers(SCARDCONTEXT context, NameBlock& block, SCARD_READERSTATEW* states, DWORD& count,
                     LONG& result) {
  count = 0;
  DWORD length = 0;
  result = SCardListReadersW(context, nullptr, nullptr, &length);
  if (result == static_cast<LONG>(SCARD_E_NO_READERS_AVAILABLE)) return Listing::ok;
  if (result != SCARD_S_SUCCESS) return Listing::failed;

  const DWORD allocated = length > 0 ? length : 1;
  if (length > MAX_LIST_LENGTH) {
    result = SCARD_E_NO_MEMORY;
    return Listing::failed;
  }
  block.reset(static_cast<WCHAR*>(std::calloc(allocated, sizeof(WCHAR))));
  if (!block) {
    // Without room for the names the pass cannot go on: a listing failure.
    result = SCARD_E_NO_MEMORY;
    return Listing::failed;
  }
  result = SCardListReadersW(context, nullptr, block.get(), &length);
  if (result != SCARD_S_SUCCESS) return Listing::failed;

  // Take whole, zero-terminated names from the block, never reading past it.
  const DWORD end = length < allocated ? length : allocated;
  DWORD pos = 0;
  while (count < MAX_READERS && pos < end && block[pos] != 0) {
    DWORD stop = pos;
    while (stop < end && block[stop] != 0) ++stop;
    if (stop == end) break;  // a name without its terminator
    states[count].szReader = block.get() + pos;
    ++count;
    pos = stop + 1;
  }
  return Listing::ok;
}

// Shows a reader name on the console without letting it drive the terminal:
// a name comes from a driver's configuration or from a USB device's own
// strings, and control characters in it could clear the screen, move the
// cursor or forge report lines. Each C0 control, DEL and C1 control
// (U+0080..U+009F, C2 80..C2 9F in the valid UTF-8 that name holds) becomes
// one '?'; everything else is kept as it is.
void make_printable(std::string& name) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (b < 0x20 || b == 0x7F) {
      name[out++] = '?';
    } else if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
      name[out++] = '?';
      ++i;
    } else {
      name[out++] = name[i];
    }
  }
  name.resize(out);
}

void dump_state(DWORD event_state) {
  for (const StateLine& line : STATE_LINES) {
    if (event_state & line.bit) console_log(0, "%s", line.text);
  }
}

}  // namespace

void wide_to_utf8(const WCHAR* text, int length, std::string& out) {
  if (length <= 0) {
    length = 0;
    while (text[length] != 0 && length < std::numeric_limits<int>::max() / 5 - 1) ++length;
  }
  if (length > std::numeric_limits<int>::max() / 5 - 1) length = std::numeric_limits<int>::max() / 5 - 1;
  const auto capacity = static_cast<std::uint32_t>(length) * 5 + 5;
  cpplib::Buffer scratch(capacity);
  char* area = reinterpret_cast<char*>(scratch.data());
  if (area == nullptr || scratch.capacity() < capacity) {
    out.clear();
    return;
  }
  int written = WideCharToMultiByte(CP_UTF8, 0, text, length, area, static_cast<int>(capacity), nullptr, nullptr);
  if (written < 0 || static_cast<std::uint32_t>(written) >= capacity) written = 0;
  area[written] = '\0';
  out.assign(area);
}

void monitor_readers() {
  SCARD_READERSTATEW states[MAX_READERS] = {};
  bool finished = false;
  std::string reader_name;
  // The name at each position in the last listing.
  std::basic_string<WCHAR> listed_names[MAX_READERS];

  while (!finished) {
    // A context cycle.
    DWORD previous_count = 0;
    bool first_listing = true;
    SCARDCONTEXT context = 0;
    const LONG established = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context);
    if (established != SCARD_S_SUCCESS) {
      console_log(0, "failed to establish SCard context (err %08X)-> wait", pcsc_code(established));
      Sleep(RETRY_PAUSE_MS);
      continue;
    }

    std::uint32_t stop_code = 0;
    bool listing_failed = false;
    while (stop_code == 0 && !finished) {
      NameBlock block;
      DWORD count = 0;
      LONG listed = SCARD_S_SUCCESS;
      if (list_readers(context, block, states, count, listed) == Listing::failed) {
        SCardReleaseContext(context);
        console_log(0, "failed to list SCard readers (err %08X)-> wait", pcsc_code(listed));
        block.reset();
        Sleep(RETRY_PAUSE_MS);
        listing_failed = true;
        break;
      }

      if (count != previous_count) {
        // Unaware states make the next wait return at once with the true states.
        for (DWORD i = 0; i < count; ++i) states[i].dwCurrentState = SCARD_STATE_UNAWARE;
        if (!first_listing) {
          if (count < previous_count)
            console_log(0, "A reader has been removed !\n\n");
          else
            console_log(0, "A reader has been connected during the last %d ms!\n\n", static_cast<int>(STATUS_WAIT_MS));
        }
      }
      previous_count = count;
      // A reader other than the one at its position in the last listing (one
      // replaced by another between two listings, or a USB reader plugged
      // back under another index because it returned before pcsc-lite had
      // let its old entry go) is waited on afresh as well: its saved state
      // is the old reader's, with which the wait could see no change.
      for (DWORD i = 0; i < count; ++i) {
        if (listed_names[i] != states[i].szReader) {
          states[i].dwCurrentState = SCARD_STATE_UNAWARE;
          listed_names[i] = states[i].szReader;
        }
      }

      if (count == 0) {
        console_log(0, "no SCard readers detected...");
        Sleep(NO_READER_PAUSE_MS);
      }

      const LONG waited = SCardGetStatusChangeW(context, STATUS_WAIT_MS, states, count);
      if (waited == SCARD_S_SUCCESS) {
        for (DWORD i = 0; i < count; ++i) {
          wide_to_utf8(states[i].szReader, -1, reader_name);
          make_printable(reader_name);
          console_log(1, "Reader: %s", reader_name.c_str());
          if (debug_mode) dump_state(states[i].dwEventState);
          const SessionResult session = run_card_session(context, states[i]);
          if (session.stop_code != 0) stop_code = session.stop_code;
          // The next wait blocks until the state seen now changes; after a
          // lost session it shows the reader's true state at once instead.
          // A reader pulled and plugged back in the meantime is listed
          // under its old name, and its card (a USB token's is built in)
          // gives the very state seen before, event count included, since
          // pcsc-lite 2 counts a returned reader's events afresh: waiting on
          // that state would never see it. The session has paused first.
          states[i].dwCurrentState = session.lost ? SCARD_STATE_UNAWARE : states[i].dwEventState;
          if (session.reported) {
            finished = true;
            break;
          }
        }
      } else if (waited != static_cast<LONG>(SCARD_E_TIMEOUT)) {
        console_log(0, "status change error %x", pcsc_code(waited));
      }
      first_listing = false;
    }
    if (!listing_failed) SCardReleaseContext(context);
  }
}
