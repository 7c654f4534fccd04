/* Stand-in for the PCSC framework's <PCSC/pcsclite.h> on macOS, for the
 * syntax check in scripts/macos-check.sh only. The framework's types are
 * those of an old pcsc-lite: 32-bit handles and codes on every platform,
 * byte-packed structures with a 33-byte ATR, protocol control blocks that
 * are not const, and result codes that are bare hexadecimal literals (so an
 * error code is an unsigned int, while the calls return a signed int32_t).
 * Only what Quillon and its tests use is declared. */
#ifndef QUILLON_MACOS_PCSC_PCSCLITE_H
#define QUILLON_MACOS_PCSC_PCSCLITE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SCARDCONTEXT;
typedef SCARDCONTEXT *LPSCARDCONTEXT;
typedef int32_t SCARDHANDLE;
typedef SCARDHANDLE *LPSCARDHANDLE;

#define MAX_ATR_SIZE 33

#pragma pack(1)

typedef struct {
  const char *szReader;
  void *pvUserData;
  uint32_t dwCurrentState;
  uint32_t dwEventState;
  uint32_t cbAtr;
  unsigned char rgbAtr[MAX_ATR_SIZE];
} SCARD_READERSTATE_A;

typedef SCARD_READERSTATE_A SCARD_READERSTATE, *LPSCARD_READERSTATE_A;

typedef struct {
  uint32_t dwProtocol;
  uint32_t cbPciLength;
} SCARD_IO_REQUEST, *LPSCARD_IO_REQUEST;

typedef const SCARD_IO_REQUEST *LPCSCARD_IO_REQUEST;

extern SCARD_IO_REQUEST g_rgSCardT0Pci, g_rgSCardT1Pci, g_rgSCardRawPci;

#pragma pack()

#define SCARD_S_SUCCESS 0x00000000
#define SCARD_F_INTERNAL_ERROR 0x80100001
#define SCARD_E_INVALID_HANDLE 0x80100003
#define SCARD_E_INVALID_PARAMETER 0x80100004
#define SCARD_E_NO_MEMORY 0x80100006
#define SCARD_E_INSUFFICIENT_BUFFER 0x80100008
#define SCARD_E_UNKNOWN_READER 0x80100009
#define SCARD_E_TIMEOUT 0x8010000A
#define SCARD_E_SHARING_VIOLATION 0x8010000B
#define SCARD_E_NO_SMARTCARD 0x8010000C
#define SCARD_E_PROTO_MISMATCH 0x8010000F
#define SCARD_E_INVALID_VALUE 0x80100011
#define SCARD_F_COMM_ERROR 0x80100013
#define SCARD_E_NOT_TRANSACTED 0x80100016
#define SCARD_E_READER_UNAVAILABLE 0x80100017
#define SCARD_E_NO_SERVICE 0x8010001D
#define SCARD_E_SERVICE_STOPPED 0x8010001E
#define SCARD_E_NO_READERS_AVAILABLE 0x8010002E
#define SCARD_E_COMM_DATA_LOST 0x8010002F
#define SCARD_W_UNPOWERED_CARD 0x80100067
#define SCARD_W_RESET_CARD 0x80100068
#define SCARD_W_REMOVED_CARD 0x80100069

#define SCARD_SCOPE_USER 0x0000

#define SCARD_PROTOCOL_T0 0x0001
#define SCARD_PROTOCOL_T1 0x0002
#define SCARD_PROTOCOL_RAW 0x0004

#define SCARD_SHARE_SHARED 0x0002

#define SCARD_LEAVE_CARD 0x0000
#define SCARD_RESET_CARD 0x0001
#define SCARD_UNPOWER_CARD 0x0002

#define SCARD_STATE_UNAWARE 0x0000
#define SCARD_STATE_IGNORE 0x0001
#define SCARD_STATE_CHANGED 0x0002
#define SCARD_STATE_UNKNOWN 0x0004
#define SCARD_STATE_UNAVAILABLE 0x0008
#define SCARD_STATE_EMPTY 0x0010
#define SCARD_STATE_PRESENT 0x0020
#define SCARD_STATE_ATRMATCH 0x0040
#define SCARD_STATE_EXCLUSIVE 0x0080
#define SCARD_STATE_INUSE 0x0100
#define SCARD_STATE_MUTE 0x0200

#define INFINITE 0xFFFFFFFF

#ifdef __cplusplus
}
#endif

#endif
