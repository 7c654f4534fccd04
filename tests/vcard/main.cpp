// quillon-vcard: a virtual smart card for the vpcd reader driver of pcscd.
//
// The card is a TCP client of the driver's port. Every message, in either
// direction, is a 2-byte big-endian length followed by that many bytes. A
// 1-byte message from the driver is a control (0 power off, 1 power on,
// 2 reset, 4 "send your ATR"); anything longer is a command APDU and is
// answered with the response APDU. Only the ATR request and commands are
// answered.
//
// When the driver drops the link (pcscd stopped or restarted) the card
// reconnects, trying every 100 ms, unless --once is given. SIGTERM and
// SIGINT end it cleanly with status 0.
//
// For the tests of failures in the middle of an exchange, --stall-on makes
// the card leave one chosen command unanswered: vpcd (and so pcscd and the
// client) then waits for the answer until the link drops, e.g. because the
// test kills the card or stops pcscd at that moment.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "card.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

struct Options {
  std::string host = "127.0.0.1";
  int port = -1;
  vcard::Profile profile = vcard::Profile::Apps;
  bool once = false;
  long vanish_after = 100;       // SELECT commands answered before the card vanishes
  long return_after_ms = 1500;   // how long it stays away
  bool apps_given = false;       // --apps replaces the profile's applications
  std::vector<vcard::Bytes> apps;
  std::string stall_on;          // hex prefix of the command left unanswered ("" for none)
  long stall_at = 1;             // which matching command (1 = the first)
  std::string log_path;
  bool quiet = false;
};

const auto g_start = std::chrono::steady_clock::now();
FILE* g_log = nullptr;
bool g_quiet = false;

// One line to the APDU log (if any) and, unless --quiet, to stderr, each
// prefixed with the milliseconds since start. The log is flushed per line so
// that a test can follow it while the card runs.
void log_line(const char* format, ...) {
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - g_start).count();
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (g_log != nullptr) {
    std::fprintf(g_log, "%lld %s\n", ms, text);
    std::fflush(g_log);
  }
  if (!g_quiet) std::fprintf(stderr, "quillon-vcard: %lld %s\n", ms, text);
}

void usage(FILE* out) {
  std::fprintf(out,
               "usage: quillon-vcard --port N [--profile apps|t0|none|vanish] [--host ADDR] [--once]\n"
               "                     [--vanish-after N] [--return-after-ms M] [--apps AID,...]\n"
               "                     [--stall-on HEX [--stall-at N]] [--log FILE] [--quiet]\n"
               "  --port N             vpcd's port (the reader's DEVICENAME/CHANNELID port)\n"
               "  --profile NAME       apps (default): T=1, PSE, Visa and OpenPGP, CPLC at once\n"
               "                       t0: T=0, Visa and MasterCard, 61xx / 6C2D answers\n"
               "                       none: T=1, no application\n"
               "                       vanish: like apps, but is pulled out (drops the link)\n"
               "                       right after answering N SELECT commands, once\n"
               "  --vanish-after N     SELECT commands answered before vanishing (default 100)\n"
               "  --return-after-ms M  time away before reconnecting (default 1500)\n"
               "  --apps AID,...       carry exactly these applications (hex AIDs, comma-separated,\n"
               "                       may be empty) instead of the profile's; PSE, Visa,\n"
               "                       MasterCard and OpenPGP answer with their own FCI, any\n"
               "                       other AID with a bare FCI (6F, 84 AID)\n"
               "  --stall-on HEX       leave the first command whose hex text starts with HEX\n"
               "                       unanswered (logged as \"> cmd\" and \"stall\") until the\n"
               "                       link drops; once\n"
               "  --stall-at N         stall on the N-th such command instead (default 1)\n"
               "  --once               exit when vpcd closes the link instead of reconnecting\n"
               "  --log FILE           append events and APDUs (\"> cmd\", \"< resp\") to FILE\n"
               "  --quiet              no event lines on stderr\n");
}

bool parse_long(const char* text, long min, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min) return false;
  out = v;
  return true;
}

// Parses a comma-separated list of hex AIDs (1 to 16 bytes each); an empty
// text is an empty list.
bool parse_aids(const std::string& text, std::vector<vcard::Bytes>& out) {
  out.clear();
  if (text.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    vcard::Bytes aid;
    if (!vcard::from_hex(item, aid) || aid.empty() || aid.size() > 16) {
      std::fprintf(stderr, "quillon-vcard: bad AID '%s'\n", item.c_str());
      return false;
    }
    out.push_back(aid);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

// Upper-case hex text of a prefix given in either case; false on bad input.
bool parse_hex_prefix(const std::string& text, std::string& out) {
  vcard::Bytes bytes;
  if (text.empty() || !vcard::from_hex(text, bytes)) return false;
  out = vcard::to_hex(bytes);
  return true;
}

bool parse_options(int argc, char** argv, Options& opt) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "quillon-vcard: %s needs a value\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    long n = 0;
    if (a == "--help" || a == "-h") {
      usage(stdout);
      std::exit(0);
    } else if (a == "--port") {
      if (!value(v) || !parse_long(v, 1, n) || n > 65535) return false;
      opt.port = static_cast<int>(n);
    } else if (a == "--host") {
      if (!value(v)) return false;
      opt.host = v;
    } else if (a == "--profile") {
      if (!value(v) || !vcard::parse_profile(v, opt.profile)) return false;
    } else if (a == "--vanish-after") {
      if (!value(v) || !parse_long(v, 1, opt.vanish_after)) return false;
    } else if (a == "--return-after-ms") {
      if (!value(v) || !parse_long(v, 0, opt.return_after_ms)) return false;
    } else if (a == "--apps") {
      if (!value(v) || !parse_aids(v, opt.apps)) return false;
      opt.apps_given = true;
    } else if (a == "--stall-on") {
      if (!value(v) || !parse_hex_prefix(v, opt.stall_on)) return false;
    } else if (a == "--stall-at") {
      if (!value(v) || !parse_long(v, 1, opt.stall_at)) return false;
    } else if (a == "--log") {
      if (!value(v)) return false;
      opt.log_path = v;
    } else if (a == "--once") {
      opt.once = true;
    } else if (a == "--quiet") {
      opt.quiet = true;
    } else {
      std::fprintf(stderr, "quillon-vcard: unknown argument '%s'\n", a.c_str());
      return false;
    }
  }
  if (opt.port < 0) {
    std::fprintf(stderr, "quillon-vcard: --port is required\n");
    return false;
  }
  return true;
}

// Asks the kernel to acknowledge what arrives at once rather than delay the
// acknowledgement. TCP_QUICKACK is Linux's; where it is missing (macOS) the
// exchanges are slower, not wrong.
void quick_ack(int fd) {
#ifdef TCP_QUICKACK
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#else
  (void)fd;
#endif
}

// Sleeps up to ms milliseconds; returns early when a stop was requested.
void pause_ms(long ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!g_stop) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
    nanosleep(&ts, nullptr);  // interrupted by SIGTERM
  }
}

// Connects to vpcd, retrying every 100 ms until it listens. Returns the
// socket, or -1 when a stop was requested.
int connect_to_vpcd(const Options& opt) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  const std::string port = std::to_string(opt.port);
  bool said_waiting = false;
  while (!g_stop) {
    addrinfo* list = nullptr;
    const int gai = getaddrinfo(opt.host.c_str(), port.c_str(), &hints, &list);
    if (gai != 0) {
      log_line("cannot resolve %s: %s", opt.host.c_str(), gai_strerror(gai));
      return -1;
    }
    int fd = -1;
    for (addrinfo* ai = list; ai != nullptr && fd < 0; ai = ai->ai_next) {
      // Close-on-exec set by fcntl rather than socket()'s SOCK_CLOEXEC, which
      // macOS does not have.
      fd = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
      if (fd < 0) continue;
      if (fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 || connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        close(fd);
        fd = -1;
      }
    }
    freeaddrinfo(list);
    if (fd >= 0) {
      // vpcd sends a message's length and its bytes in two writes; without
      // NODELAY here and QUICKACK before every read, each exchange would
      // wait for a delayed acknowledgement (about 40 ms).
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      quick_ack(fd);
      return fd;
    }
    if (!said_waiting) {
      log_line("waiting for vpcd on %s:%d", opt.host.c_str(), opt.port);
      said_waiting = true;
    }
    pause_ms(100);
  }
  return -1;
}

enum class ReadResult { Ok, Closed, Stopped };

// Reads exactly n bytes. Waits in poll() so that a stop request is noticed
// even while the link is idle.
ReadResult read_exact(int fd, std::uint8_t* buf, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    if (g_stop) return ReadResult::Stopped;
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, 200);
    if (r < 0 && errno != EINTR) return ReadResult::Closed;
    if (r <= 0) continue;
    quick_ack(fd);
    const ssize_t k = recv(fd, buf + got, n - got, 0);
    if (k == 0) return ReadResult::Closed;
    if (k < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return ReadResult::Closed;
    }
    got += static_cast<std::size_t>(k);
  }
  return ReadResult::Ok;
}

ReadResult read_message(int fd, vcard::Bytes& msg) {
  std::uint8_t header[2];
  ReadResult r = read_exact(fd, header, 2);
  if (r != ReadResult::Ok) return r;
  msg.assign(static_cast<std::size_t>(header[0]) << 8 | header[1], 0);
  if (msg.empty()) return ReadResult::Ok;
  return read_exact(fd, msg.data(), msg.size());
}

bool send_message(int fd, const vcard::Bytes& payload) {
  vcard::Bytes out;
  out.reserve(payload.size() + 2);
  out.push_back(static_cast<std::uint8_t>(payload.size() >> 8));
  out.push_back(static_cast<std::uint8_t>(payload.size() & 0xFF));
  out.insert(out.end(), payload.begin(), payload.end());
  std::size_t sent = 0;
  while (sent < out.size()) {
    // No MSG_NOSIGNAL, which not every macOS SDK has: SIGPIPE is ignored
    // (main), so a link that vpcd dropped fails the send with EPIPE.
    const ssize_t k = send(fd, out.data() + sent, out.size() - sent, 0);
    if (k < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    sent += static_cast<std::size_t>(k);
  }
  return true;
}

enum class LinkEnd { Closed, Vanish, Stopped };

// What the card does once, across connections: vanish after a number of
// SELECT answers, leave one command unanswered.
struct Plan {
  bool vanish_pending = false;
  long selects_answered = 0;
  bool stall_pending = false;
  long stall_matches = 0;
};

// Holds the answer to the command just received: reads (and drops) whatever
// else arrives until the link ends or a stop is requested.
LinkEnd stall(int fd) {
  vcard::Bytes msg;
  for (;;) {
    const ReadResult r = read_message(fd, msg);
    if (r == ReadResult::Stopped) return LinkEnd::Stopped;
    if (r == ReadResult::Closed) return LinkEnd::Closed;
    log_line("ignored while stalled: %s", vcard::to_hex(msg).c_str());
  }
}

// Serves one connection to vpcd until it ends.
LinkEnd serve(int fd, vcard::Card& card, const Options& opt, Plan& plan) {
  vcard::Bytes msg;
  for (;;) {
    const ReadResult r = read_message(fd, msg);
    if (r == ReadResult::Stopped) return LinkEnd::Stopped;
    if (r == ReadResult::Closed) return LinkEnd::Closed;
    if (msg.size() == 1) {
      switch (msg[0]) {
        case 0:
          log_line("ctrl power-off");
          card.power_off();
          break;
        case 1:
          log_line("ctrl power-on");
          card.power_on();
          break;
        case 2:
          log_line("ctrl reset");
          card.reset();
          break;
        case 4:
          log_line("ctrl atr %s", vcard::to_hex(card.atr()).c_str());
          if (!send_message(fd, card.atr())) return LinkEnd::Closed;
          break;
        default:
          log_line("ctrl unknown %02X", msg[0]);
          break;
      }
      continue;
    }
    if (msg.empty()) continue;
    if (plan.stall_pending) {
      const std::string text = vcard::to_hex(msg);
      if (text.compare(0, opt.stall_on.size(), opt.stall_on) == 0 && ++plan.stall_matches >= opt.stall_at) {
        plan.stall_pending = false;
        log_line("> %s", text.c_str());
        log_line("stall");
        return stall(fd);
      }
    }
    const bool is_select = msg.size() >= 2 && msg[1] == 0xA4;
    const vcard::Bytes resp = card.process(msg);
    log_line("> %s", vcard::to_hex(msg).c_str());
    log_line("< %s", vcard::to_hex(resp).c_str());
    if (!send_message(fd, resp)) return LinkEnd::Closed;
    // Pulled out right after the N-th answered SELECT, while no command is
    // pending: vpcd then fails the next command. (Had the link dropped while
    // vpcd waits for an answer, vpcd would pass on an empty answer as a
    // successful exchange instead.)
    if (is_select && plan.vanish_pending && ++plan.selects_answered >= opt.vanish_after) return LinkEnd::Vanish;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse_options(argc, argv, opt)) {
    usage(stderr);
    return 2;
  }
  g_quiet = opt.quiet;
  if (!opt.log_path.empty()) {
    g_log = std::fopen(opt.log_path.c_str(), "a");
    if (g_log == nullptr) {
      std::fprintf(stderr, "quillon-vcard: cannot open %s: %s\n", opt.log_path.c_str(), std::strerror(errno));
      return 2;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: blocking calls return EINTR
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  vcard::Card card(opt.profile);
  if (opt.apps_given) card.carry_only(opt.apps);
  log_line("profile %s atr %s port %d", vcard::profile_name(opt.profile), vcard::to_hex(card.atr()).c_str(), opt.port);
  std::string aids;
  for (const vcard::Application& app : card.applications()) aids += (aids.empty() ? "" : ",") + vcard::to_hex(app.aid);
  log_line("apps %s", aids.empty() ? "none" : aids.c_str());

  Plan plan;
  plan.vanish_pending = opt.profile == vcard::Profile::Vanish;
  plan.stall_pending = !opt.stall_on.empty();
  while (!g_stop) {
    const int fd = connect_to_vpcd(opt);
    if (fd < 0) break;
    log_line("connected");
    card.power_off();
    const LinkEnd end = serve(fd, card, opt, plan);
    close(fd);
    card.power_off();
    if (end == LinkEnd::Stopped) break;
    if (end == LinkEnd::Vanish) {
      log_line("vanish after %ld SELECT answers, back in %ld ms", plan.selects_answered, opt.return_after_ms);
      plan.vanish_pending = false;  // vanishes once, then behaves as before
      pause_ms(opt.return_after_ms);
      continue;
    }
    log_line("disconnected");
    if (opt.once) break;
    pause_ms(100);
  }
  log_line("stopped");
  if (g_log != nullptr) std::fclose(g_log);
  return 0;
}
