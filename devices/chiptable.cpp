// SPDX-License-Identifier: GPL-2.0-or-later
#include "chiptable.h"

#include <array>

#include "chipname.h"

namespace {

// Bit names, bit 0 first.
constexpr ConfigWord config84{0x2007, 0x3FFF, 0x3FFF,
    {"FOSC0", "FOSC1", "WDTE", "PWRTE", "CP", "CP", "CP", "CP", "CP", "CP", "CP", "CP", "CP", "CP"}};
constexpr ConfigWord config16c84{0x2007, 0x001F, 0x001F, {"FOSC0", "FOSC1", "WDTE", "PWRTE", "CP"}};
constexpr ConfigWord config62x{0x2007, 0x3DFF, 0x3DFF,
    {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2", "MCLRE", "BOREN", "LVP", "CPD", nullptr,
     "CP0", "CP1", "CP0", "CP1"}};
constexpr ConfigWord config62xa{0x2007, 0x21FF, 0x21FF,
    {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2", "MCLRE", "BOREN", "LVP", "CPD", nullptr,
     nullptr, nullptr, nullptr, "CP"}};
constexpr ConfigWord config81x{0x2007, 0x3FFF, 0x3FFF,
    {"FOSC0", "FOSC1", "WDTE", "PWRTE", "FOSC2", "MCLRE", "BOREN", "LVP", "CPD", "WRT0",
     "WRT1", "DEBUG", "CCPMX", "CP"}};
constexpr ConfigWord config2f88{0x2008, 0x0003, 0x0003, {"FCMEN", "IESO"}};
constexpr ConfigWord config716{0x2007, 0x20CF, 0x20CF,
    {"FOSC0", "FOSC1", "WDTE", "PWRTE", nullptr, nullptr, "BOREN", "BORV", nullptr, nullptr,
     nullptr, nullptr, nullptr, "CP"}};

// The original chips: each word is programmed with command 8 and a 7 ms
// wait, and the whole chip erased with the code-protect sequence.
constexpr WriteCycle cycle84{8, 0, 7000, 0};
constexpr ChipRow original(const char* name, int16_t model, int16_t words, ConfigWord config,
                           int16_t configdefault, uint16_t cpbits, uint16_t id) {
    return ChipRow{name, {}, Family::f84, model, words, 4, 64, 1, {config, {}}, configdefault,
                   cpbits, cpbits, id, static_cast<uint16_t>(id ? 0x3FE0 : 0), 1,
                   cycle84, cycle84, cycle84, EraseMethod::cpsequence84, 7000,
                   false, 0, 0, 0, 0, nullptr, Tried::realboard};
}

// PIC16F627/628: program and data words with Begin Programming Only (24,
// 8 ms); ID and configuration words with Begin Erase/Programming (8, erase
// 5 ms plus program 8 ms), as the code-protect sequence's 8 is.
constexpr ChipRow f62x(const char* name, int16_t words, uint16_t id) {
    return ChipRow{name, {}, Family::f62x, 0, words, 4, 128, 1, {config62x, {}}, 0x3FFF,
                   0x3C00, 0x0100, id, 0x3FE0, 1,
                   {24, 0, 8000, 0}, {24, 0, 8000, 0}, {8, 0, 13000, 0},
                   EraseMethod::cpsequence62x, 13000,
                   true, 0x0020, 0x0013, 0x0010, 0x0011, "RB4 (pin 10)", Tried::simulatedboard};
}

// PIC16F627A/628A/648A: command 8 programs only (TPROG 4 ms, the longer of
// the two revisions' 2.5 and 4 ms; data 6 ms); bulk erases time themselves
// (TERA 6 ms).
constexpr ChipRow f62xa(const char* name, int16_t words, int16_t bytes, uint16_t id) {
    return ChipRow{name, {}, Family::f62xa, 0, words, 4, bytes, 1, {config62xa, {}}, 0x3FFF,
                   0x2000, 0x0100, id, 0x3FE0, 1,
                   {8, 0, 4000, 0}, {8, 0, 6000, 0}, {8, 0, 4000, 0},
                   EraseMethod::bulk62xa, 6000,
                   true, 0x0020, 0x0013, 0x0010, 0x0011, "RB4 (pin 10)", Tried::simulatedboard};
}

// PIC16F818/819 and 16F87/88: four latches, Begin Programming Only (24)
// ended by 23 after TPROG1 (2 ms, the longer of 1 and 2 ms); chip erase 31
// (8 ms on the 818/819, 10 ms on the 87/88).
constexpr WriteCycle cycle81x{24, 23, 2000, 0};
constexpr ChipRow f81x(const char* name, int16_t words, int16_t bytes, uint16_t id, int16_t configs,
                       int32_t erasewait) {
    return ChipRow{name, {}, Family::f81x, 0, words, 4, bytes, configs, {config81x, config2f88},
                   0x3FFF, 0x2000, 0x0100, id, 0x3FF0, 4, cycle81x, cycle81x, cycle81x,
                   EraseMethod::chiperase81x, erasewait,
                   false, 0x0020, 0x0013, 0x0010, 0x0011, "RB3 (pin 9)", Tried::simulatedboard};
}

constexpr std::array rows{
    original("16C84", 1, 1024, config16c84, 0x1B, 0x0010, 0),
    original("16F84", 2, 1024, config84, 0x3FF3, 0x3FF0, 0),
    original("16F83", 3, 512, config84, 0x3FF3, 0x3FF0, 0),
    original("16F84A", 2, 1024, config84, 0x3FF3, 0x3FF0, 0x0560),
    f62x("16F627", 1024, 0x07A0),
    f62x("16F628", 2048, 0x07C0),
    f62xa("16F627A", 1024, 128, 0x1040),
    f62xa("16F628A", 2048, 128, 0x1060),
    f62xa("16F648A", 4096, 256, 0x1100),
    f81x("16F818", 1024, 128, 0x04C0, 1, 8000),
    f81x("16F819", 2048, 256, 0x04E0, 1, 8000),
    f81x("16F87", 4096, 256, 0x0720, 2, 10000),
    f81x("16F88", 4096, 256, 0x0760, 2, 10000),
    // PIC16F716: no data memory; 24 ended by 14 after TPROG 2 ms, then TDIS
    // 100 µs; bulk erase 9 self-timed, TERA 6 ms.
    ChipRow{"16F716", {}, Family::f716, 0, 2048, 4, 0, 1, {config716, {}}, 0x3FFF, 0x2000, 0,
            0x1140, 0x3FE0, 4, {24, 14, 2000, 100}, {}, {24, 14, 2000, 100},
            EraseMethod::bulk716, 6000, false, 0, 0, 0, 0, nullptr, Tried::simulatedboard},
};

}  // namespace

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

const ChipRow* chipbyid(uint16_t id) {
    for (const auto& row : rows)
        if (row.deviceidmask != 0 && (id & row.deviceidmask) == row.deviceid) return &row;
    return nullptr;
}

const ChipRow* chipbymodel(int16_t model) {
    for (const auto& row : rows)
        if (row.model == model && row.deviceid == 0) return &row;
    return nullptr;
}

std::string chiplabel(const ChipRow& row) { return std::string("PIC") + row.name; }

bool needsvppfirstentry(const ChipRow& row, uint16_t config) {
    if (row.foscmask == 0 || (config & row.mclrebit) != 0) return false;
    const uint16_t fosc = config & row.foscmask;
    return fosc == row.intosc || fosc == row.intosc2;
}

uint16_t unimplementedbits(const ChipRow& row, int index, uint16_t word) {
    return static_cast<uint16_t>(word & 0x3FFF & ~row.config[index].implemented);
}
