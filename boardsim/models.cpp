// SPDX-License-Identifier: GPL-2.0-or-later
#include "models.h"

#include <cstring>
#include <string>

#include "devices/chipname.h"

namespace boardsim {
namespace {

constexpr int64_t MS = 1'000'000;
constexpr int64_t US = 1'000;

// The 16C84/16F84/16F83/16F84A: every cycle is begun by 8 and takes 7 ms,
// erases and the protection erase included.
const Command F84_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 7 * MS, 7 * MS},
    {9, DO_BULK_ERASE_PROGRAM, false, 7 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 7 * MS},
    {1, DO_ERASE_SETUP1, false, 0, 0},     {7, DO_ERASE_SETUP2, false, 7 * MS, 7 * MS},
};

// 16F627/628: 8 erases and programs (TERA + TPROG, 5 + 8 ms), 24 only
// programs (8 ms); bulk erases wait for an 8 and take TERA. The protection
// erase is an 8 too, and is given that command's own time.
const Command F62X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 13 * MS, 13 * MS},
    {24, DO_PROGRAM, true, 8 * MS, 8 * MS},
    {9, DO_BULK_ERASE_PROGRAM, false, 5 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 5 * MS},
    {1, DO_ERASE_SETUP1, false, 0, 0},     {7, DO_ERASE_SETUP2, false, 13 * MS, 13 * MS},
};

// 16F627A/628A/648A: 8 only programs (the longer TPROG, 4 ms; data 6 ms);
// the bulk erases are self-timed (TERA 6 ms). No 24, no setup commands.
const Command F62XA_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_PROGRAM, true, 4 * MS, 6 * MS},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 6 * MS},
};

// 16F818/819: externally timed cycles ended by 23. 24 programs the four
// latches (TPROG1: the longer reading, 2 ms), 8 erases a row (TPROG2 1 ms)
// or does an armed bulk erase (TPROG3 2 ms); 31 is a self-timed chip erase
// (TPROG4 8 ms).
const Command F81X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 2 * MS},
    {8, DO_BEGIN_ERASE, false, 1 * MS, 0},
    {23, DO_END_PROGRAM, false, 0, 0},
    {9, DO_BULK_ERASE_PROGRAM, false, 2 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 2 * MS},
    {31, DO_CHIP_ERASE, true, 8 * MS, 8 * MS},
};

// 16F87/88: the 818's commands with the longer bulk and chip erase (10 ms).
const Command F87_88_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 2 * MS},
    {8, DO_BEGIN_ERASE, false, 1 * MS, 0},
    {23, DO_END_PROGRAM, false, 0, 0},
    {9, DO_BULK_ERASE_PROGRAM, false, 10 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 10 * MS},
    {31, DO_CHIP_ERASE, true, 10 * MS, 10 * MS},
};

// 16F716: no data memory. 24 programs the four latches until 14 (TPROG
// 2 ms), then TDIS 100 µs before the next command; 9 is a self-timed bulk
// erase (TERA 6 ms).
const Command F716_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {4, DO_READ_PROGRAM, false, 0, 0},     {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 0},
    {14, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
};

// 16F870-877: 8 erases and programs (TERA + TPROG, 4 + 4 ms), 24 only
// programs (4 ms); no bulk erase commands of their own (the chips'
// documents list none: the erases are the 1/7 sequences), the sequence's 8
// taking 8 ms. With the counter on the configuration word it clears the
// chip; in program memory it clears the memory last loaded for.
const Command F87X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 8 * MS, 8 * MS},
    {24, DO_PROGRAM, true, 4 * MS, 4 * MS},
    {1, DO_ERASE_SETUP1, false, 0, 0},     {7, DO_ERASE_SETUP2, false, 8 * MS, 8 * MS},
};

// 16F873A-877A: 8 erases and programs the loaded latches, internally timed
// (TPROG2: the longer reading, 10 ms, data too); 24 programs only,
// externally timed until 23 (TPROG1 1 ms; a data byte takes 8's time, the
// cell's own write time whatever begins it: our reading); 31 is the chip
// erase (TPROG3 10 ms). 9 and 11 are taken as self-timed, with the chip
// erase's time (our reading: every programmer uses 31).
const Command F87XA_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 10 * MS, 10 * MS},
    {24, DO_BEGIN_PROGRAM, false, 1 * MS, 10 * MS},
    {23, DO_END_PROGRAM, false, 0, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 10 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 10 * MS},
    {31, DO_CHIP_ERASE, true, 10 * MS, 10 * MS},
};

// 16F882-887: 8 programs the loaded latches, internally timed (TPROG1 3 ms,
// a data byte 6 ms); 24 the same externally timed until 10 (TPROG2 2.5 ms;
// a data byte 6 ms), then TDIS 100 µs; 9, 11 and the row erase 17 are
// self-timed (TERA 6 ms). Whether 8 erases a program word first is not
// known: taken as program only, so a burn must erase first (every
// programmer does). No 1, 7, 22 or 31.
const Command F88X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_PROGRAM, true, 3 * MS, 6 * MS},
    {24, DO_BEGIN_PROGRAM, false, 2'500 * US, 6 * MS},
    {10, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 6 * MS},
    {17, DO_ROW_ERASE, true, 6 * MS, 0},
};

// 12F629/675, 16F630/676: 8 programs a program word (no erase; TPROG1 by
// the longer reading 3 ms) and erases and writes a data byte (6 ms); 24
// until 10 the same externally timed (TPROG2 2 ms, a data byte 6 ms; TDIS
// 0.5 µs); 9 and 11 self-timed (TERA 6 ms).
const Command F629_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_PROGRAM, true, 3 * MS, 6 * MS},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 6 * MS},
    {10, DO_END_PROGRAM, false, 500, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 6 * MS},
};

// 12F683, 16F684-690: as the 16F88x, with TPROG2 3 ms.
const Command F683_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_PROGRAM, true, 3 * MS, 6 * MS},
    {24, DO_BEGIN_PROGRAM, false, 3 * MS, 6 * MS},
    {10, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 6 * MS},
    {17, DO_ROW_ERASE, true, 6 * MS, 0},
};

// 12F609/615, 16F610: no data memory and no 8: 24 until 10 programs (TPROG
// 3 ms, then TDIS 100 µs); 9 self-timed (TERA 6 ms). The 12F617 and 16F616
// add the row erase 17 (the 615's is listed but does not work).
const Command F609_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {4, DO_READ_PROGRAM, false, 0, 0},     {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 3 * MS, 0},
    {10, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
};
const Command F617_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {4, DO_READ_PROGRAM, false, 0, 0},     {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 3 * MS, 0},
    {10, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {17, DO_ROW_ERASE, true, 6 * MS, 0},
};

template <size_t N>
constexpr CommandSet set(const Command (&c)[N]) {
    return CommandSet{c, static_cast<int>(N)};
}

constexpr uint16_t NONE = 0x3FFF;

// The original chips: no device ID but on the 16F84A, 64 data bytes; the
// 16F8x protect with every CP bit, 13:4 (the 16C84 with bit 4).
constexpr Model f84(int kind, const char* name, int words, uint16_t mask, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F84,
                 .programWords = words,
                 .dataBytes = 64,
                 .configMask = mask,
                 .configBlank = 0x3FFF,
                 .deviceId = id,
                 .deviceIdMask = static_cast<uint16_t>(id == NONE ? 0 : 0x3FE0),
                 .cpBits = static_cast<uint16_t>(mask == 0x001F ? 0x0010 : 0x3FF0),
                 .set = set(F84_SET)};
}

// Configuration words (mask = blank value): 627/628 bit 9 unimplemented;
// 62xA bits 12:9; 818/819/87/88 all bits; 716 bits 12:8 and 5:4. All but the
// 716 have LVP (bit 7) and can run on the internal oscillator (FOSC2:0 in
// bits 4, 1, 0: 100 or 101) with MCLR tied inside (MCLRE bit 5).
constexpr Model f62x(int kind, const char* name, int words, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F62X,
                 .programWords = words,
                 .dataBytes = 128,
                 .configMask = 0x3DFF,
                 .configBlank = 0x3DFF,
                 .deviceId = id,
                 .deviceIdMask = 0x3FE0,
                 .lvpBit = 0x80,
                 .foscMask = 0x12,
                 .foscInternal = 0x10,
                 .mclreBit = 0x20,
                 .cpBits = 0x3C00,  // CP1:CP0 twice, bits 13:12 and 11:10
                 .cpdBit = 0x100,
                 .vppFirst = true,
                 .set = set(F62X_SET)};
}

constexpr Model f62xa(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F62XA,
                 .programWords = words,
                 .dataBytes = bytes,
                 .configMask = 0x21FF,
                 .configBlank = 0x21FF,
                 .deviceId = id,
                 .deviceIdMask = 0x3FE0,
                 .lvpBit = 0x80,
                 .foscMask = 0x12,
                 .foscInternal = 0x10,
                 .mclreBit = 0x20,
                 .cpdBit = 0x100,
                 .vppFirst = true,
                 .set = set(F62XA_SET)};
}

// Four revision bits; 32-word rows.
constexpr Model f81x(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F81X,
                 .programWords = words,
                 .dataBytes = bytes,
                 .deviceId = id,
                 .deviceIdMask = 0x3FF0,
                 .latches = 4,
                 .rowWords = 32,
                 .lvpBit = 0x80,
                 .foscMask = 0x12,
                 .foscInternal = 0x10,
                 .mclreBit = 0x20,
                 .cpdBit = 0x100,
                 .set = set(F81X_SET)};
}

// The 818's, with CONFIG2 (bits 1:0, blank 0x0003).
constexpr Model f87_88(int kind, const char* name, uint16_t id) {
    Model m = f81x(kind, name, 4096, 256, id);
    m.family = Family::F87_88;
    m.config2Mask = 0x0003;
    m.config2Blank = 0x0003;
    m.set = set(F87_88_SET);
    return m;
}

constexpr Model f716() {
    return Model{.kind = ZAVSIM_16F716,
                 .name = "PIC16F716",
                 .family = Family::F716,
                 .programWords = 2048,
                 .configMask = 0x20CF,
                 .configBlank = 0x20CF,
                 .deviceId = 0x1140,
                 .deviceIdMask = 0x3FE0,
                 .latches = 4,
                 .set = set(F716_SET)};
}

// 16F870-877: configuration 0x3BFF (bit 10 unimplemented), CP1:CP0 twice
// (bits 13:12 and 5:4), CPD bit 8, LVP bit 7; no internal oscillator, no
// MCLRE. One latch. The documents enter VDD first.
constexpr Model f87x(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F87X,
                 .programWords = words,
                 .dataBytes = bytes,
                 .configMask = 0x3BFF,
                 .configBlank = 0x3BFF,
                 .deviceId = id,
                 .deviceIdMask = 0x3FE0,
                 .lvpBit = 0x80,
                 .cpBits = 0x3030,
                 .cpdBit = 0x100,
                 .set = set(F87X_SET)};
}

// 16F873A-877A: configuration 0x2FCF (bits 12 and 5:4 unimplemented), CP bit
// 13, CPD bit 8, LVP bit 7; four revision bits; eight latches in program
// memory. In configuration space one word a cycle (our reading, as the
// 12F683 family's document says for its own, and as most programmers write
// it): with eight latches there, the usual "Load Configuration, seven
// increments, Load Data, 8" would erase ID 0 with the first load's data.
constexpr Model f87xa(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F87XA,
                 .programWords = words,
                 .dataBytes = bytes,
                 .configMask = 0x2FCF,
                 .configBlank = 0x2FCF,
                 .deviceId = id,
                 .deviceIdMask = 0x3FF0,
                 .latches = 8,
                 .configLatches = 1,
                 .lvpBit = 0x80,
                 .cpdBit = 0x100,
                 .set = set(F87XA_SET)};
}

// The later mid-range chips share a configuration layout: FOSC2:0 in bits
// 2:0 (100 or 101 internal), MCLRE bit 5, CP bit 6, CPD bit 7, and a
// factory calibration; they enter Vpp first by their documents.
constexpr Model laterMidRange(int kind, const char* name, Family family, int words, int bytes,
                              uint16_t config, uint16_t id, int latches, CommandSet commands) {
    return Model{.kind = kind,
                 .name = name,
                 .family = family,
                 .programWords = words,
                 .dataBytes = bytes,
                 .configMask = config,
                 .configBlank = config,
                 .deviceId = id,
                 .deviceIdMask = 0x3FE0,
                 .latches = latches,
                 .foscMask = 0x06,
                 .foscInternal = 0x04,
                 .mclreBit = 0x20,
                 .cpBits = 0x40,
                 .cpdBit = static_cast<uint16_t>(bytes ? 0x80 : 0),
                 .vppFirst = true,
                 .calibration = Calibration::Word,
                 .set = commands};
}

// 16F882-887: CONFIG1 all bits (LVP is bit 12), CONFIG2 0x0700, and the
// calibration word at 0x2009. The sources give 4 or 8 latches: 8, chosen by
// the counter's three low bits, under which 4-word and 1-word writes work
// too. Rows of 16 words. The sources disagree on the entry order: Vpp
// first, as most give it.
constexpr Model f88x(int kind, const char* name, int words, int bytes, uint16_t id, uint16_t calibration) {
    Model m = laterMidRange(kind, name, Family::F88X, words, bytes, 0x3FFF, id, 8, set(F88X_SET));
    m.config2Mask = 0x0700;
    m.config2Blank = 0x0700;
    m.rowWords = 16;
    m.lvpBit = 0x1000;
    m.calibrationAddress = 0x2009;
    m.calibrationFactory = calibration;
    return m;
}

// 12F629/675, 16F630/676: configuration 0x31FF, CP bit 7, CPD bit 8,
// MCLRE bit 5, FOSC 2:0; OSCCAL (a RETLW 0x34kk) in word 0x3FF and the
// band-gap bits 13:12, both set at the factory and both lost to a bulk
// erase. One latch, 1024 words, 128 data bytes.
constexpr Model f629(int kind, const char* name, uint16_t id, uint16_t osccal, uint16_t bandgap) {
    return Model{.kind = kind,
                 .name = name,
                 .family = Family::F629,
                 .programWords = 1024,
                 .dataBytes = 128,
                 .configMask = 0x31FF,
                 .configBlank = 0x31FF,
                 .deviceId = id,
                 .deviceIdMask = 0x3FE0,
                 .foscMask = 0x06,
                 .foscInternal = 0x04,
                 .mclreBit = 0x20,
                 .cpBits = 0x80,
                 .cpdBit = 0x100,
                 .vppFirst = true,
                 .calibration = Calibration::OscCal,
                 .calibrationAddress = 0x3FF,
                 .calibrationFactory = osccal,
                 .bandGapFactory = bandgap,
                 .set = set(F629_SET)};
}

// 12F683, 16F684-690: configuration 0x0FFF, four latches in program memory
// and one a cycle elsewhere, rows of 16 words, the calibration word at
// 0x2008, 256 data bytes.
constexpr Model f683(int kind, const char* name, int words, uint16_t id, uint16_t calibration) {
    Model m = laterMidRange(kind, name, Family::F683, words, 256, 0x0FFF, id, 4, set(F683_SET));
    m.configLatches = 1;
    m.rowWords = 16;
    m.calibrationAddress = 0x2008;
    m.calibrationFactory = calibration;
    return m;
}

// 12F609/615/617, 16F610/616: no data memory; configuration 0x03FF, or
// 0x0FFF on the 617 (WRT1:0); the calibration word at 0x2008. The 617 and
// 616 have four latches in program memory (one a cycle elsewhere, as the
// 12F683 family) and the row erase, the others one latch and none.
constexpr Model f609(int kind, const char* name, int words, uint16_t config, uint16_t id, bool rows,
                     uint16_t calibration) {
    Model m = laterMidRange(kind, name, Family::F609, words, 0, config, id, rows ? 4 : 1,
                            rows ? set(F617_SET) : set(F609_SET));
    m.configLatches = 1;
    m.rowWords = rows ? 16 : 0;
    m.calibrationAddress = 0x2008;
    m.calibrationFactory = calibration;
    return m;
}

// The factory calibrations are fixed plausible values, one per chip, so a
// test can tell one chip's from another's and from an erased word.
const Model MODELS[] = {
    f84(ZAVSIM_16C84, "PIC16C84", 1024, 0x001F, NONE),
    f84(ZAVSIM_16F84, "PIC16F84", 1024, 0x3FFF, NONE),
    f84(ZAVSIM_16F83, "PIC16F83", 512, 0x3FFF, NONE),
    f84(ZAVSIM_16F84A, "PIC16F84A", 1024, 0x3FFF, 0x0560),
    f62x(ZAVSIM_16F627, "PIC16F627", 1024, 0x07A0),
    f62x(ZAVSIM_16F628, "PIC16F628", 2048, 0x07C0),
    f62xa(ZAVSIM_16F627A, "PIC16F627A", 1024, 128, 0x1040),
    f62xa(ZAVSIM_16F628A, "PIC16F628A", 2048, 128, 0x1060),
    f62xa(ZAVSIM_16F648A, "PIC16F648A", 4096, 256, 0x1100),
    f81x(ZAVSIM_16F818, "PIC16F818", 1024, 128, 0x04C0),
    f81x(ZAVSIM_16F819, "PIC16F819", 2048, 256, 0x04E0),
    f87_88(ZAVSIM_16F87, "PIC16F87", 0x0720),
    f87_88(ZAVSIM_16F88, "PIC16F88", 0x0760),
    f716(),
    f87x(ZAVSIM_16F870, "PIC16F870", 2048, 64, 0x0D00),
    f87x(ZAVSIM_16F871, "PIC16F871", 2048, 64, 0x0D20),
    f87x(ZAVSIM_16F872, "PIC16F872", 2048, 64, 0x08E0),
    f87x(ZAVSIM_16F873, "PIC16F873", 4096, 128, 0x0960),
    f87x(ZAVSIM_16F874, "PIC16F874", 4096, 128, 0x0920),
    f87x(ZAVSIM_16F876, "PIC16F876", 8192, 256, 0x09E0),
    f87x(ZAVSIM_16F877, "PIC16F877", 8192, 256, 0x09A0),
    f87xa(ZAVSIM_16F873A, "PIC16F873A", 4096, 128, 0x0E40),
    f87xa(ZAVSIM_16F874A, "PIC16F874A", 4096, 128, 0x0E60),
    f87xa(ZAVSIM_16F876A, "PIC16F876A", 8192, 256, 0x0E00),
    f87xa(ZAVSIM_16F877A, "PIC16F877A", 8192, 256, 0x0E20),
    f88x(ZAVSIM_16F882, "PIC16F882", 2048, 128, 0x2000, 0x2B52),
    f88x(ZAVSIM_16F883, "PIC16F883", 4096, 256, 0x2020, 0x2B4E),
    f88x(ZAVSIM_16F884, "PIC16F884", 4096, 256, 0x2040, 0x2A5C),
    f88x(ZAVSIM_16F886, "PIC16F886", 8192, 256, 0x2060, 0x2B61),
    f88x(ZAVSIM_16F887, "PIC16F887", 8192, 256, 0x2080, 0x2A57),
    f629(ZAVSIM_12F629, "PIC12F629", 0x0F80, 0x3494, 0x2000),
    f629(ZAVSIM_12F675, "PIC12F675", 0x0FC0, 0x348C, 0x1000),
    f629(ZAVSIM_16F630, "PIC16F630", 0x10C0, 0x34A4, 0x2000),
    f629(ZAVSIM_16F676, "PIC16F676", 0x10E0, 0x347C, 0x0000),
    f683(ZAVSIM_12F683, "PIC12F683", 2048, 0x0460, 0x1FA6),
    f683(ZAVSIM_16F684, "PIC16F684", 2048, 0x1080, 0x1F9C),
    f683(ZAVSIM_16F685, "PIC16F685", 4096, 0x04A0, 0x1FB2),
    f683(ZAVSIM_16F687, "PIC16F687", 2048, 0x1320, 0x1FA0),
    f683(ZAVSIM_16F688, "PIC16F688", 4096, 0x1180, 0x1F98),
    f683(ZAVSIM_16F689, "PIC16F689", 4096, 0x1340, 0x1FAC),
    f683(ZAVSIM_16F690, "PIC16F690", 4096, 0x1400, 0x1FA4),
    f609(ZAVSIM_12F609, "PIC12F609", 1024, 0x03FF, 0x2240, false, 0x1E7A),
    f609(ZAVSIM_12F615, "PIC12F615", 1024, 0x03FF, 0x2180, false, 0x1E82),
    // The 12F617's ID by our reading: one source gives 0x2360, which is also
    // every source's 16F1936; the other's 0x1360 fits the family's pattern.
    f609(ZAVSIM_12F617, "PIC12F617", 2048, 0x0FFF, 0x1360, true, 0x1E76),
    f609(ZAVSIM_16F610, "PIC16F610", 1024, 0x03FF, 0x2260, false, 0x1E88),
    f609(ZAVSIM_16F616, "PIC16F616", 2048, 0x03FF, 0x1240, true, 0x1E70),
};

}  // namespace

int modelCount() { return static_cast<int>(sizeof MODELS / sizeof MODELS[0]); }

const Model& modelAt(int i) { return MODELS[i]; }

const Model* modelOf(int kind) {
    for (const Model& m : MODELS)
        if (m.kind == kind) return &m;
    return nullptr;
}

int kindNamed(const char* text) {
    const std::string key = chipnamekey(text);
    for (const Model& m : MODELS)
        if (chipnamekey(m.name) == key) return m.kind;
    return -1;
}

const Command* findCommand(const Model& m, unsigned code) {
    for (int i = 0; i < m.set.count; ++i)
        if (m.set.commands[i].code == code) return &m.set.commands[i];
    return nullptr;
}

int64_t timeOf(const Model& m, Does does, bool data) {
    for (int i = 0; i < m.set.count; ++i)
        if (m.set.commands[i].does == does)
            return data ? m.set.commands[i].dataNs : m.set.commands[i].programNs;
    return 0;
}

// On the 16F8x every CP bit (13:4) must be 1 for an open chip: a partly
// cleared pattern counts as protected, the safe reading of a pattern the
// maker says not to use; the same holds for every chip with CP bits in one
// place. Two families keep CP1:CP0 twice, and a 0 in either copy counts:
// - 16F627/628 (bits 13:12 and 11:10): 11 open; 10 the upper half of a 628
//   (nothing on a 627); 01 from 0x200 up; 00 everything.
// - 16F870-877 (bits 13:12 and 5:4): 11 open; 10 the top 256 words and 01
//   the upper half of a 873/874/876/877; 00 everything. The 870/871/872
//   know only 11 and 00; the other patterns protect everything there (the
//   safe reading).
int protectedFrom(const Model& m, uint16_t config) {
    switch (m.family) {
    case Family::F62X: {
        const unsigned cp = ((config >> 12) & 3) & ((config >> 10) & 3);
        if (cp == 0) return 0;
        if (cp == 1) return 0x200;
        if (cp == 2 && m.programWords == 2048) return 0x400;
        return m.programWords;
    }
    case Family::F87X: {
        const unsigned cp = ((config >> 12) & 3) & ((config >> 4) & 3);
        if (cp == 3) return m.programWords;
        if (cp == 0 || m.programWords < 4096) return 0;
        return cp == 2 ? m.programWords - 256 : m.programWords / 2;
    }
    default: return (config & m.cpBits) == m.cpBits ? m.programWords : 0;
    }
}

bool dataProtectedBy(const Model& m, uint16_t config) {
    if (m.family == Family::F84) return protectedFrom(m, config) == 0;
    return m.cpdBit && !(config & m.cpdBit);
}

uint16_t withProtectionBits(const Model& m, uint16_t config, bool on) {
    const uint16_t bits = m.cpBits | m.cpdBit;
    return static_cast<uint16_t>((on ? (config & ~bits) : (config | bits)) & m.configMask);
}

bool refusesVddFirst(const Model& m, uint16_t config) {
    if (!m.foscMask) return false;
    return (config & m.foscMask) == m.foscInternal && !(config & m.mclreBit);
}

int latchesAt(const Model& m, uint32_t pc) {
    return pc >= 0x2000 && m.configLatches ? m.configLatches : m.latches;
}

int calibrationOffset(const Model& m) {
    return m.calibration == Calibration::Word ? m.calibrationAddress & 0xF : -1;
}

namespace {

// The configuration word with every protection copy at CP1:CP0 = cp (chips
// with one CP bit: 3 open, anything else protected).
uint16_t withCp(const Model& m, unsigned cp) {
    uint16_t config = m.configMask & ~m.cpBits;
    if (m.family == Family::F62X) return static_cast<uint16_t>(config | cp << 12 | cp << 10);
    if (m.family == Family::F87X) return static_cast<uint16_t>(config | cp << 12 | cp << 4);
    return static_cast<uint16_t>(cp == 3 ? config | m.cpBits : config);
}

}  // namespace

void describe(const Model& m, zavsim_chipinfo& out) {
    std::memset(&out, 0, sizeof out);
    std::strncpy(out.name, m.name, sizeof out.name - 1);
    out.kind = m.kind;
    out.family = static_cast<int32_t>(m.family);
    out.program_words = m.programWords;
    out.data_bytes = m.dataBytes;
    out.id_words = 4;
    out.config_words = m.config2Mask ? 2 : 1;
    out.config_address[0] = 0x2007;
    out.config_mask[0] = m.configMask;
    out.config_blank[0] = m.configBlank;
    if (m.config2Mask) {
        out.config_address[1] = 0x2008;
        out.config_mask[1] = m.config2Mask;
        out.config_blank[1] = m.config2Blank;
    }
    out.device_id = m.deviceId;
    out.device_id_mask = m.deviceIdMask;
    out.latches = m.latches;
    out.lvp_bit = m.lvpBit;
    out.refuses_vdd_first = m.foscMask ? 1 : 0;
    out.command_count = m.set.count;
    for (int i = 0; i < m.set.count && i < 16; ++i) {
        const Command& c = m.set.commands[i];
        zavsim_command& o = out.commands[i];
        o.code = c.code;
        o.does = c.does;
        o.frame = c.does <= DO_LOAD_DATA ? 1 : c.does <= DO_READ_DATA ? 2 : 0;
        o.self_timed = c.selfTimed ? 1 : 0;
        o.program_ns = c.programNs;
        o.data_ns = c.dataNs;
    }
    out.config_latches = latchesAt(m, 0x2000);
    out.row_words = m.rowWords;
    out.vpp_first = m.vppFirst ? 1 : 0;
    out.mclre_bit = m.mclreBit;
    out.fosc_mask = m.foscMask;
    out.fosc_internal = m.foscInternal;
    out.cp_bits = m.cpBits;
    out.cpd_bit = m.cpdBit;
    for (unsigned cp = 0; cp < 4; ++cp) out.protected_from[cp] = protectedFrom(m, withCp(m, cp));
    out.calibration = static_cast<int32_t>(m.calibration);
    out.calibration_address = m.calibrationAddress;
    out.calibration_factory = m.calibrationFactory;
    if (m.calibration == Calibration::OscCal) {
        out.bandgap_mask = BANDGAP_BITS;
        out.bandgap_factory = m.bandGapFactory;
    }
}

}  // namespace boardsim
