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
    F716 = ZAVSIM_FAMILY_16F716,
    F87X = ZAVSIM_FAMILY_16F87X,     // 16F870-877
    F87XA = ZAVSIM_FAMILY_16F87XA,   // 16F873A-877A
    F88X = ZAVSIM_FAMILY_16F88X,     // 16F882-887
    F629 = ZAVSIM_FAMILY_12F629,     // 12F629/675, 16F630/676
    F683 = ZAVSIM_FAMILY_12F683,     // 12F683, 16F684-690
    F609 = ZAVSIM_FAMILY_12F609      // 12F609/615/617, 16F610/616
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
    DO_ERASE_SETUP2 = ZAVSIM_DO_ERASE_SETUP2,
    DO_ROW_ERASE = ZAVSIM_DO_ROW_ERASE
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

// How the chip keeps the factory's calibration.
enum class Calibration {
    None = ZAVSIM_CALIBRATION_NONE,
    OscCal = ZAVSIM_CALIBRATION_OSCCAL,  // RETLW 0x34kk at the last program word, BG1:BG0 in the configuration
    Word = ZAVSIM_CALIBRATION_WORD       // a word of the configuration space
};

// One chip kind. The rows are written field by field (models.cpp).
struct Model {
    int kind = 0;
    const char* name = "";  // "PIC16F628A"
    Family family = Family::F84;
    int programWords = 1024;  // a power of two: the counter's low bits select the word
    int dataBytes = 0;        // likewise; 0 without data memory
    uint16_t configMask = 0x3FFF;  // implemented bits
    uint16_t configBlank = 0x3FFF;
    uint16_t config2Mask = 0;  // CONFIG2 at 0x2008; 0 without one
    uint16_t config2Blank = 0;
    uint16_t deviceId = 0x3FFF;  // revision bits 0; 0x3FFF without one
    uint16_t deviceIdMask = 0;
    int latches = 1;        // 1, 4 or 8, chosen by the counter's low bits
    int configLatches = 0;  // in configuration space; 0: as in program memory
    int rowWords = 0;       // what a row erase clears; 0 without one
    uint16_t lvpBit = 0;    // 0 without LVP
    // VDD-first entry is refused when (config & foscMask) == foscInternal
    // and the MCLRE bit is 0; foscMask 0 for chips without an internal
    // oscillator.
    uint16_t foscMask = 0;
    uint16_t foscInternal = 0;
    uint16_t mclreBit = 0;
    uint16_t cpBits = 0x2000;  // 0 in any of them protects (see protectedFrom)
    uint16_t cpdBit = 0;       // 0 without data protection
    bool vppFirst = false;     // the documents' entry order (the chip takes either, see chip.h)
    Calibration calibration = Calibration::None;
    uint16_t calibrationAddress = 0;  // 0x3FF for OSCCAL, or 0x2008 / 0x2009
    uint16_t calibrationFactory = 0;
    uint16_t bandGapFactory = 0;      // BG1:BG0 in place (bits 13:12)
    CommandSet set{};
};

// Where BG1:BG0 live in the configuration word of the 12F629 family.
constexpr uint16_t BANDGAP_BITS = 0x3000;

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
// Latches a programming cycle at this counter address writes.
int latchesAt(const Model& m, uint32_t pc);
// The offset in configuration space of the calibration word; -1 without one.
int calibrationOffset(const Model& m);

void describe(const Model& m, zavsim_chipinfo& out);

}  // namespace boardsim
