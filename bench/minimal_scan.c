/* The yardstick for the tool on the real pcsc-lite stack: the same card
 * command sequence sent straight through pcsc-lite, with nothing around it.
 *
 *   minimal_scan          connects to the card in the first reader, SELECTs
 *                         every catalogue AID (GET RESPONSE after an accepted
 *                         one), then for each accepted AID: SELECT (and GET
 *                         RESPONSE), a transaction with GET DATA 9F7F (again
 *                         with the length a 6Cxx answer names) ended with a
 *                         card reset, and a reconnect that leaves the card as
 *                         it is; disconnects with a reset. Prints the
 *                         accepted AIDs with their serial numbers.
 *   minimal_scan --wait   waits (up to 10 s) until the first reader holds a
 *                         card; exits 0 then, 1 otherwise.
 *   minimal_scan --wait-empty   the same, until the first reader is empty.
 *   minimal_scan --watch  waits, without a timeout, on every reader until one
 *                         holds a card (SCardGetStatusChange with INFINITE),
 *                         and prints "card" the moment it wakes with one.
 */
#include <winscard.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "aid_list.h"

#define RECEIVE_AREA 260
#define SERIAL_OFFSET 13
#define SERIAL_LENGTH 8
#define FULL_ANSWER (SERIAL_OFFSET + SERIAL_LENGTH + 2)

static SCARDHANDLE card;
static DWORD protocol;
static unsigned char receive[RECEIVE_AREA];
static DWORD receive_length;

static LONG transmit(const unsigned char* command, DWORD length) {
  const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  receive_length = RECEIVE_AREA;
  return SCardTransmit(card, pci, command, length, NULL, receive, &receive_length);
}

static int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

/* SELECT by name, then GET RESPONSE with the answer's second byte as Le when
 * the card accepts it (data with its status word, or a bare 61xx). */
static int select_aid(const char* aid) {
  unsigned char command[5 + 16 + 1] = {0x00, 0xA4, 0x04, 0x00};
  const size_t n = strlen(aid) / 2;
  size_t i;
  for (i = 0; i < n; ++i) command[5 + i] = (unsigned char)(nibble(aid[2 * i]) * 16 + nibble(aid[2 * i + 1]));
  command[4] = (unsigned char)n;
  command[5 + n] = 0x00;
  if (transmit(command, (DWORD)(n + 6)) != SCARD_S_SUCCESS) return 0;
  if (receive_length < 2 || (receive_length == 2 && receive[0] != 0x61)) return 0;
  {
    const unsigned char get_response[5] = {0x00, 0xC0, 0x00, 0x00, receive[1]};
    transmit(get_response, sizeof get_response);
  }
  return 1;
}

static void read_serial(const char* aid) {
  static const unsigned char get_data[5] = {0x80, 0xCA, 0x9F, 0x7F, 0x00};
  LONG result = SCARD_E_UNEXPECTED;
  DWORD active = 0;
  select_aid(aid);
  receive_length = 0;
  if (SCardBeginTransaction(card) == SCARD_S_SUCCESS) {
    result = transmit(get_data, sizeof get_data);
    if (result == SCARD_S_SUCCESS && receive_length == 2 && receive[0] == 0x6C && receive[1] != 0x00) {
      const unsigned char again[5] = {0x80, 0xCA, 0x9F, 0x7F, receive[1]};
      result = transmit(again, sizeof again);
    }
  }
  {
    const LONG ended = SCardEndTransaction(card, SCARD_RESET_CARD);
    if (ended == SCARD_S_SUCCESS || ended == (LONG)SCARD_W_RESET_CARD)
      SCardReconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, SCARD_LEAVE_CARD, &active);
  }
  printf("%s", aid);
  if (result == SCARD_S_SUCCESS && receive_length >= FULL_ANSWER) {
    int i;
    printf(" serial ");
    for (i = 0; i < SERIAL_LENGTH; ++i) printf("%02X", receive[SERIAL_OFFSET + i]);
  }
  printf("\n");
}

/* The first reader's name, in a block the caller frees; NULL if none. */
static char* first_reader(SCARDCONTEXT context) {
  DWORD length = 0;
  char* names;
  if (SCardListReaders(context, NULL, NULL, &length) != SCARD_S_SUCCESS || length < 2) return NULL;
  names = malloc(length);
  if (names == NULL) return NULL;
  if (SCardListReaders(context, NULL, names, &length) != SCARD_S_SUCCESS) {
    free(names);
    return NULL;
  }
  return names;
}

/* Waits up to 10 s until the reader's card presence is as wanted; 0 then. */
static int wait_for_card(SCARDCONTEXT context, char* reader, int present) {
  SCARD_READERSTATE state;
  int waited;
  memset(&state, 0, sizeof state);
  state.szReader = reader;
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  for (waited = 0; waited < 100; ++waited) {
    const LONG result = SCardGetStatusChange(context, 100, &state, 1);
    if (result == SCARD_S_SUCCESS || result == SCARD_E_TIMEOUT) {
      if (((state.dwEventState & SCARD_STATE_PRESENT) != 0) == present) return 0;
      state.dwCurrentState = state.dwEventState & ~(DWORD)SCARD_STATE_CHANGED;
    }
  }
  return 1;
}

/* Waits on every listed reader (names: the multi-string of the listing)
 * until one holds a card; prints "card" then. */
static int watch(SCARDCONTEXT context, char* names) {
  SCARD_READERSTATE states[16];
  DWORD count = 0, i;
  char* name;
  memset(states, 0, sizeof states);
  for (name = names; *name != '\0' && count < 16; name += strlen(name) + 1) {
    states[count].szReader = name;
    states[count].dwCurrentState = SCARD_STATE_UNAWARE;
    ++count;
  }
  for (;;) {
    if (SCardGetStatusChange(context, INFINITE, states, count) != SCARD_S_SUCCESS) return 1;
    for (i = 0; i < count; ++i) {
      if (states[i].dwEventState & SCARD_STATE_PRESENT) {
        printf("card\n");
        fflush(stdout);
        return 0;
      }
      states[i].dwCurrentState = states[i].dwEventState & ~(DWORD)SCARD_STATE_CHANGED;
    }
  }
}

int main(int argc, char** argv) {
  SCARDCONTEXT context = 0;
  char* reader;
  int found[AID_COUNT];
  int i, status = 0;
  if (SCardEstablishContext(SCARD_SCOPE_USER, NULL, NULL, &context) != SCARD_S_SUCCESS) {
    fprintf(stderr, "minimal_scan: no PC/SC context\n");
    return 1;
  }
  reader = first_reader(context);
  if (reader == NULL) {
    fprintf(stderr, "minimal_scan: no reader\n");
    SCardReleaseContext(context);
    return 1;
  }
  if (argc > 1 && strcmp(argv[1], "--wait") == 0) {
    status = wait_for_card(context, reader, 1);
  } else if (argc > 1 && strcmp(argv[1], "--wait-empty") == 0) {
    status = wait_for_card(context, reader, 0);
  } else if (argc > 1 && strcmp(argv[1], "--watch") == 0) {
    status = watch(context, reader);
  } else if (SCardConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                          &protocol) != SCARD_S_SUCCESS) {
    fprintf(stderr, "minimal_scan: connect failed\n");
    status = 1;
  } else {
    for (i = 0; i < AID_COUNT; ++i) found[i] = select_aid(AIDS[i]);
    for (i = 0; i < AID_COUNT; ++i)
      if (found[i]) read_serial(AIDS[i]);
    SCardDisconnect(card, SCARD_RESET_CARD);
  }
  free(reader);
  SCardReleaseContext(context);
  return status;
}
