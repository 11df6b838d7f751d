// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated chips' own table: one row per chip kind, with its family's
// command set and times. Written from the chips' programming documents as
// gathered for this board, independently of the program's chip table, so
// that a test comparing the two catches a slip in either.
#pragma once
#include <cstdint>

#include "boardsim.h"

namespace boardsim {

enum class Family {
    F84 = ZAVSIM_FAMILY_16F84,       // 16C84, 16F84, 16F83, 16F84A
    F62X = ZAVSIM_FAMILY_16F62X,     // 16F627, 16F628
    F62XA = ZAVSIM_FAMILY_16F62XA,   // 16F627A, 16F628A, 16F648A
    F81X = ZAVSIM_FAMILY_16F81X,     // 16F818, 16F819
    F87_88 = ZAVSIM_FAMILY_16F87_88, // 16F87, 16F88
    F716 = ZAVSIM_FAMILY_16F716
};

// What a command does (ZAVSIM_DO_*).
enum Does {
    DO_LOAD_CONFIG = ZAVSIM_DO_LOAD_CONFIG,
    DO_LOAD_PROGRAM = ZAVSIM_DO_LOAD_PROGRAM,
    DO_LOAD_DATA = ZAVSIM_DO_LOAD_DATA,
    DO_READ_PROGRAM = ZAVSIM_DO_READ_PROGRAM,
    DO_READ_DATA = ZAVSIM_DO_READ_DATA,
    DO_INCREMENT = ZAVSIM_DO_INCREMENT,
    DO_ERASE_PROGRAM = ZAVSIM_DO_ERASE_PROGRAM,
    DO_PROGRAM = ZAVSIM_DO_PROGRAM,
    DO_BEGIN_PROGRAM = ZAVSIM_DO_BEGIN_PROGRAM,
    DO_BEGIN_ERASE = ZAVSIM_DO_BEGIN_ERASE,
    DO_END_PROGRAM = ZAVSIM_DO_END_PROGRAM,
    DO_BULK_ERASE_PROGRAM = ZAVSIM_DO_BULK_ERASE_PROGRAM,
    DO_BULK_ERASE_DATA = ZAVSIM_DO_BULK_ERASE_DATA,
    DO_CHIP_ERASE = ZAVSIM_DO_CHIP_ERASE,
    DO_ERASE_SETUP1 = ZAVSIM_DO_ERASE_SETUP1,
    DO_ERASE_SETUP2 = ZAVSIM_DO_ERASE_SETUP2
};

struct Command {
    uint8_t code;
    Does does;
    bool selfTimed;
    int64_t programNs;  // see zavsim_command
    int64_t dataNs;
};

struct CommandSet {
    const Command* commands;
    int count;
};

struct Model {
    int kind;
    const char* name;  // "PIC16F628A"
    Family family;
    int programWords;  // a power of two: the counter's low bits select the word
    int dataBytes;     // likewise; 0 without data memory
    uint16_t configMask;  // implemented bits
    uint16_t configBlank;
    uint16_t config2Mask;  // CONFIG2 at 0x2008; 0 without one
    uint16_t config2Blank;
    uint16_t deviceId;    // revision bits 0; 0x3FFF without one
    uint16_t deviceIdMask;
    int latches;          // 1 or 4
    uint16_t lvpBit;      // 0 without LVP
    bool internalOscillator;  // FOSC can select it with MCLRE = 0
    CommandSet set;
};

int modelCount();
const Model& modelAt(int i);
// nullptr for the empty socket and for unknown kinds.
const Model* modelOf(int kind);
// The kind whose name (through chipnamekey) is `key`; -1 when none.
int kindNamed(const char* text);
// The command of the chip's set, or nullptr when the chip does not know it.
const Command* findCommand(const Model& m, unsigned code);
// The time the set gives the command doing `does` (0 when none does it).
int64_t timeOf(const Model& m, Does does, bool data = false);

// The first program word that protection covers (programWords: none), and
// whether the data memory is closed, as the configuration word sets them.
int protectedFrom(const Model& m, uint16_t config);
bool dataProtectedBy(const Model& m, uint16_t config);
// The configuration with every protection bit set to protect (on) or open.
uint16_t withProtectionBits(const Model& m, uint16_t config, bool on);
// VDD-first entry is refused: internal oscillator and MCLR tied inside.
bool refusesVddFirst(const Model& m, uint16_t config);

void describe(const Model& m, zavsim_chipinfo& out);

}  // namespace boardsim
