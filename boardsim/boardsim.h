// SPDX-License-Identifier: GPL-2.0-or-later
// Extra exports of the simulated board, for tests and benchmarks. The board
// also exports the four port functions of portlib/zavbit2.h.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Chip kinds; 0 is an empty socket. The 16F84A is a 16F84 with a device ID.
enum { ZAVSIM_EMPTY = 0, ZAVSIM_16C84 = 1, ZAVSIM_16F84 = 2, ZAVSIM_16F83 = 3, ZAVSIM_16F84A = 4,
       ZAVSIM_16F627 = 5, ZAVSIM_16F628 = 6, ZAVSIM_16F627A = 7, ZAVSIM_16F628A = 8,
       ZAVSIM_16F648A = 9, ZAVSIM_16F818 = 10, ZAVSIM_16F819 = 11, ZAVSIM_16F87 = 12,
       ZAVSIM_16F88 = 13, ZAVSIM_16F716 = 14,
       // 28- and 40-pin chips
       ZAVSIM_16F870 = 15, ZAVSIM_16F871 = 16, ZAVSIM_16F872 = 17, ZAVSIM_16F873 = 18,
       ZAVSIM_16F874 = 19, ZAVSIM_16F876 = 20, ZAVSIM_16F877 = 21,
       ZAVSIM_16F873A = 22, ZAVSIM_16F874A = 23, ZAVSIM_16F876A = 24, ZAVSIM_16F877A = 25,
       ZAVSIM_16F882 = 26, ZAVSIM_16F883 = 27, ZAVSIM_16F884 = 28, ZAVSIM_16F886 = 29,
       ZAVSIM_16F887 = 30,
       // 8-, 14- and 20-pin chips with a factory calibration
       ZAVSIM_12F629 = 31, ZAVSIM_12F675 = 32, ZAVSIM_16F630 = 33, ZAVSIM_16F676 = 34,
       ZAVSIM_12F683 = 35, ZAVSIM_16F684 = 36, ZAVSIM_16F685 = 37, ZAVSIM_16F687 = 38,
       ZAVSIM_16F688 = 39, ZAVSIM_16F689 = 40, ZAVSIM_16F690 = 41,
       ZAVSIM_12F609 = 42, ZAVSIM_12F615 = 43, ZAVSIM_12F617 = 44, ZAVSIM_16F610 = 45,
       ZAVSIM_16F616 = 46 };

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
// The base address the board answers at now.
int32_t zavsimBase(void);

// The chip's cells. Region: 0 program (index 0 up to the chip's size, at
// most 8191), 1 ID (0..3), 2 configuration (index 0; index 1 is CONFIG2 at
// 0x2008 on the 16F87/88 and 16F88x), 3 data (up to 255), 4 the factory's
// calibration: on the 12F629/675 and 16F630/676 index 0 is OSCCAL (the
// same cell as program word 0x3FF) and index 1 the band-gap bits BG1:BG0
// (0..3, bits 13:12 of the configuration word); on the 16F88x, 12F683,
// 16F684-690 and the 12F609 family index 0 is the calibration word in
// configuration space (0x2009, or 0x2008). A chip comes blank from the
// factory with its calibration set. Reads of cells the chip does not have
// give -1; writes there are ignored.
int32_t zavsimRead(int32_t region, int32_t index);
void zavsimWrite(int32_t region, int32_t index, int32_t value);
// A cell that fails to program: it holds `value` whatever is written or
// erased, until zavsimReset or zavsimSetChip.
void zavsimSetStuck(int32_t region, int32_t index, int32_t value);
// Code protection: 1 while in effect (reads of program memory give 0; on the
// newer chips also when only the data memory is protected).
int32_t zavsimProtected(void);
// Protection as if the chip had been protected at its last entry into
// programming mode (1) or not (0). On the newer chips 1 protects all of
// program memory and the data memory.
void zavsimSetProtected(int32_t on);
// The revision in the low bits of the device ID word (0x2006); 1 unless
// QUIBB9X_SIM_REVISION says otherwise. Chips without a device ID ignore it.
void zavsimSetRevision(int32_t revision);
// 1 while in programming mode (Vpp on, entered with clock and data low).
int32_t zavsimInProgrammingMode(void);
// The chip's address counter (meaningful in programming mode).
int32_t zavsimAddress(void);

// The bits of the pin-level bytes written to QUIBB9X_SIM_LEVELS_FD after
// each port write: Vpp on, VDD on, clock high, data line high, PGM high, the
// PC driving the data line.
enum { ZAVSIM_LEVEL_VPP = 1, ZAVSIM_LEVEL_VDD = 2, ZAVSIM_LEVEL_CLOCK = 4, ZAVSIM_LEVEL_DATA = 8,
       ZAVSIM_LEVEL_PGM = 16, ZAVSIM_LEVEL_PCDRIVES = 32 };

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
// Addresses of kind 3: program word 0..1023 (up to 8191 on the larger
// chips), ID 0x2000..0x2003, configuration 0x2007 (CONFIG2 0x2008), the
// calibration word (0x2008 or 0x2009), data byte 0x2100 + k, or one of these
// for a whole region erased at once. A row erase (16F818/819/87/88, and
// command 17 of the 16F88x, 12F683 family, 12F617 and 16F616) gives one
// kind 3 event per word of the row.
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

// The simulated chips, as the board knows them: one row per chip kind
// (ZAVSIM_16C84 up), for comparing with the program's own chip table.
enum { ZAVSIM_FAMILY_16F84 = 0, ZAVSIM_FAMILY_16F62X = 1, ZAVSIM_FAMILY_16F62XA = 2,
       ZAVSIM_FAMILY_16F81X = 3, ZAVSIM_FAMILY_16F87_88 = 4, ZAVSIM_FAMILY_16F716 = 5,
       ZAVSIM_FAMILY_16F87X = 6, ZAVSIM_FAMILY_16F87XA = 7, ZAVSIM_FAMILY_16F88X = 8,
       ZAVSIM_FAMILY_12F629 = 9, ZAVSIM_FAMILY_12F683 = 10, ZAVSIM_FAMILY_12F609 = 11 };
// What a command does.
enum {
    ZAVSIM_DO_LOAD_CONFIG = 0,      // counter to 0x2000, data frame into the latch
    ZAVSIM_DO_LOAD_PROGRAM = 1,
    ZAVSIM_DO_LOAD_DATA = 2,
    ZAVSIM_DO_READ_PROGRAM = 3,
    ZAVSIM_DO_READ_DATA = 4,
    ZAVSIM_DO_INCREMENT = 5,
    ZAVSIM_DO_ERASE_PROGRAM = 6,    // erase then program, internally timed
    ZAVSIM_DO_PROGRAM = 7,          // program only (old AND new), internally timed
    ZAVSIM_DO_BEGIN_PROGRAM = 8,    // program only, externally timed: ended by the end command
    ZAVSIM_DO_BEGIN_ERASE = 9,      // row or armed bulk erase, externally timed
    ZAVSIM_DO_END_PROGRAM = 10,     // ends an externally timed cycle
    ZAVSIM_DO_BULK_ERASE_PROGRAM = 11,
    ZAVSIM_DO_BULK_ERASE_DATA = 12,
    ZAVSIM_DO_CHIP_ERASE = 13,      // internally timed
    ZAVSIM_DO_ERASE_SETUP1 = 14,    // 1 then 7 then 8 on the configuration word: the protection erase
    ZAVSIM_DO_ERASE_SETUP2 = 15,
    ZAVSIM_DO_ROW_ERASE = 16        // the row at the counter, self-timed
};
// One command of a chip's set. frame: 1 a data frame in follows, 2 the chip
// sends one, 0 none. self_timed: the command starts a timed cycle of its own.
// The times are the least the chip accepts: for a cycle, from its begin to
// the next clock edge (internally timed) or to the end command (externally
// timed); for a bulk erase that waits for a begin command, the time of that
// cycle; for the protection erase (setup 2) the time of its 8; for an end
// command, the time before the next command. data_ns: the same cycle on data
// memory.
typedef struct {
    int32_t code;
    int32_t does;  // ZAVSIM_DO_*
    int32_t frame;
    int32_t self_timed;
    int64_t program_ns;
    int64_t data_ns;
} zavsim_command;
// How the factory's calibration is kept (zavsim_chipinfo.calibration).
enum { ZAVSIM_CALIBRATION_NONE = 0,
       ZAVSIM_CALIBRATION_OSCCAL = 1,  // OSCCAL in the last program word, BG1:BG0 in the configuration
       ZAVSIM_CALIBRATION_WORD = 2 };  // a word of the configuration space
typedef struct {
    char name[16];            // "PIC16F628A"
    int32_t kind;             // ZAVSIM_16*
    int32_t family;           // ZAVSIM_FAMILY_*
    int32_t program_words;
    int32_t data_bytes;       // 0: no data memory
    int32_t id_words;
    int32_t config_words;     // 1, or 2 with CONFIG2
    int32_t config_address[2];
    int32_t config_mask[2];   // implemented bits; the others read 0 (1 on the 16C84)
    int32_t config_blank[2];  // as erased
    int32_t device_id;        // with revision 0; 0x3FFF: none
    int32_t device_id_mask;   // the bits that name the part
    int32_t latches;          // program-memory latches, chosen by the counter's low bits
    int32_t lvp_bit;          // the LVP bit's mask, 0 without one
    int32_t refuses_vdd_first;  // 1: refuses VDD-first entry with an internal oscillator and MCLRE = 0
    int32_t command_count;
    zavsim_command commands[16];
    // Added after the first chip families; zero where a chip has no such thing.
    int32_t config_latches;   // latches a cycle writes in configuration space
    int32_t row_words;        // words a row erase clears
    int32_t vpp_first;        // 1: the chip's documents raise Vpp before VDD
    int32_t mclre_bit;        // the MCLRE bit (1 = MCLR is a reset pin)
    int32_t fosc_mask;        // FOSC bits other than the lowest one ...
    int32_t fosc_internal;    // ... and their value for the internal oscillator
    int32_t cp_bits;          // every bit that protects program memory when 0
    int32_t cpd_bit;          // the bit that protects data memory when 0
    int32_t protected_from[4];  // the first protected program word for CP1:CP0 = 0..3
                                // (program_words: none); one-bit CP chips use 0 and 3
    int32_t calibration;      // ZAVSIM_CALIBRATION_*
    int32_t calibration_address;  // 0x3FF (OSCCAL) or 0x2008/0x2009
    int32_t calibration_factory;  // the word a new chip carries there
    int32_t bandgap_mask;     // 0x3000 where BG1:BG0 live in the configuration word
    int32_t bandgap_factory;  // those bits as a new chip carries them
} zavsim_chipinfo;
int32_t zavsimChipCount(void);
int32_t zavsimChipInfo(int32_t i, zavsim_chipinfo* out);  // 1 when i is valid

// Write the chip file now (also done when programming mode ends and at exit).
void zavsimSave(void);
// Where the chip is kept between runs: 0 nowhere (it lasts this run), 1 in
// its file, 2 nowhere because another run is using its file: the chip is a
// copy of the one the file held at this run's start (QUIBB9X_SIM_SHARED=copy;
// without it the second run waits for the first to end). The file's path,
// up to size - 1 bytes and a NUL, goes to path when it is not null.
enum { ZAVSIM_FILE_NONE = 0, ZAVSIM_FILE_OWN = 1, ZAVSIM_FILE_COPY = 2 };
int32_t zavsimChipFile(char* path, int32_t size);
// The same, with the outcome: 1 when the chip is in its file now (or no file
// is kept), 0 when it could not be written (said on standard error).
int32_t zavsimSaveChip(void);

#ifdef __cplusplus
}
#endif
