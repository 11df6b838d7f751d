// SPDX-License-Identifier: GPL-2.0-or-later
#include "chiptable.h"

#include "chipname.h"
#include "fieldtables.h"

namespace {

// ---- the memories, by family --------------------------------------------

constexpr Memory programmemory(int16_t words, WriteCycle write, int16_t readwords = 0) {
    return {.kind = Kind::program, .address = 0x0000, .words = words, .readwords = readwords,
            .write = write};
}

constexpr Memory idlocations(WriteCycle write) {
    return {.kind = Kind::id, .address = 0x2000, .words = 4, .write = write};
}

constexpr Memory configword(int32_t address, uint16_t mask, const char* const* bits,
                            WriteCycle write) {
    return {.kind = Kind::config, .address = address, .words = 1, .mask = mask, .erased = mask,
            .write = write, .bits = bits};
}

constexpr Memory dataeeprom(int16_t bytes, WriteCycle write) {
    return {.kind = Kind::data, .address = 0x2100, .words = bytes, .mask = 0xFF, .erased = 0xFF,
            .load = 3, .read = 5, .write = write};
}

// The original chips: every word with Begin Programming (8) and 7 ms. The
// read-out has always covered 1024 program words, the 16F83's counter
// wrapping onto its first half for the second.
constexpr WriteCycle cycle84{.begin = 8, .waitus = 7000};
constexpr std::array<Memory, 6> memories84(int16_t words, uint16_t configmask,
                                           const char* const* bits) {
    return {programmemory(words, cycle84, 1024), idlocations(cycle84),
            configword(0x2007, configmask, bits, cycle84), dataeeprom(64, cycle84)};
}

// PIC16F627/628: program and data words with Begin Programming Only (24,
// 8 ms); ID and configuration words with Begin Erase/Programming (8, erase
// 5 ms plus program 8 ms), as the code-protect sequence's 8 is.
constexpr WriteCycle cycle62x{.begin = 24, .waitus = 8000};
constexpr WriteCycle config62x{.begin = 8, .waitus = 13000};
constexpr std::array<Memory, 6> memories62x(int16_t words) {
    return {programmemory(words, cycle62x), idlocations(config62x),
            configword(0x2007, 0x3DFF, bits62x, config62x), dataeeprom(128, cycle62x)};
}

// PIC16F627A/628A/648A: command 8 programs only (TPROG 4 ms, the longer of
// the two revisions' 2.5 and 4 ms; data 6 ms).
constexpr WriteCycle cycle62xa{.begin = 8, .waitus = 4000};
constexpr WriteCycle data62xa{.begin = 8, .waitus = 6000};
constexpr std::array<Memory, 6> memories62xa(int16_t words, int16_t bytes) {
    return {programmemory(words, cycle62xa), idlocations(cycle62xa),
            configword(0x2007, 0x21FF, bits62xa, cycle62xa), dataeeprom(bytes, data62xa)};
}

// PIC16F818/819 and 16F87/88: Begin Programming Only (24) ended by End
// Programming (23) after TPROG1 (2 ms, the longer of 1 and 2 ms); program
// words and IDs four to a cycle, the rest one. The 87/88 have CONFIG2.
constexpr WriteCycle cycle81x{.begin = 24, .end = 23, .waitus = 2000};
constexpr WriteCycle group81x{.begin = 24, .end = 23, .waitus = 2000, .latches = 4};
constexpr std::array<Memory, 6> memories81x(int16_t words, int16_t bytes) {
    return {programmemory(words, group81x), idlocations(group81x),
            configword(0x2007, 0x3FFF, bits81x, cycle81x), dataeeprom(bytes, cycle81x)};
}
constexpr std::array<Memory, 6> memories87(int16_t words, int16_t bytes) {
    return {programmemory(words, group81x), idlocations(group81x),
            configword(0x2007, 0x3FFF, bits81x, cycle81x),
            configword(0x2008, 0x0003, bits88config2, cycle81x), dataeeprom(bytes, cycle81x)};
}

// PIC16F716: no data memory; 24 ended by 14 after TPROG 2 ms, then TDIS
// 100 µs; program words and IDs four to a cycle.
constexpr WriteCycle cycle716{.begin = 24, .end = 14, .waitus = 2000, .dischargeus = 100};
constexpr WriteCycle group716{.begin = 24, .end = 14, .waitus = 2000, .dischargeus = 100,
                              .latches = 4};

// PIC12F629/675, 16F630/676: one latch; Begin Programming (8, internally
// timed) programs only, TPROG1 3 ms (the longer of 2.5 and 3 ms) for
// program, ID and configuration words, and erases and writes a data byte in
// 6 ms. OSCCAL, the factory's RETLW 0x34kk in the last program word, and the
// band-gap bits BG1:BG0 (configuration bits 13:12) are cleared by the bulk
// erase: read first and written back, never taken from a file.
constexpr WriteCycle cycle629{.begin = 8, .waitus = 3000};
constexpr WriteCycle data629{.begin = 8, .waitus = 6000};
constexpr std::array<Memory, 6> memories629() {
    Memory config = configword(0x2007, 0x31FF, bits629, cycle629);
    config.erase = Erase::restored;
    config.restorebits = 0x3000;
    const Memory osccal{.kind = Kind::calibration, .address = 0x03FF, .words = 1, .write = cycle629,
                        .erase = Erase::restored, .restorebits = 0x3FFF,
                        .signaturemask = 0x3F00, .signature = 0x3400};
    return {programmemory(1024, cycle629), osccal, idlocations(cycle629), config,
            dataeeprom(128, data629)};
}

// ---- the 28/40-pin and the later 8-, 14- and 20-pin chips -------------

// PIC16F870-877: program words with Begin Programming Only (24, TPROG
// 4 ms); data bytes, IDs and the configuration word with Begin
// Erase/Programming (8, erase 4 ms plus program 4 ms). One latch.
constexpr WriteCycle cycle87x{.begin = 24, .waitus = 4000};
constexpr WriteCycle erasecycle87x{.begin = 8, .waitus = 8000};
constexpr std::array<Memory, 6> memories87x(int16_t words, int16_t bytes) {
    return {programmemory(words, cycle87x), idlocations(erasecycle87x),
            configword(0x2007, 0x3BFF, bits87x, erasecycle87x), dataeeprom(bytes, erasecycle87x)};
}

// PIC16F873A-877A: program memory eight words a cycle, the latches chosen
// by the counter's three low bits, with Begin Programming Only (24) ended
// by End Programming (23) after TPROG1 1 ms; data bytes, IDs and the
// configuration word one a cycle with Begin Erase/Programming (8, TPROG2
// 10 ms).
constexpr WriteCycle group87xa{.begin = 24, .end = 23, .waitus = 1000, .latches = 8};
constexpr WriteCycle erasecycle87xa{.begin = 8, .waitus = 10000};
constexpr std::array<Memory, 6> memories87xa(int16_t words, int16_t bytes) {
    return {programmemory(words, group87xa), idlocations(erasecycle87xa),
            configword(0x2007, 0x2FCF, bits87xa, erasecycle87xa), dataeeprom(bytes, erasecycle87xa)};
}

// A factory calibration word in configuration space: read out with the
// chip, never burnt from a file, spared by every erase (each is issued with
// the counter on 0x2000, below the word).
constexpr Memory factoryword(int32_t address) {
    return {.kind = Kind::calibration, .address = address, .words = 1, .erase = Erase::spared};
}

// PIC16F882-887: Begin Programming (8) programs only, internally timed:
// TPROG1 3 ms for program words and configuration, 6 ms for a data byte.
// The sources give the program memory 4 or 8 latches; four words a cycle,
// aligned, are right under either reading (under eight the latches not
// loaded leave their words as they are). Configuration space one word a
// cycle. CONFIG2 at 0x2008, the calibration word at 0x2009.
constexpr WriteCycle group88x{.begin = 8, .waitus = 3000, .latches = 4};
constexpr WriteCycle cycle88x{.begin = 8, .waitus = 3000};
constexpr WriteCycle data88x{.begin = 8, .waitus = 6000};
constexpr std::array<Memory, 6> memories88x(int16_t words, int16_t bytes) {
    return {programmemory(words, group88x), idlocations(cycle88x),
            configword(0x2007, 0x3FFF, bits88x, cycle88x),
            configword(0x2008, 0x0700, bits88xconfig2, cycle88x), factoryword(0x2009),
            dataeeprom(bytes, data88x)};
}

// PIC12F683, 16F684-690: as the 16F88x with four latches, one
// configuration word and the calibration word at 0x2008.
constexpr std::array<Memory, 6> memories683(int16_t words) {
    return {programmemory(words, group88x), idlocations(cycle88x),
            configword(0x2007, 0x0FFF, bits683, cycle88x), factoryword(0x2008),
            dataeeprom(256, data88x)};
}

// PIC12F609/615/617, 16F610/616: no data memory and no command 8: Begin
// Programming (24) ended by End Programming (10) after TPROG 3 ms, then
// TDIS 100 µs. Program memory four words a cycle on the 617 and 616, one on
// the others; configuration space one a cycle. The calibration word at
// 0x2008.
constexpr WriteCycle cycle609{.begin = 24, .end = 10, .waitus = 3000, .dischargeus = 100};
constexpr WriteCycle group617{.begin = 24, .end = 10, .waitus = 3000, .dischargeus = 100,
                              .latches = 4};
constexpr std::array<Memory, 6> memories609(int16_t words, uint16_t configmask,
                                            const char* const* bits, int16_t latches) {
    return {programmemory(words, latches == 4 ? group617 : cycle609), idlocations(cycle609),
            configword(0x2007, configmask, bits, cycle609), factoryword(0x2008)};
}

// ---- the erases ---------------------------------------------------------

using S = EraseStep;

// With the counter on the configuration word, commands 1 and 7 then Begin
// Programming erase the whole chip and lift code protection; the bulk
// erases after it (Load Data, 9 or 11, 8) leave data memory at 0xFF too.
constexpr EraseStep erase84[] = {
    {S::loadconfig, 0x3FFF}, {S::increments, 7},
    {S::send, 1}, {S::send, 7}, {S::send, 8}, {S::wait}, {S::send, 1}, {S::send, 7},
    {S::say, 1}, {S::load, 2}, {S::send, 9}, {S::send, 8}, {S::wait},
    {S::say, 2}, {S::load, 3}, {S::send, 11}, {S::send, 8}, {S::wait},
};
// The same on the 16F627/628, its lines told before it starts.
constexpr EraseStep erase62x[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::increments, 7},
    {S::send, 1}, {S::send, 7}, {S::send, 8}, {S::wait}, {S::send, 1}, {S::send, 7},
    {S::load, 2}, {S::send, 9}, {S::send, 8}, {S::wait},
    {S::load, 3}, {S::send, 11}, {S::send, 8}, {S::wait},
};
// 16F627A/628A/648A: with the counter in configuration space the bulk
// erases (self-timed, no 8 follows) take the IDs and the configuration word
// too, which lifts CP and CPD.
constexpr EraseStep erase62xa[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::send, 9}, {S::wait}, {S::send, 11}, {S::wait},
};
// 16F818/819 and 16F87/88: Chip Erase (31) from configuration space.
constexpr EraseStep erase81x[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::send, 31}, {S::wait},
};
// 16F716: Bulk Erase Program Memory (9) from configuration space takes the
// IDs and the configuration word with it.
constexpr EraseStep erase716[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::send, 9}, {S::wait},
};

// 12F629 family: from configuration space Bulk Erase Program Memory (9)
// takes the IDs and the configuration word along, Bulk Erase Data Memory
// (11) the data; both self-timed, TERA 6 ms. The calibration is kept by the
// erase itself (operations/calibration.h).
constexpr EraseStep erase629[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::send, 9}, {S::wait}, {S::send, 11}, {S::wait},
};

// 16F870-877: with the counter on the configuration word, 1 and 7 then
// Begin Erase/Programming erase the whole chip, protection included (8 ms).
constexpr EraseStep erase87x[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::increments, 7},
    {S::send, 1}, {S::send, 7}, {S::send, 8}, {S::wait}, {S::send, 1}, {S::send, 7},
};
// (16F873A-877A: Chip Erase from configuration space, as the 818's,
// 10 ms. 12F609 family: Bulk Erase Program Memory from configuration
// space, as the 716's; the calibration word is spared.)
// 16F882-887, 12F683 family: Bulk Erase Program Memory (9) from 0x2000
// takes the IDs and configuration with it, then Bulk Erase Data Memory
// (11); both self-timed (TERA 6 ms). With the counter on 0x2000 the
// calibration word is spared.
constexpr EraseStep erase88x[] = {
    {S::say, 1}, {S::say, 2},
    {S::loadconfig, 0x3FFF}, {S::send, 9}, {S::wait}, {S::send, 11}, {S::wait},
};

// ---- the rows -----------------------------------------------------------

// The chips with an internal oscillator (FOSC2:0 100 or 101) and MCLRE in
// bit 5.
constexpr Entry internaloscillator(bool vppfirst) {
    return {
        .vppfirst = vppfirst,
        .mclrebit = 0x0020,
        .foscmask = 0x0013,
        .intosc = 0x0010,
        .intosc2 = 0x0011,
    };
}

// CP1:CP0 of the 16F627/628, both copies alike.
constexpr Protection protection627{
    .cpbits = 0x3C00,
    .cpdbits = 0x0100,
    .ranges = {{{.bits = 0x3C00, .value = 0x2800, .from = 0x0400, .to = 0x03FF},  // none on the 627
                {.bits = 0x3C00, .value = 0x1400, .from = 0x0200, .to = 0x03FF},
                {.bits = 0x3C00, .value = 0x0000, .from = 0x0000, .to = 0x03FF}}},
};
constexpr Protection protection628{
    .cpbits = 0x3C00,
    .cpdbits = 0x0100,
    .ranges = {{{.bits = 0x3C00, .value = 0x2800, .from = 0x0400, .to = 0x07FF},
                {.bits = 0x3C00, .value = 0x1400, .from = 0x0200, .to = 0x07FF},
                {.bits = 0x3C00, .value = 0x0000, .from = 0x0000, .to = 0x07FF}}},
};
constexpr Protection protectionwhole{.cpbits = 0x2000, .cpdbits = 0x0100};

// ---- PIC12F629/675, PIC16F630/676 (8- and 14-pin, through an adapter) ----

// FOSC2:0 in bits 2:0 (100 and 101 internal), MCLRE in bit 5; their
// documents raise Vpp before VDD.
constexpr Entry entry629{
    .vppfirst = true,
    .mclrebit = 0x0020,
    .foscmask = 0x0007,
    .intosc = 0x0004,
    .intosc2 = 0x0005,
};
constexpr Protection protection629{.cpbits = 0x0080, .cpdbits = 0x0100};

// Registers each chip lacks that a chip of its kin has, in either bank.
constexpr ForeignRegister portc{0x07, "PORTC or TRISC", "PIC16F630 or PIC16F676"};
constexpr ForeignRegister foreign12f629[] = {
    {0x1E, "ADRESH or ADRESL", "PIC12F675"}, {0x1F, "ADCON0 or ANSEL", "PIC12F675"}, portc};
constexpr ForeignRegister foreign12f675[] = {portc};
constexpr ForeignRegister foreign16f630[] = {
    {0x11, "ANSEL", "PIC16F676"}, {0x1E, "ADRESH or ADRESL", "PIC16F676"},
    {0x1F, "ADCON0 or ADCON1", "PIC16F676"}};

// The later mid-range chips: FOSC2:0 in bits 2:0 (100 or 101 internal),
// MCLRE in bit 5; their documents raise Vpp before VDD.
constexpr Entry internaloscillator210() {
    return {
        .vppfirst = true,
        .mclrebit = 0x0020,
        .foscmask = 0x0007,
        .intosc = 0x0004,
        .intosc2 = 0x0005,
    };
}

// CP1:CP0 of the 16F870-877 in bits 13:12 and 5:4, both copies alike: the
// 870/871/872 know only all or nothing; the others the top 256 words, the
// upper half, or all.
constexpr Protection protection870{
    .cpbits = 0x3030,
    .cpdbits = 0x0100,
    .ranges = {{{.bits = 0x3030, .value = 0x0000, .from = 0x0000, .to = 0x07FF}}},
};
constexpr Protection protection873{
    .cpbits = 0x3030,
    .cpdbits = 0x0100,
    .ranges = {{{.bits = 0x3030, .value = 0x2020, .from = 0x0F00, .to = 0x0FFF},
                {.bits = 0x3030, .value = 0x1010, .from = 0x0800, .to = 0x0FFF},
                {.bits = 0x3030, .value = 0x0000, .from = 0x0000, .to = 0x0FFF}}},
};
constexpr Protection protection876{
    .cpbits = 0x3030,
    .cpdbits = 0x0100,
    .ranges = {{{.bits = 0x3030, .value = 0x2020, .from = 0x1F00, .to = 0x1FFF},
                {.bits = 0x3030, .value = 0x1010, .from = 0x1000, .to = 0x1FFF},
                {.bits = 0x3030, .value = 0x0000, .from = 0x0000, .to = 0x1FFF}}},
};
// CP in bit 6, CPD in bit 7 (none on the 12F609 family).
constexpr Protection protection88x{.cpbits = 0x0040, .cpdbits = 0x0080};
constexpr Protection protection609{.cpbits = 0x0040};

// What `devices` says of them.
constexpr const char* note87x =
    "VDD before Vpp, as all but one of the chips' sources have it (one raises Vpp first for "
    "the 872 and 877); no internal oscillator, so every configuration can be entered. Vpp "
    "10-13.5 V.";
constexpr const char* note87xa =
    "VDD before Vpp, as every source has it; eight program words a cycle. Vpp 10-13.5 V.";
constexpr const char* note88x =
    "Vpp 10-12 V: a board that raises MCLR to 13 V is outside it. Entered Vpp before VDD, as "
    "most of the chips' sources have it (two raise VDD first); a board without VDD control "
    "raises Vpp on a powered chip, which cannot enter once set to an internal oscillator with "
    "MCLR off. Four program words a cycle: the sources give the chips 4 or 8 latches, and "
    "four is right under either.";
constexpr const char* note683 =
    "Vpp 10-13 V. Entered Vpp before VDD, as every source that switches VDD has it; a board "
    "without VDD control cannot enter a chip set to an internal oscillator with MCLR off.";
constexpr const char* note609 =
    "Vpp 10-13 V. Entered Vpp before VDD, as most of the chips' sources have it (one raises "
    "VDD first); a board without VDD control cannot enter a chip set to an internal "
    "oscillator with MCLR off.";
constexpr const char* note617id =
    "Device ID 0x1360: one source gives 0x2360, which every source gives the PIC16F1936; "
    "0x1360 fits the family's pattern.";
constexpr const char* note687id =
    "Device ID 0x1320: one source's 0x1325 carries revision bits.";
constexpr const char* note883id =
    "Device ID 0x2020: one source's 0x0101 is a stand-in.";

constexpr std::array rows{
    ChipRow{
        .name = "16C84",
        .family = Family::f84,
        .model = 1,
        .memories = memories84(1024, 0x001F, bits16c84),
        .configdefault = 0x001B,
        .protection = {.cpbits = 0x0010, .cpdbits = 0x0010},
        .erase = erase84,
        .erasewaitus = 7000,
        .pwrteset = true,
        .tried = Tried::realboard,
    },
    ChipRow{
        .name = "16F84",
        .family = Family::f84,
        .model = 2,
        .memories = memories84(1024, 0x3FFF, bits84),
        .configdefault = 0x3FF3,
        .protection = {.cpbits = 0x3FF0, .cpdbits = 0x3FF0},
        .erase = erase84,
        .erasewaitus = 7000,
        .tried = Tried::realboard,
    },
    ChipRow{
        .name = "16F83",
        .family = Family::f84,
        .model = 3,
        .memories = memories84(512, 0x3FFF, bits84),
        .configdefault = 0x3FF3,
        .protection = {.cpbits = 0x3FF0, .cpdbits = 0x3FF0},
        .erase = erase84,
        .erasewaitus = 7000,
        .tried = Tried::realboard,
    },
    ChipRow{
        .name = "16F84A",
        .family = Family::f84,
        .model = 2,
        .memories = memories84(1024, 0x3FFF, bits84),
        .configdefault = 0x3FF3,
        .protection = {.cpbits = 0x3FF0, .cpdbits = 0x3FF0},
        .deviceid = 0x0560,
        .deviceidmask = 0x3FE0,
        .erase = erase84,
        .erasewaitus = 7000,
        .tried = Tried::realboard,
    },
    ChipRow{
        .name = "16F627",
        .family = Family::f62x,
        .memories = memories62x(1024),
        .protection = protection627,
        .deviceid = 0x07A0,
        .deviceidmask = 0x3FE0,
        .erase = erase62x,
        .erasewaitus = 13000,
        .entry = internaloscillator(true),
        .pgmpin = "RB4 (pin 10)",
        .fields = fields627,
    },
    ChipRow{
        .name = "16F628",
        .family = Family::f62x,
        .memories = memories62x(2048),
        .protection = protection628,
        .deviceid = 0x07C0,
        .deviceidmask = 0x3FE0,
        .erase = erase62x,
        .erasewaitus = 13000,
        .entry = internaloscillator(true),
        .pgmpin = "RB4 (pin 10)",
        .fields = fields628,
    },
    ChipRow{
        .name = "16F627A",
        .family = Family::f62xa,
        .memories = memories62xa(1024, 128),
        .protection = protectionwhole,
        .deviceid = 0x1040,
        .deviceidmask = 0x3FE0,
        .erase = erase62xa,
        .erasewaitus = 6000,
        .entry = internaloscillator(true),
        .pgmpin = "RB4 (pin 10)",
        .fields = fields62xa,
    },
    ChipRow{
        .name = "16F628A",
        .family = Family::f62xa,
        .memories = memories62xa(2048, 128),
        .protection = protectionwhole,
        .deviceid = 0x1060,
        .deviceidmask = 0x3FE0,
        .erase = erase62xa,
        .erasewaitus = 6000,
        .entry = internaloscillator(true),
        .pgmpin = "RB4 (pin 10)",
        .fields = fields62xa,
    },
    ChipRow{
        .name = "16F648A",
        .family = Family::f62xa,
        .memories = memories62xa(4096, 256),
        .protection = protectionwhole,
        .deviceid = 0x1100,
        .deviceidmask = 0x3FE0,
        .erase = erase62xa,
        .erasewaitus = 6000,
        .entry = internaloscillator(true),
        .pgmpin = "RB4 (pin 10)",
        .fields = fields62xa,
    },
    // Chip erase TPROG4: 8 ms on the 818/819, 10 ms on the 87/88.
    ChipRow{
        .name = "16F818",
        .family = Family::f81x,
        .memories = memories81x(1024, 128),
        .protection = protectionwhole,
        .deviceid = 0x04C0,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 8000,
        .entry = internaloscillator(false),
        .pgmpin = "RB3 (pin 9)",
        .fields = fields818,
    },
    ChipRow{
        .name = "16F819",
        .family = Family::f81x,
        .memories = memories81x(2048, 256),
        .protection = protectionwhole,
        .deviceid = 0x04E0,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 8000,
        .entry = internaloscillator(false),
        .pgmpin = "RB3 (pin 9)",
        .fields = fields819,
    },
    ChipRow{
        .name = "16F87",
        .family = Family::f81x,
        .memories = memories87(4096, 256),
        .protection = protectionwhole,
        .deviceid = 0x0720,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .entry = internaloscillator(false),
        .pgmpin = "RB3 (pin 9)",
        .fields = fields87,
    },
    ChipRow{
        .name = "16F88",
        .family = Family::f81x,
        .memories = memories87(4096, 256),
        .protection = protectionwhole,
        .deviceid = 0x0760,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .entry = internaloscillator(false),
        .pgmpin = "RB3 (pin 9)",
        .fields = fields87,
    },
    // Bulk erase TERA 6 ms.
    ChipRow{
        .name = "16F716",
        .family = Family::f716,
        .memories = {programmemory(2048, group716), idlocations(group716),
                     configword(0x2007, 0x20CF, bits716, cycle716)},
        .protection = {.cpbits = 0x2000},
        .deviceid = 0x1140,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .fields = fields716,
    },
    // 28/40-pin: through an adapter (devices: adapterfor).
    ChipRow{
        .name = "16F870",
        .family = Family::f87x,
        .memories = memories87x(2048, 64),
        .protection = protection870,
        .deviceid = 0x0D00,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields870,
        .package = Package::dip28,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F871",
        .family = Family::f87x,
        .memories = memories87x(2048, 64),
        .protection = protection870,
        .deviceid = 0x0D20,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 36)",
        .fields = fields870,
        .package = Package::dip40,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F872",
        .family = Family::f87x,
        .memories = memories87x(2048, 64),
        .protection = protection870,
        .deviceid = 0x08E0,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields870,
        .package = Package::dip28,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F873",
        .family = Family::f87x,
        .memories = memories87x(4096, 128),
        .protection = protection873,
        .deviceid = 0x0960,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields873,
        .package = Package::dip28,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F874",
        .family = Family::f87x,
        .memories = memories87x(4096, 128),
        .protection = protection873,
        .deviceid = 0x0920,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 36)",
        .fields = fields873,
        .package = Package::dip40,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F876",
        .family = Family::f87x,
        .memories = memories87x(8192, 256),
        .protection = protection876,
        .deviceid = 0x09E0,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields876,
        .package = Package::dip28,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F877",
        .family = Family::f87x,
        .memories = memories87x(8192, 256),
        .protection = protection876,
        .deviceid = 0x09A0,
        .deviceidmask = 0x3FE0,
        .erase = erase87x,
        .erasewaitus = 8000,
        .pgmpin = "RB3 (pin 36)",
        .fields = fields876,
        .package = Package::dip40,
        .notes = {note87x},
    },
    ChipRow{
        .name = "16F873A",
        .family = Family::f87xa,
        .memories = memories87xa(4096, 128),
        .protection = protectionwhole,
        .deviceid = 0x0E40,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields873a,
        .package = Package::dip28,
        .notes = {note87xa},
    },
    ChipRow{
        .name = "16F874A",
        .family = Family::f87xa,
        .memories = memories87xa(4096, 128),
        .protection = protectionwhole,
        .deviceid = 0x0E60,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .pgmpin = "RB3 (pin 36)",
        .fields = fields873a,
        .package = Package::dip40,
        .notes = {note87xa},
    },
    ChipRow{
        .name = "16F876A",
        .family = Family::f87xa,
        .memories = memories87xa(8192, 256),
        .protection = protectionwhole,
        .deviceid = 0x0E00,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .pgmpin = "RB3 (pin 24)",
        .fields = fields876a,
        .package = Package::dip28,
        .notes = {note87xa},
    },
    ChipRow{
        .name = "16F877A",
        .family = Family::f87xa,
        .memories = memories87xa(8192, 256),
        .protection = protectionwhole,
        .deviceid = 0x0E20,
        .deviceidmask = 0x3FF0,
        .erase = erase81x,
        .erasewaitus = 10000,
        .pgmpin = "RB3 (pin 36)",
        .fields = fields876a,
        .package = Package::dip40,
        .notes = {note87xa},
    },
    ChipRow{
        .name = "16F882",
        .family = Family::f88x,
        .memories = memories88x(2048, 128),
        .protection = protection88x,
        .deviceid = 0x2000,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .pgmpin = "RB3 (pin 24)",
        .fields = fields882,
        .package = Package::dip28,
        .notes = {note88x},
    },
    ChipRow{
        .name = "16F883",
        .family = Family::f88x,
        .memories = memories88x(4096, 256),
        .protection = protection88x,
        .deviceid = 0x2020,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .pgmpin = "RB3 (pin 24)",
        .fields = fields883,
        .package = Package::dip28,
        .notes = {note88x, note883id},
    },
    ChipRow{
        .name = "16F884",
        .family = Family::f88x,
        .memories = memories88x(4096, 256),
        .protection = protection88x,
        .deviceid = 0x2040,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .pgmpin = "RB3 (pin 36)",
        .fields = fields883,
        .package = Package::dip40,
        .notes = {note88x},
    },
    ChipRow{
        .name = "16F886",
        .family = Family::f88x,
        .memories = memories88x(8192, 256),
        .protection = protection88x,
        .deviceid = 0x2060,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .pgmpin = "RB3 (pin 24)",
        .fields = fields886,
        .package = Package::dip28,
        .notes = {note88x},
    },
    ChipRow{
        .name = "16F887",
        .family = Family::f88x,
        .memories = memories88x(8192, 256),
        .protection = protection88x,
        .deviceid = 0x2080,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .pgmpin = "RB3 (pin 36)",
        .fields = fields886,
        .package = Package::dip40,
        .notes = {note88x},
    },
    // PIC12F629/675, 16F630/676: the factory's calibration kept.
    ChipRow{
        .name = "12F629",
        .family = Family::f629,
        .memories = memories629(),
        .protection = protection629,
        .deviceid = 0x0F80,
        .deviceidmask = 0x3FE0,
        .erase = erase629,
        .erasewaitus = 6000,
        .entry = entry629,
        .fields = fields629,
        .package = Package::dip8,
        .foreign = foreign12f629,
    },
    ChipRow{
        .name = "12F675",
        .family = Family::f629,
        .memories = memories629(),
        .protection = protection629,
        .deviceid = 0x0FC0,
        .deviceidmask = 0x3FE0,
        .erase = erase629,
        .erasewaitus = 6000,
        .entry = entry629,
        .fields = fields629,
        .package = Package::dip8,
        .foreign = foreign12f675,
    },
    ChipRow{
        .name = "16F630",
        .family = Family::f629,
        .memories = memories629(),
        .protection = protection629,
        .deviceid = 0x10C0,
        .deviceidmask = 0x3FE0,
        .erase = erase629,
        .erasewaitus = 6000,
        .entry = entry629,
        .fields = fields629,
        .package = Package::dip14,
        .notes = {"device ID 0x10C0, as every source but one gives it; that one lists "
                  "0x07C0, the PIC16F628's ID, copied by a slip"},
        .foreign = foreign16f630,
    },
    ChipRow{
        .name = "16F676",
        .family = Family::f629,
        .memories = memories629(),
        .protection = protection629,
        .deviceid = 0x10E0,
        .deviceidmask = 0x3FE0,
        .erase = erase629,
        .erasewaitus = 6000,
        .entry = entry629,
        .fields = fields629,
        .package = Package::dip14,
    },
    ChipRow{
        .name = "12F683",
        .family = Family::f683,
        .memories = memories683(2048),
        .protection = protection88x,
        .deviceid = 0x0460,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip8,
        .notes = {note683},
    },
    ChipRow{
        .name = "16F684",
        .family = Family::f683,
        .memories = memories683(2048),
        .protection = protection88x,
        .deviceid = 0x1080,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip14,
        .notes = {note683},
    },
    ChipRow{
        .name = "16F685",
        .family = Family::f683,
        .memories = memories683(4096),
        .protection = protection88x,
        .deviceid = 0x04A0,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip20,
        .notes = {note683},
    },
    ChipRow{
        .name = "16F687",
        .family = Family::f683,
        .memories = memories683(2048),
        .protection = protection88x,
        .deviceid = 0x1320,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip20,
        .notes = {note683, note687id},
    },
    ChipRow{
        .name = "16F688",
        .family = Family::f683,
        .memories = memories683(4096),
        .protection = protection88x,
        .deviceid = 0x1180,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip14,
        .notes = {note683},
    },
    ChipRow{
        .name = "16F689",
        .family = Family::f683,
        .memories = memories683(4096),
        .protection = protection88x,
        .deviceid = 0x1340,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip20,
        .notes = {note683},
    },
    ChipRow{
        .name = "16F690",
        .family = Family::f683,
        .memories = memories683(4096),
        .protection = protection88x,
        .deviceid = 0x1400,
        .deviceidmask = 0x3FE0,
        .erase = erase88x,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields683,
        .package = Package::dip20,
        .notes = {note683},
    },
    ChipRow{
        .name = "12F609",
        .family = Family::f609,
        .memories = memories609(1024, 0x03FF, bits609, 1),
        .protection = protection609,
        .deviceid = 0x2240,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields609,
        .package = Package::dip8,
        .notes = {note609},
    },
    ChipRow{
        .name = "12F615",
        .family = Family::f609,
        .memories = memories609(1024, 0x03FF, bits609, 1),
        .protection = protection609,
        .deviceid = 0x2180,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields609,
        .package = Package::dip8,
        .notes = {note609},
    },
    ChipRow{
        .name = "12F617",
        .family = Family::f609,
        .memories = memories609(2048, 0x0FFF, bits617, 4),
        .protection = protection609,
        .deviceid = 0x1360,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields617,
        .package = Package::dip8,
        .notes = {note609, note617id},
    },
    ChipRow{
        .name = "16F610",
        .family = Family::f609,
        .memories = memories609(1024, 0x03FF, bits609, 1),
        .protection = protection609,
        .deviceid = 0x2260,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields609,
        .package = Package::dip14,
        .notes = {note609},
    },
    ChipRow{
        .name = "16F616",
        .family = Family::f609,
        .memories = memories609(2048, 0x03FF, bits609, 4),
        .protection = protection609,
        .deviceid = 0x1240,
        .deviceidmask = 0x3FE0,
        .erase = erase716,
        .erasewaitus = 6000,
        .entry = internaloscillator210(),
        .fields = fields609,
        .package = Package::dip14,
        .notes = {note609},
    },
};

// Chips with a device ID that the board reaches only through an adapter,
// or not at all; named so that --device auto and detect can say what they
// are.
struct OtherChip {
    uint16_t id, mask;
    const char* name;
};
constexpr OtherChip otherchips[] = {
    // The enhanced mid-range (Load Configuration takes the counter to
    // 0x8000, so word 0x8006 is read as 0x2006 is here); they take at most
    // 9 V on MCLR, which this board's switch exceeds.
    {0x2700, 0x3FE0, "PIC12F1822"}, {0x1B80, 0x3FE0, "PIC12F1840"}, {0x2780, 0x3FE0, "PIC16F1826"},
    {0x27A0, 0x3FE0, "PIC16F1827"}, {0x1480, 0x3FE0, "PIC16F1847"}, {0x2300, 0x3FE0, "PIC16F1933"},
    {0x2340, 0x3FE0, "PIC16F1934"}, {0x2360, 0x3FE0, "PIC16F1936"}, {0x2380, 0x3FE0, "PIC16F1937"},
    {0x23A0, 0x3FE0, "PIC16F1938"}, {0x23C0, 0x3FE0, "PIC16F1939"},
};

constexpr Memory nomemory{};

}  // namespace

const Memory* ChipRow::find(Kind kind, int nth) const {
    for (const Memory& m : memories)
        if (m.kind == kind && nth-- == 0) return &m;
    return nullptr;
}

int16_t ChipRow::words(Kind kind) const {
    int words = 0;
    for (const Memory& m : memories)
        if (m.kind == kind) words += m.words;
    return static_cast<int16_t>(words);
}

const Memory& ChipRow::config(int k) const {
    const Memory* m = find(Kind::config, k);
    return m ? *m : nomemory;
}

int32_t regionbase(Region r) {
    switch (r) {
    case Region::program: return 0x0000;
    case Region::id: return 0x2000;
    case Region::config: return 0x2007;
    case Region::data: return 0x2100;
    }
    return 0;
}

Region regionat(int32_t address) {
    if (address >= regionbase(Region::data)) return Region::data;
    if (address >= regionbase(Region::config)) return Region::config;
    if (address >= regionbase(Region::id)) return Region::id;
    return Region::program;
}

namespace {

int16_t extent(const ChipRow& row, Region r, bool readout) {
    int32_t end = 0;
    for (const Memory& m : row.memories) {
        if (m.kind == Kind::none || regionat(m.address) != r) continue;
        const int32_t last = m.address - regionbase(r) + (readout ? m.readoutwords() : m.words);
        if (last > end) end = last;
    }
    return static_cast<int16_t>(end);
}

}  // namespace

int16_t regionwords(const ChipRow& row, Region r) { return extent(row, r, false); }
int16_t readoutwords(const ChipRow& row, Region r) { return extent(row, r, true); }

std::span<const ChipRow> chiprows() { return rows; }

const ChipRow* findchip(std::string_view name) {
    const std::string key = chipnamekey(name);
    for (const auto& row : rows) {
        if (key == row.name) return &row;
        for (const char* alias : row.aliases)
            if (alias && key == alias) return &row;
    }
    return nullptr;
}

bool idmatches(const ChipRow& row, uint16_t id) {
    return row.deviceidmask != 0 && (id & row.deviceidmask) == row.deviceid;
}

const ChipRow* chipbyid(uint16_t id) {
    for (const auto& row : rows)
        if (idmatches(row, id)) return &row;
    return nullptr;
}

const ChipRow* chipbymodel(int16_t model) {
    if (model == 0) return nullptr;
    for (const auto& row : rows)
        if (row.model == model && row.deviceid == 0) return &row;
    return nullptr;
}

const char* otherchipname(int16_t id) {
    for (const auto& c : otherchips)
        if ((id & c.mask) == c.id) return c.name;
    return nullptr;
}

std::string chiplabel(const ChipRow& row) { return std::string("PIC") + row.name; }

bool needsvppfirstentry(const ChipRow& row, uint16_t config) {
    const Entry& e = row.entry;
    if (e.foscmask == 0 || (config & e.mclrebit) != 0) return false;
    const uint16_t fosc = config & e.foscmask;
    return fosc == e.intosc || fosc == e.intosc2;
}

uint16_t unimplementedbits(const ChipRow& row, int index, uint16_t word) {
    return static_cast<uint16_t>(word & 0x3FFF & ~row.config(index).mask);
}

std::vector<ClosedRange> closedranges(const ChipRow& row, uint16_t config) {
    const Protection& p = row.protection;
    std::vector<ClosedRange> closed;
    const Memory* program = row.find(Kind::program);
    const auto listed = [&]() -> const ProtectedRange* {
        for (const ProtectedRange& r : p.ranges)
            if (r.bits != 0 && (config & r.bits) == r.value) return &r;
        return nullptr;
    };
    if (const ProtectedRange* r = listed()) {
        if (r->to >= r->from) closed.push_back({r->from, r->to});
    } else if ((config & p.cpbits) != p.cpbits && program) {
        closed.push_back({program->address, program->address + program->words - 1});
    }
    const Memory* data = row.find(Kind::data);
    if ((config & p.cpdbits) != p.cpdbits && data)
        closed.push_back({data->address, data->address + data->words - 1});
    return closed;
}

bool closesthechip(const ChipRow& row, uint16_t config) { return !closedranges(row, config).empty(); }

namespace {

// Each package's programming pins, the socket's own first.
constexpr Adapter adaptertable[] = {
    {Package::dip18, "none", "MCLR/Vpp 4, clock 12 (RB6), data 13 (RB7), VDD 14, VSS 5"},
    {Package::dip8, "8-pin", "MCLR/Vpp 4 (GP3), clock 6 (GP1), data 7 (GP0), VDD 1, VSS 8"},
    {Package::dip14, "14-pin", "MCLR/Vpp 4 (RA3), clock 12 (RA1), data 13 (RA0), VDD 1, VSS 14"},
    {Package::dip20, "20-pin", "MCLR/Vpp 4 (RA3), clock 18 (RA1), data 19 (RA0), VDD 1, VSS 20"},
    {Package::dip28, "28-pin",
     "MCLR/Vpp 1, clock 27 (RB6), data 28 (RB7), VDD 20, VSS 8 and 19; RB3 (pin 24) tied low"},
    {Package::dip40, "40-pin",
     "MCLR/Vpp 1, clock 39 (RB6), data 40 (RB7), VDD 11 and 32, VSS 12 and 31; RB3 (pin 36) tied low"},
};

}  // namespace

std::span<const Adapter> adapters() { return adaptertable; }

const Adapter& adapterfor(Package p) {
    for (const Adapter& a : adaptertable)
        if (a.package == p) return a;
    return adaptertable[0];
}
