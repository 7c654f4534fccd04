/*
 * A WinSCard for Wine that forwards to pcsc-lite: test-only, so that the
 * Windows build, quillon.exe, can talk to a real pcscd under Wine 8, whose
 * own winscard.dll is a stub with no PC/SC service behind it (Wine 9 and
 * later hand their WinSCard calls to pcsc-lite themselves, and the tests use
 * that there).
 *
 * Built with winegcc as a Winelib builtin DLL (winscard.dll.so). It exports
 * the calls quillon.exe imports and the protocol control blocks, with Windows'
 * types: 32-bit DWORD and LONG, UTF-16 reader names, 36 ATR bytes in
 * SCARD_READERSTATEW and the 8-byte SCARD_IO_REQUEST. pcsc-lite on x86-64
 * Linux has 64-bit DWORD and LONG, UTF-8 names, 33 ATR bytes and a 16-byte
 * SCARD_IO_REQUEST. libpcsclite.so.1 is loaded with dlopen and its calls are
 * made through the declarations below, so its header and Wine's winscard.h
 * never meet in one unit.
 *
 * Result codes pass through as their low 32 bits, which is the value WinSCard
 * gives for the same condition. Where WinSCard is known to answer differently
 * from pcsc-lite, the bridge answers as WinSCard; each such place says so.
 */
#include <dlfcn.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windef.h>
#include <winbase.h>
#include <winscard.h>

/* ---- pcsc-lite's interface on x86-64 Linux ------------------------------ */

typedef long pcsc_long;            /* LONG, SCARDCONTEXT, SCARDHANDLE */
typedef unsigned long pcsc_dword;  /* DWORD */

enum { PCSC_ATR_SIZE = 33 };

typedef struct {
  const char* szReader;
  void* pvUserData;
  pcsc_dword dwCurrentState;
  pcsc_dword dwEventState;
  pcsc_dword cbAtr;
  unsigned char rgbAtr[PCSC_ATR_SIZE];
} pcsc_readerstate;

typedef struct {
  unsigned long dwProtocol;
  unsigned long cbPciLength;
} pcsc_io_request;

_Static_assert(sizeof(pcsc_io_request) == 16, "pcsc-lite's SCARD_IO_REQUEST is two unsigned longs");
_Static_assert(sizeof(SCARD_IO_REQUEST) == 8, "WinSCard's SCARD_IO_REQUEST is two DWORDs");
_Static_assert(sizeof(((SCARD_READERSTATEW*)0)->rgbAtr) == 36, "SCARD_READERSTATEW holds 36 ATR bytes");
_Static_assert(sizeof(LONG) == 4 && sizeof(DWORD) == 4, "Windows' LONG and DWORD are 32 bits");

#define PCSC_S_SUCCESS 0x00000000L
#define PCSC_E_INSUFFICIENT_BUFFER 0x80100008L
#define PCSC_E_NO_SMARTCARD 0x8010000CL
#define PCSC_PROTOCOL_T0 0x0001UL
#define PCSC_PROTOCOL_T1 0x0002UL
#define PCSC_PROTOCOL_RAW 0x0004UL

/* Windows' codes as LONG values (the SDK headers spell them as DWORD). */
#define WIN_SUCCESS ((LONG)0x00000000)
#define WIN_F_INTERNAL_ERROR ((LONG)0x80100001)
#define WIN_E_INVALID_PARAMETER ((LONG)0x80100004)
#define WIN_E_INSUFFICIENT_BUFFER ((LONG)0x80100008)
#define WIN_E_NO_MEMORY ((LONG)0x80100006)
#define WIN_W_REMOVED_CARD ((LONG)0x80100069)

static struct {
  pcsc_long (*establish)(pcsc_dword, const void*, const void*, pcsc_long*);
  pcsc_long (*release)(pcsc_long);
  pcsc_long (*list_readers)(pcsc_long, const char*, char*, pcsc_dword*);
  pcsc_long (*get_status_change)(pcsc_long, pcsc_dword, pcsc_readerstate*, pcsc_dword);
  pcsc_long (*connect)(pcsc_long, const char*, pcsc_dword, pcsc_dword, pcsc_long*, pcsc_dword*);
  pcsc_long (*reconnect)(pcsc_long, pcsc_dword, pcsc_dword, pcsc_dword, pcsc_dword*);
  pcsc_long (*disconnect)(pcsc_long, pcsc_dword);
  pcsc_long (*status)(pcsc_long, char*, pcsc_dword*, pcsc_dword*, pcsc_dword*, unsigned char*, pcsc_dword*);
  pcsc_long (*begin_transaction)(pcsc_long);
  pcsc_long (*end_transaction)(pcsc_long, pcsc_dword);
  pcsc_long (*transmit)(pcsc_long, const pcsc_io_request*, const unsigned char*, pcsc_dword, pcsc_io_request*,
                        unsigned char*, pcsc_dword*);
} pcsc;

static pthread_once_t pcsc_once = PTHREAD_ONCE_INIT;
static int pcsc_loaded;

static void load_pcsc(void) {
  void* lib = dlopen("libpcsclite.so.1", RTLD_NOW | RTLD_LOCAL);
  if (lib == NULL) {
    fprintf(stderr, "winscard bridge: %s\n", dlerror());
    return;
  }
  /* Assigning dlsym's object pointer to a function pointer goes through memcpy. */
#define BIND(field, name)                                           \
  do {                                                              \
    void* symbol = dlsym(lib, name);                                \
    if (symbol == NULL) {                                           \
      fprintf(stderr, "winscard bridge: no %s in pcsc-lite\n", name); \
      return;                                                       \
    }                                                               \
    memcpy(&pcsc.field, &symbol, sizeof symbol);                    \
  } while (0)
  BIND(establish, "SCardEstablishContext");
  BIND(release, "SCardReleaseContext");
  BIND(list_readers, "SCardListReaders");
  BIND(get_status_change, "SCardGetStatusChange");
  BIND(connect, "SCardConnect");
  BIND(reconnect, "SCardReconnect");
  BIND(disconnect, "SCardDisconnect");
  BIND(status, "SCardStatus");
  BIND(begin_transaction, "SCardBeginTransaction");
  BIND(end_transaction, "SCardEndTransaction");
  BIND(transmit, "SCardTransmit");
#undef BIND
  pcsc_loaded = 1;
}

static int have_pcsc(void) {
  pthread_once(&pcsc_once, load_pcsc);
  return pcsc_loaded;
}

/* pcsc-lite's 64-bit LONG holds the 32-bit code; WinSCard's LONG is that code. */
static LONG win_result(pcsc_long result) { return (LONG)(uint32_t)result; }

/* Protocol bits: T=0 and T=1 are the same on both sides, raw is 0x10000 on
 * Windows and 4 in pcsc-lite. SCARD_PROTOCOL_DEFAULT has no pcsc-lite
 * counterpart and is dropped. */
static pcsc_dword pcsc_protocols(DWORD protocols) {
  pcsc_dword out = protocols & (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1);
  if (protocols & SCARD_PROTOCOL_RAW) out |= PCSC_PROTOCOL_RAW;
  return out;
}

static DWORD win_protocols(pcsc_dword protocols) {
  DWORD out = (DWORD)(protocols & (PCSC_PROTOCOL_T0 | PCSC_PROTOCOL_T1));
  if (protocols & PCSC_PROTOCOL_RAW) out |= SCARD_PROTOCOL_RAW;
  return out;
}

/* ---- UTF-16 <-> UTF-8 ----------------------------------------------------
 * Malformed input becomes U+FFFD, one per maximal ill-formed subsequence,
 * as Windows' converters do. */

static size_t wide_length(const WCHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

/* Writes the UTF-8 form of text[0..length) to out (room for 3 bytes per
 * unit); returns the number of bytes. */
static size_t to_utf8(const WCHAR* text, size_t length, char* out) {
  unsigned char* o = (unsigned char*)out;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      *o++ = (unsigned char)c;
    } else if (c < 0x800) {
      *o++ = (unsigned char)(0xC0 | (c >> 6));
      *o++ = (unsigned char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *o++ = (unsigned char)(0xE0 | (c >> 12));
      *o++ = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
      *o++ = (unsigned char)(0x80 | (c & 0x3F));
    } else {
      *o++ = (unsigned char)(0xF0 | (c >> 18));
      *o++ = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
      *o++ = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
      *o++ = (unsigned char)(0x80 | (c & 0x3F));
    }
  }
  return (size_t)(o - (unsigned char*)out);
}

/* Writes the UTF-16 form of text[0..length) to out (room for one unit per
 * byte); returns the number of units. */
static size_t to_utf16(const char* text, size_t length, WCHAR* out) {
  const unsigned char* s = (const unsigned char*)text;
  size_t n = 0, i = 0;
  while (i < length) {
    const unsigned char b = s[i];
    int more;
    unsigned char lo = 0x80, hi = 0xBF;
    uint32_t c;
    if (b < 0x80) {
      out[n++] = b;
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      more = 1, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      more = 2, c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      more = 3, c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out[n++] = 0xFFFD;
      ++i;
      continue;
    }
    size_t j = i + 1;
    int taken = 0;
    while (taken < more && j < length && s[j] >= (taken == 0 ? lo : 0x80) && s[j] <= (taken == 0 ? hi : 0xBF)) {
      c = (c << 6) | (s[j] & 0x3F);
      ++j, ++taken;
    }
    if (taken < more) {
      out[n++] = 0xFFFD;
    } else if (c >= 0x10000) {
      out[n++] = (WCHAR)(0xD800 + ((c - 0x10000) >> 10));
      out[n++] = (WCHAR)(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out[n++] = (WCHAR)c;
    }
    i = j;
  }
  return n;
}

/* A zero-terminated UTF-8 copy of a zero-terminated UTF-16 text (free it). */
static char* utf8_copy(const WCHAR* text) {
  const size_t length = wide_length(text);
  char* out = malloc(length * 3 + 1);
  if (out != NULL) out[to_utf8(text, length, out)] = '\0';
  return out;
}

/* ---- Calls ---------------------------------------------------------------- */

const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};

LONG WINAPI SCardEstablishContext(DWORD dwScope, LPCVOID pvReserved1, LPCVOID pvReserved2,
                                  LPSCARDCONTEXT phContext) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (phContext == NULL) return WIN_E_INVALID_PARAMETER;
  pcsc_long context = 0;
  const pcsc_long result = pcsc.establish(dwScope, pvReserved1, pvReserved2, &context);
  if (result == PCSC_S_SUCCESS) *phContext = (SCARDCONTEXT)context;
  return win_result(result);
}

LONG WINAPI SCardReleaseContext(SCARDCONTEXT hContext) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  return win_result(pcsc.release((pcsc_long)hContext));
}

/* Reader names: pcsc-lite gives a UTF-8 multi-string and its length in bytes,
 * WinSCard a UTF-16 one and its length in characters. SCARD_AUTOALLOCATE is
 * not offered (there is no SCardFreeMemory here). */
LONG WINAPI SCardListReadersW(SCARDCONTEXT hContext, LPCWSTR mszGroups, LPWSTR mszReaders, LPDWORD pcchReaders) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (pcchReaders == NULL || (mszReaders != NULL && *pcchReaders == SCARD_AUTOALLOCATE))
    return WIN_E_INVALID_PARAMETER;
  char* groups = NULL;
  if (mszGroups != NULL) {
    /* The names with their terminators, then the closing empty name. */
    size_t units = 0;
    while (mszGroups[units] != 0) units += wide_length(mszGroups + units) + 1;
    groups = malloc(units * 3 + 1);
    if (groups == NULL) return WIN_E_NO_MEMORY;
    groups[to_utf8(mszGroups, units, groups)] = '\0';
  }
  /* The list can grow between the length query and the fetch: ask again then. */
  char* list = NULL;
  pcsc_dword bytes = 0;
  pcsc_long result = PCSC_E_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 5 && result == PCSC_E_INSUFFICIENT_BUFFER; ++attempt) {
    bytes = 0;
    result = pcsc.list_readers((pcsc_long)hContext, groups, NULL, &bytes);
    if (result != PCSC_S_SUCCESS) break;
    free(list);
    list = calloc(bytes + 1, 1);
    if (list == NULL) {
      free(groups);
      return WIN_E_NO_MEMORY;
    }
    result = pcsc.list_readers((pcsc_long)hContext, groups, list, &bytes);
  }
  free(groups);
  if (result != PCSC_S_SUCCESS) {
    free(list);
    return win_result(result);
  }
  WCHAR* wide = malloc((bytes + 1) * sizeof(WCHAR));
  if (wide == NULL) {
    free(list);
    return WIN_E_NO_MEMORY;
  }
  const DWORD needed = (DWORD)to_utf16(list, bytes, wide);
  free(list);
  LONG answer = WIN_SUCCESS;
  if (mszReaders != NULL) {
    if (*pcchReaders < needed)
      answer = WIN_E_INSUFFICIENT_BUFFER;
    else
      memcpy(mszReaders, wide, needed * sizeof(WCHAR));
  }
  *pcchReaders = needed;
  free(wide);
  return answer;
}

LONG WINAPI SCardGetStatusChangeW(SCARDCONTEXT hContext, DWORD dwTimeout, LPSCARD_READERSTATEW rgReaderStates,
                                  DWORD cReaders) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (cReaders > 0 && rgReaderStates == NULL) return WIN_E_INVALID_PARAMETER;
  pcsc_readerstate* states = calloc(cReaders > 0 ? cReaders : 1, sizeof *states);
  char** names = calloc(cReaders > 0 ? cReaders : 1, sizeof *names);
  LONG answer = WIN_E_NO_MEMORY;
  if (states == NULL || names == NULL) goto done;
  for (DWORD i = 0; i < cReaders; ++i) {
    const SCARD_READERSTATEW* w = &rgReaderStates[i];
    pcsc_readerstate* s = &states[i];
    if (w->szReader != NULL && (names[i] = utf8_copy(w->szReader)) == NULL) goto done;
    s->szReader = names[i];
    s->pvUserData = w->pvUserData;
    s->dwCurrentState = w->dwCurrentState;
    s->dwEventState = w->dwEventState;
    s->cbAtr = w->cbAtr < PCSC_ATR_SIZE ? w->cbAtr : PCSC_ATR_SIZE;
    memcpy(s->rgbAtr, w->rgbAtr, s->cbAtr);
  }
  /* INFINITE is 0xFFFFFFFF on both sides. */
  const pcsc_long result = pcsc.get_status_change((pcsc_long)hContext, dwTimeout, cReaders > 0 ? states : NULL,
                                                  cReaders);
  for (DWORD i = 0; i < cReaders; ++i) {
    SCARD_READERSTATEW* w = &rgReaderStates[i];
    const pcsc_readerstate* s = &states[i];
    w->dwEventState = (DWORD)s->dwEventState;
    w->cbAtr = (DWORD)(s->cbAtr < PCSC_ATR_SIZE ? s->cbAtr : PCSC_ATR_SIZE);
    memcpy(w->rgbAtr, s->rgbAtr, w->cbAtr);
  }
  answer = win_result(result);
done:
  if (names != NULL)
    for (DWORD i = 0; i < cReaders; ++i) free(names[i]);
  free(names);
  free(states);
  return answer;
}

LONG WINAPI SCardConnectW(SCARDCONTEXT hContext, LPCWSTR szReader, DWORD dwShareMode, DWORD dwPreferredProtocols,
                          LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (szReader == NULL || phCard == NULL || pdwActiveProtocol == NULL) return WIN_E_INVALID_PARAMETER;
  char* name = utf8_copy(szReader);
  if (name == NULL) return WIN_E_NO_MEMORY;
  pcsc_long card = 0;
  pcsc_dword protocol = 0;
  const pcsc_long result =
      pcsc.connect((pcsc_long)hContext, name, dwShareMode, pcsc_protocols(dwPreferredProtocols), &card, &protocol);
  free(name);
  /* WinSCard: a connect to a reader without a card answers
   * SCARD_W_REMOVED_CARD; pcsc-lite says SCARD_E_NO_SMARTCARD. */
  if (result == PCSC_E_NO_SMARTCARD) return WIN_W_REMOVED_CARD;
  if (result == PCSC_S_SUCCESS) {
    *phCard = (SCARDHANDLE)card;
    *pdwActiveProtocol = win_protocols(protocol);
  }
  return win_result(result);
}

LONG WINAPI SCardReconnect(SCARDHANDLE hCard, DWORD dwShareMode, DWORD dwPreferredProtocols, DWORD dwInitialization,
                           LPDWORD pdwActiveProtocol) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (pdwActiveProtocol == NULL) return WIN_E_INVALID_PARAMETER;
  pcsc_dword protocol = 0;
  const pcsc_long result = pcsc.reconnect((pcsc_long)hCard, dwShareMode, pcsc_protocols(dwPreferredProtocols),
                                          dwInitialization, &protocol);
  if (result == PCSC_S_SUCCESS) *pdwActiveProtocol = win_protocols(protocol);
  return win_result(result);
}

LONG WINAPI SCardDisconnect(SCARDHANDLE hCard, DWORD dwDisposition) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  return win_result(pcsc.disconnect((pcsc_long)hCard, dwDisposition));
}

/* The reader's name in UTF-16 (with szReaderName NULL, WinSCard gives only
 * the length it needs, and succeeds), the state, the protocol and the ATR. */
LONG WINAPI SCardStatusW(SCARDHANDLE hCard, LPWSTR szReaderName, LPDWORD pcchReaderLen, LPDWORD pdwState,
                         LPDWORD pdwProtocol, LPBYTE pbAtr, LPDWORD pcbAtrLen) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if ((szReaderName != NULL && pcchReaderLen == NULL) || (pbAtr != NULL && pcbAtrLen == NULL))
    return WIN_E_INVALID_PARAMETER;
  char name[1024];
  pcsc_dword name_length = sizeof name;
  pcsc_dword state = 0, protocol = 0;
  unsigned char atr[PCSC_ATR_SIZE];
  pcsc_dword atr_length = sizeof atr;
  const pcsc_long result = pcsc.status((pcsc_long)hCard, name, &name_length, &state, &protocol, atr, &atr_length);
  if (result != PCSC_S_SUCCESS) return win_result(result);
  LONG answer = WIN_SUCCESS;
  if (pcchReaderLen != NULL) {
    WCHAR wide[sizeof name + 1];
    const size_t bytes = name_length > 0 && name_length <= sizeof name ? name_length - 1 : 0;
    const DWORD needed = (DWORD)to_utf16(name, bytes, wide) + 1;
    wide[needed - 1] = 0;
    if (szReaderName != NULL) {
      if (*pcchReaderLen < needed)
        answer = WIN_E_INSUFFICIENT_BUFFER;
      else
        memcpy(szReaderName, wide, needed * sizeof(WCHAR));
    }
    *pcchReaderLen = needed;
  }
  if (pdwState != NULL) *pdwState = (DWORD)state;
  if (pdwProtocol != NULL) *pdwProtocol = win_protocols(protocol);
  if (pcbAtrLen != NULL) {
    const DWORD given = (DWORD)(atr_length < PCSC_ATR_SIZE ? atr_length : PCSC_ATR_SIZE);
    if (pbAtr != NULL) {
      if (*pcbAtrLen < given)
        answer = WIN_E_INSUFFICIENT_BUFFER;
      else
        memcpy(pbAtr, atr, given);
    }
    *pcbAtrLen = given;
  }
  return answer;
}

LONG WINAPI SCardBeginTransaction(SCARDHANDLE hCard) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  return win_result(pcsc.begin_transaction((pcsc_long)hCard));
}

LONG WINAPI SCardEndTransaction(SCARDHANDLE hCard, DWORD dwDisposition) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  return win_result(pcsc.end_transaction((pcsc_long)hCard, dwDisposition));
}

/* The protocol control blocks are rebuilt in pcsc-lite's layout; any
 * protocol-specific bytes after Windows' 8-byte header are not passed on
 * (pcsc-lite has no use for them). */
LONG WINAPI SCardTransmit(SCARDHANDLE hCard, LPCSCARD_IO_REQUEST pioSendPci, LPCBYTE pbSendBuffer, DWORD cbSendLength,
                          LPSCARD_IO_REQUEST pioRecvPci, LPBYTE pbRecvBuffer, LPDWORD pcbRecvLength) {
  if (!have_pcsc()) return WIN_F_INTERNAL_ERROR;
  if (pioSendPci == NULL || pcbRecvLength == NULL || *pcbRecvLength == SCARD_AUTOALLOCATE)
    return WIN_E_INVALID_PARAMETER;
  const pcsc_io_request send = {pcsc_protocols(pioSendPci->dwProtocol), sizeof(pcsc_io_request)};
  pcsc_io_request receive = {pioRecvPci != NULL ? pcsc_protocols(pioRecvPci->dwProtocol) : 0,
                             sizeof(pcsc_io_request)};
  pcsc_dword length = *pcbRecvLength;
  const pcsc_long result = pcsc.transmit((pcsc_long)hCard, &send, pbSendBuffer, cbSendLength,
                                         pioRecvPci != NULL ? &receive : NULL, pbRecvBuffer, &length);
  *pcbRecvLength = (DWORD)length;
  if (pioRecvPci != NULL && result == PCSC_S_SUCCESS) {
    pioRecvPci->dwProtocol = win_protocols(receive.dwProtocol);
    pioRecvPci->cbPciLength = sizeof(SCARD_IO_REQUEST);
  }
  return win_result(result);
}
