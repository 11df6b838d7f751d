// SPDX-License-Identifier: GPL-2.0-or-later
// Every chip the board can program, as data: one row per chip. The rows say
// what the chip holds, how its configuration word reads, how it is
// protected, identified, erased and written, and with which waits; the
// programming family a row names says in which order those steps go.
// Plain C++: the window, the command line, the settings file and the
// operations all read the same rows.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// How the words are written, erased and read back.
enum class Family : uint8_t {
    f84,     // PIC16C84/16F84/16F83/16F84A: write and read each word in turn
    f62x,    // PIC16F627/628: erase first, one latch, erase-setup sequence
    f62xa,   // PIC16F627A/628A/648A: erase first, one latch, self-timed bulk erase
    f81x,    // PIC16F818/819 and 16F87/88: four latches, begin/end programming
    f716,    // PIC16F716: four latches, its own end-programming command
};

// How the whole chip is erased, code protection included.
enum class EraseMethod : uint8_t {
    cpsequence84,  // 1, 7, 8, 1, 7 on the configuration word, then bulk erases with 8
    cpsequence62x, // the same sequence with the 62x's waits
    bulk62xa,      // Load Configuration, 9, wait, 11, wait (no 8 follows)
    chiperase81x,  // Load Configuration, 31, wait
    bulk716,       // Load Configuration, 9, wait
};

// How a row has been tried.
enum class Tried : uint8_t { realboard, simulatedboard };

// One write cycle: the command that starts it, the one that ends it (0 when
// the chip times the cycle itself) and the waits, in microseconds: the
// programming time and the discharge time after the end command.
struct WriteCycle {
    uint8_t begin = 8;
    uint8_t end = 0;
    int32_t waitus = 0;
    int32_t dischargeus = 0;
};

struct ConfigWord {
    int32_t address = 0x2007;
    uint16_t implemented = 0x3FFF;  // bits the chip has
    uint16_t erased = 0x3FFF;       // how it reads on an erased chip
    const char* bits[14] = {};      // name of each bit, bit 0 first; nullptr: unimplemented
};

struct ChipRow {
    const char* name;         // "16F628A"; shown with "PIC" in front
    const char* aliases[3];   // other names the chip goes by (keys of chipnamekey)
    Family family;
    int16_t model;            // the window's device option (1 to 3), 0 for none
    int16_t progwords;
    int16_t idwords;
    int16_t databytes;
    int16_t configcount;      // 1, or 2 with CONFIG2
    ConfigWord config[2];
    int16_t configdefault;    // the word sent with Load Configuration
    uint16_t cpbits;          // configuration bits that protect program memory when clear
    uint16_t cpdbits;         // configuration bits that protect data memory when clear
    uint16_t deviceid;        // 0x2006 under the mask; 0 for a chip without one
    uint16_t deviceidmask;
    int16_t latches;          // program words written per cycle
    WriteCycle prog, data, configw;
    EraseMethod erase;
    int32_t erasewaitus;      // each bulk or chip erase
    // Entry: the chip's document asks for Vpp before VDD.
    bool vppfirst;
    // Bits of CONFIG1 that, read together, decide whether the chip runs on
    // its own as soon as VDD is there: internal MCLR (mclrebit clear) with
    // an internal oscillator (the FOSC bits equal intosc under foscmask, or
    // intosc2). foscmask 0: the chip cannot.
    uint16_t mclrebit;
    uint16_t foscmask, intosc, intosc2;
    const char* pgmpin;       // "RB4 (pin 10)", nullptr for none
    Tried tried;
};

// Every row, the four original chips first (16C84, 16F84, 16F83, 16F84A).
std::span<const ChipRow> chiprows();

// The row for a name in any of its forms ("pic 16f628a", "16F628A"), or nullptr.
const ChipRow* findchip(std::string_view name);
// The row whose device ID matches a word read at 0x2006, or nullptr.
const ChipRow* chipbyid(uint16_t id);
// The row of a window device option (1 to 3), or nullptr.
const ChipRow* chipbymodel(int16_t model);

// "PIC16F628A".
std::string chiplabel(const ChipRow& row);

// Whether a configuration word selects an internal oscillator with internal
// MCLR, so that the chip only enters programming mode when Vpp rises before
// VDD: a board without VDD control cannot enter it.
bool needsvppfirstentry(const ChipRow& row, uint16_t config);

// The bits of a configuration word this chip does not implement.
uint16_t unimplementedbits(const ChipRow& row, int index, uint16_t word);

// The row's originals: burn walks word by word as the four chips always
// have been burnt; every other family erases first and reads back after.
inline bool isoriginal(const ChipRow& row) { return row.family == Family::f84; }
