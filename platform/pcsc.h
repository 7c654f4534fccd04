// The PC/SC interface as the rest of Quillon sees it: Windows' spelling of the
// smart-card API (wide-character reader names, SCARD_READERSTATEW, Sleep,
// WideCharToMultiByte). On Windows these are WinSCard's and kernel32's own;
// elsewhere the adapter in pcsc_adapter.cpp supplies them on top of
// pcsc-lite's UTF-8 interface.
#pragma once

#include <cstdint>

#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winscard.h>

#else  // pcsc-lite (Linux) or the PCSC framework (macOS)

#ifdef __APPLE__
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#else
// By their bare names, from pkg-config's include folder for libpcsclite
// (PREFIX/include/PCSC): a pcsc-lite installed under a prefix of its own
// then gives all its headers, never mixed with the system's.
#include <winscard.h>
#endif

// Older pcsc-lite headers may lack these.
#ifndef SCARD_E_NO_READERS_AVAILABLE
#define SCARD_E_NO_READERS_AVAILABLE ((LONG)0x8010002E)
#endif
#ifndef SCARD_E_NO_SERVICE
#define SCARD_E_NO_SERVICE ((LONG)0x8010001D)
#endif

// UTF-16 code unit, as WCHAR is on Windows. Constant UTF-16 text is spelled
// const WCHAR*, not LPCWSTR: the PCSC framework's wintypes.h already declares
// LPCWSTR, as a deprecated char*.
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef BOOL* LPBOOL;
typedef unsigned int UINT;

#define CP_UTF8 65001u

// pcsc-lite keeps 33 ATR bytes; the wide structure has Windows' 36.
typedef struct {
  const WCHAR* szReader;
  void* pvUserData;
  DWORD dwCurrentState;
  DWORD dwEventState;
  DWORD cbAtr;
  unsigned char rgbAtr[36];
} SCARD_READERSTATEW, *PSCARD_READERSTATEW, *LPSCARD_READERSTATEW;

LONG SCardListReadersW(SCARDCONTEXT hContext, const WCHAR* mszGroups, LPWSTR mszReaders, LPDWORD pcchReaders);
LONG SCardGetStatusChangeW(SCARDCONTEXT hContext, DWORD dwTimeout, LPSCARD_READERSTATEW rgReaderStates,
                           DWORD cReaders);
LONG SCardConnectW(SCARDCONTEXT hContext, const WCHAR* szReader, DWORD dwShareMode, DWORD dwPreferredProtocols,
                   LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const WCHAR* lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
void Sleep(DWORD dwMilliseconds);

#endif

// PC/SC result codes are 32-bit values; pcsc-lite holds them in a 64-bit LONG
// on 64-bit Linux, WinSCard and the PCSC framework in a signed 32-bit one.
// This gives the 32-bit value for printing ("%x", "%08X") without sign
// extension. The framework's codes are unsigned literals (0x80100069), so a
// result is compared with a code taken as a LONG: static_cast<LONG>(code),
// which is the code itself on Linux and Windows.
inline unsigned int pcsc_code(LONG result) {
  return static_cast<unsigned int>(static_cast<std::uint32_t>(result));
}

// The ATR of the card that a connected handle reaches, from the stack's
// status of that handle (SCardStatus, without the reader's name): atr holds
// atr_length bytes on entry (36 are enough on every platform) and receives
// the ATR's bytes, atr_length their count.
inline LONG read_card_atr(SCARDHANDLE card, unsigned char* atr, DWORD& atr_length) {
  DWORD name_length = 0;
  DWORD state = 0;
  DWORD protocol = 0;
#ifdef _WIN32
  return SCardStatusW(card, nullptr, &name_length, &state, &protocol, atr, &atr_length);
#else
  return SCardStatus(card, nullptr, &name_length, &state, &protocol, atr, &atr_length);
#endif
}

