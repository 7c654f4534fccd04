// Windows' wide-character PC/SC calls on top of pcsc-lite, whose reader names
// are UTF-8. A name goes back to pcsc-lite as exactly the bytes it listed,
// whether they are UTF-8 or not (a driver may name a reader in any encoding):
// bytes that are not UTF-8 are held in the wide names as lone low surrogates
// (see quillon_utf::Malformed). Everything else passes through unchanged.
#include <cstring>
#include <string>
#include <vector>

#include "platform/pcsc.h"
#include "platform/utf.h"

namespace {

std::size_t wide_length(const WCHAR* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

using quillon_utf::Malformed;

// A wide name as the bytes pcsc-lite knows it by.
std::string narrow(const WCHAR* text) {
  return quillon_utf::utf16_to_utf8(text, wide_length(text), Malformed::keep_bytes);
}

// Fetches pcsc-lite's reader list (UTF-8 names, each ended by a zero, the
// whole ended by an empty name) and returns it converted to UTF-16.
LONG wide_reader_list(SCARDCONTEXT context, const char* groups, std::u16string& out) {
  std::vector<char> list;
  LONG result = SCARD_E_INSUFFICIENT_BUFFER;
  // The list can grow between the length query and the fetch; try again then.
  for (int attempt = 0; attempt < 5 && result == static_cast<LONG>(SCARD_E_INSUFFICIENT_BUFFER); ++attempt) {
    DWORD length = 0;
    result = SCardListReaders(context, groups, nullptr, &length);
    if (result != SCARD_S_SUCCESS) return result;
    list.assign(length + 1, '\0');
    result = SCardListReaders(context, groups, list.data(), &length);
    if (result == SCARD_S_SUCCESS) list.resize(length);
  }
  if (result != SCARD_S_SUCCESS) return result;

  out.clear();
  std::size_t pos = 0;
  while (pos < list.size() && list[pos] != '\0') {
    std::size_t end = pos;
    while (end < list.size() && list[end] != '\0') ++end;
    out += quillon_utf::utf8_to_utf16(list.data() + pos, end - pos, Malformed::keep_bytes);
    out.push_back(u'\0');
    pos = end + 1;
  }
  out.push_back(u'\0');
  return SCARD_S_SUCCESS;
}

}  // namespace

LONG SCardListReadersW(SCARDCONTEXT hContext, const WCHAR* mszGroups, LPWSTR mszReaders, LPDWORD pcchReaders) {
  if (pcchReaders == nullptr) return SCARD_E_INVALID_PARAMETER;
  // Groups form a multi-string as well.
  std::string groups;
  if (mszGroups != nullptr) {
    for (const WCHAR* g = mszGroups; *g != 0; g += wide_length(g) + 1) {
      groups += narrow(g);
      groups.push_back('\0');
    }
    groups.push_back('\0');
  }
  std::u16string list;
  const LONG result = wide_reader_list(hContext, mszGroups != nullptr ? groups.data() : nullptr, list);
  if (result != SCARD_S_SUCCESS) return result;
  const DWORD needed = static_cast<DWORD>(list.size());
  if (mszReaders != nullptr) {
    if (*pcchReaders < needed) {
      *pcchReaders = needed;
      return SCARD_E_INSUFFICIENT_BUFFER;
    }
    std::memcpy(mszReaders, list.data(), list.size() * sizeof(WCHAR));
  }
  *pcchReaders = needed;
  return SCARD_S_SUCCESS;
}

LONG SCardGetStatusChangeW(SCARDCONTEXT hContext, DWORD dwTimeout, LPSCARD_READERSTATEW rgReaderStates,
                           DWORD cReaders) {
  if (cReaders > 0 && rgReaderStates == nullptr) return SCARD_E_INVALID_PARAMETER;
  std::vector<std::string> names(cReaders);
  std::vector<SCARD_READERSTATE> states(cReaders);
  for (DWORD i = 0; i < cReaders; ++i) {
    const SCARD_READERSTATEW& w = rgReaderStates[i];
    names[i] = w.szReader != nullptr ? narrow(w.szReader) : std::string();
    SCARD_READERSTATE& s = states[i];
    std::memset(&s, 0, sizeof s);
    s.szReader = names[i].c_str();
    s.pvUserData = w.pvUserData;
    s.dwCurrentState = w.dwCurrentState;
    s.dwEventState = w.dwEventState;
    const DWORD atr = w.cbAtr < sizeof s.rgbAtr ? w.cbAtr : static_cast<DWORD>(sizeof s.rgbAtr);
    s.cbAtr = atr;
    std::memcpy(s.rgbAtr, w.rgbAtr, atr);
  }
  const LONG result = SCardGetStatusChange(hContext, dwTimeout, states.empty() ? nullptr : states.data(), cReaders);
  for (DWORD i = 0; i < cReaders; ++i) {
    SCARD_READERSTATEW& w = rgReaderStates[i];
    const SCARD_READERSTATE& s = states[i];
    w.dwEventState = s.dwEventState;
    // pcsc-lite holds at most 33 ATR bytes; the wide structure has room for 36.
    const DWORD atr = s.cbAtr < sizeof s.rgbAtr ? s.cbAtr : static_cast<DWORD>(sizeof s.rgbAtr);
    w.cbAtr = atr;
    std::memcpy(w.rgbAtr, s.rgbAtr, atr);
  }
  return result;
}

LONG SCardConnectW(SCARDCONTEXT hContext, const WCHAR* szReader, DWORD dwShareMode, DWORD dwPreferredProtocols,
                   LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol) {
  if (szReader == nullptr) return SCARD_E_INVALID_PARAMETER;
  const std::string name = narrow(szReader);
  const LONG result =
      SCardConnect(hContext, name.c_str(), dwShareMode, dwPreferredProtocols, phCard, pdwActiveProtocol);
  // WinSCard answers a connect to an empty reader with SCARD_W_REMOVED_CARD,
  // pcsc-lite (and the PCSC framework) with SCARD_E_NO_SMARTCARD. Given in
  // WinSCard's terms, an empty reader is what it is to the session, a card
  // that is not there, and not a fault of the context.
  if (result == static_cast<LONG>(SCARD_E_NO_SMARTCARD)) return SCARD_W_REMOVED_CARD;
  return result;
}

int WideCharToMultiByte(UINT CodePage, DWORD /*dwFlags*/, const WCHAR* lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR /*lpDefaultChar*/, LPBOOL lpUsedDefaultChar) {
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = 0;
  if (CodePage != CP_UTF8 || lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0) return 0;
  // -1: the text up to and including its terminator.
  const std::size_t length = cchWideChar < 0 ? wide_length(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
  // The text for the console: valid UTF-8 whatever the name's bytes were,
  // with U+FFFD for each ill-formed subsequence of them.
  const std::string bytes = quillon_utf::utf16_to_utf8(lpWideCharStr, length, Malformed::keep_bytes);
  const std::u16string valid = quillon_utf::utf8_to_utf16(bytes.data(), bytes.size());
  const std::string text = quillon_utf::utf16_to_utf8(valid.data(), valid.size());
  if (text.size() > 0x7FFFFFFF) return 0;
  const int needed = static_cast<int>(text.size());
  if (cbMultiByte == 0) return needed;          // a query of the size needed
  if (cbMultiByte < needed || lpMultiByteStr == nullptr) return 0;  // too small: nothing is written
  std::memcpy(lpMultiByteStr, text.data(), text.size());
  return needed;
}
