// Extra exports of the simulated board, for tests and benchmarks. The board
// also exports the four port functions of portlib/zavbit2.h.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Chip kinds; 0 is an empty socket. The 16F84A is a 16F84 with a device ID.
enum { ZAVSIM_EMPTY = 0, ZAVSIM_16C84 = 1, ZAVSIM_16F84 = 2, ZAVSIM_16F83 = 3, ZAVSIM_16F84A = 4 };

// Back to the state the environment describes (chip kind, board present,
// port base, protection), with a blank chip, an empty log and the real
// clock. The chip file, if any, is not read again.
void zavsimReset(void);

// Choose the chip in the socket (ZAVSIM_*); the chip becomes blank.
void zavsimSetChip(int32_t kind);
// 1: the board hangs on the port; 0: nothing is connected to the port.
void zavsimSetBoard(int32_t present);
// The base address the board answers at (data, status, control at +0..+2).
void zavsimSetBase(int32_t base);

// The chip's cells. Region: 0 program (index 0..1023), 1 ID (0..3),
// 2 configuration (index 0 only), 3 data (0..63). Reads of cells the chip
// does not have give -1; writes there are ignored.
int32_t zavsimRead(int32_t region, int32_t index);
void zavsimWrite(int32_t region, int32_t index, int32_t value);
// Code protection: 1 while in effect (reads of program memory give 0).
int32_t zavsimProtected(void);
// Protection as if the chip had been protected at its last entry into
// programming mode (1) or not (0).
void zavsimSetProtected(int32_t on);
// 1 while in programming mode (Vpp on, entered with clock and data low).
int32_t zavsimInProgrammingMode(void);
// The chip's address counter (meaningful in programming mode).
int32_t zavsimAddress(void);

// Every port access, in order: time in ns, port, value, 0 = write, 1 = read.
typedef struct {
    int64_t time_ns;
    int32_t port;
    int32_t value;
    int32_t is_read;
} zavsim_access;
int32_t zavsimLogSize(void);
int32_t zavsimLogEntry(int32_t i, zavsim_access* out);  // 1 when i is valid
void zavsimLogClear(void);

// What the chip understood, in order: commands (kind 0, value = the 6-bit
// code), data frames received (kind 1, value = the 14 data bits), data
// frames sent (kind 2, value = the word), programming cycles completed
// (kind 3, value = the address written), and faults (kind 4, value = the
// fault code below). time_ns as for port accesses. A short phase is a clock
// edge less than 1 µs after the previous clock edge (or after Vpp rose) in
// programming mode.
enum { ZAVSIM_FAULT_TIMING = 1, ZAVSIM_FAULT_UNKNOWN_COMMAND = 2,
       ZAVSIM_FAULT_BAD_FRAME = 3, ZAVSIM_FAULT_BAD_ENTRY = 4,
       ZAVSIM_FAULT_SHORT_PHASE = 5 };
// Addresses of kind 3: program word 0..1023, ID 0x2000..0x2003,
// configuration 0x2007, data byte 0x2100 + k, or one of these for a whole
// region erased at once.
enum { ZAVSIM_ERASED_PROGRAM = -1, ZAVSIM_ERASED_DATA = -2, ZAVSIM_ERASED_CHIP = -3 };
typedef struct {
    int64_t time_ns;
    int32_t kind;
    int32_t value;
} zavsim_event;
int32_t zavsimEventCount(void);
int32_t zavsimEvent(int32_t i, zavsim_event* out);  // 1 when i is valid
void zavsimEventClear(void);
int32_t zavsimTimingFaults(void);  // programming cycles cut short so far
int32_t zavsimPhaseFaults(void);   // clock phases under 1 µs so far

// Read the clock through this function instead of CLOCK_MONOTONIC (nullptr
// restores the real clock). Tests use it with a virtual clock that their
// waits advance.
void zavsimUseClock(int64_t (*now_ns)(void));

// Write the chip file now (also done when programming mode ends and at exit).
void zavsimSave(void);
// The same, with the outcome: 1 when the chip is in its file now (or no file
// is kept), 0 when it could not be written (said on standard error).
int32_t zavsimSaveChip(void);

#ifdef __cplusplus
}
#endif
