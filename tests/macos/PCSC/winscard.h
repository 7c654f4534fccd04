/* Stand-in for the PCSC framework's <PCSC/winscard.h> on macOS, for the
 * syntax check in scripts/macos-check.sh only: the calls Quillon and its
 * tests use, with the framework's int32_t results and uint32_t arguments
 * spelled without wintypes.h, which this header does not include. */
#ifndef QUILLON_MACOS_PCSC_WINSCARD_H
#define QUILLON_MACOS_PCSC_WINSCARD_H

#include <stdint.h>

#include <PCSC/pcsclite.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t SCardEstablishContext(uint32_t dwScope, const void *pvReserved1, const void *pvReserved2,
                              SCARDCONTEXT *phContext);
int32_t SCardReleaseContext(SCARDCONTEXT hContext);
int32_t SCardListReaders(SCARDCONTEXT hContext, const char *mszGroups, char *mszReaders, uint32_t *pcchReaders);
int32_t SCardGetStatusChange(SCARDCONTEXT hContext, uint32_t dwTimeout, LPSCARD_READERSTATE_A rgReaderStates,
                             uint32_t cReaders);
int32_t SCardConnect(SCARDCONTEXT hContext, const char *szReader, uint32_t dwShareMode, uint32_t dwPreferredProtocols,
                     SCARDHANDLE *phCard, uint32_t *pdwActiveProtocol);
int32_t SCardReconnect(SCARDHANDLE hCard, uint32_t dwShareMode, uint32_t dwPreferredProtocols,
                       uint32_t dwInitialization, uint32_t *pdwActiveProtocol);
int32_t SCardDisconnect(SCARDHANDLE hCard, uint32_t dwDisposition);
int32_t SCardStatus(SCARDHANDLE hCard, char *mszReaderNames, uint32_t *pcchReaderLen, uint32_t *pdwState,
                    uint32_t *pdwProtocol, unsigned char *pbAtr, uint32_t *pcbAtrLen);
int32_t SCardBeginTransaction(SCARDHANDLE hCard);
int32_t SCardEndTransaction(SCARDHANDLE hCard, uint32_t dwDisposition);
int32_t SCardTransmit(SCARDHANDLE hCard, const SCARD_IO_REQUEST *pioSendPci, const unsigned char *pbSendBuffer,
                      uint32_t cbSendLength, SCARD_IO_REQUEST *pioRecvPci, unsigned char *pbRecvBuffer,
                      uint32_t *pcbRecvLength);

/* The framework's SCardControl is the pcsc-lite 1.3.2 form under another name. */
#define SCardControl SCardControl132
int32_t SCardControl132(SCARDHANDLE hCard, uint32_t dwControlCode, const void *pbSendBuffer, uint32_t cbSendLength,
                        void *pbRecvBuffer, uint32_t cbRecvLength, uint32_t *lpBytesReturned);

#ifdef __cplusplus
}
#endif

#endif
