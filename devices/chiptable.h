// SPDX-License-Identifier: GPL-2.0-or-later
// Every chip the board can program, as data: one row per chip, written with
// designated initializers. A row lists the chip's memories (program memory,
// ID locations, configuration words, calibration words, data EEPROM), each
// with where the address counter finds it, how many words it has and which
// bits, how an erased word reads, the commands that load and read a word, the
// write cycle that programs it, and what an erase of the whole chip does to
// it. Beside them: how the chip is protected, identified, erased and
// entered, and the programming family that says in which order a burn goes.
// Plain C++: the window, the command line, the settings file and the
// operations all read the same rows; nothing outside devices/ knows a chip's
// numbers.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How a burn goes.
enum class Family : uint8_t {
    f84,     // PIC16C84/16F84/16F83/16F84A: each word programmed and read back in turn
    f62x,    // PIC16F627/628: erase first, then program and read back
    f62xa,   // PIC16F627A/628A/648A: the same
    f81x,    // PIC16F818/819 and 16F87/88: the same, four latches
    f716,    // PIC16F716: the same, four latches
    f629,    // PIC12F629/675, 16F630/676: the same, the factory's calibration kept
    f87x,    // PIC16F870-877: the same, partial code protection
    f87xa,   // PIC16F873A-877A: the same, eight latches
    f88x,    // PIC16F882-887: the same, a factory calibration word kept
    f683,    // PIC12F683, 16F684-690: the same
    f609,    // PIC12F609/615/617, 16F610/616: the same, no data memory
};

// The package a chip comes in. The board's socket has 18 pins; any other
// package reaches it through an adapter (adapterfor).
enum class Package : uint8_t { dip18, dip8, dip14, dip20, dip28, dip40 };

// How a row has been tried.
enum class Tried : uint8_t { realboard, simulatedboard };

// What a memory of the chip holds.
enum class Kind : uint8_t { none, program, id, config, calibration, data };

// What an erase of the whole chip does to a memory.
enum class Erase : uint8_t {
    cleared,   // it reads as erased afterwards
    spared,    // it keeps its words: the erase is given with the counter elsewhere
    restored,  // the erase clears it, so its `restorebits` are read first and written back
};

// One write cycle of words already loaded: the command that starts it, the
// one that ends it (0 when the chip times the cycle itself), the waits in
// microseconds (the programming time, the discharge after the end command),
// and how many words are loaded for one cycle: that many latches, the
// counter's low bits choosing the latch.
struct WriteCycle {
    uint8_t begin = 8;
    uint8_t end = 0;
    int32_t waitus = 0;
    int32_t dischargeus = 0;
    int16_t latches = 1;
};

struct Memory {
    Kind kind = Kind::none;
    int32_t address = 0;       // the address counter at its first word
    int16_t words = 0;
    // Words a read-out covers when more than `words`: the counter wraps
    // round onto the first ones (0: just `words`).
    int16_t readwords = 0;
    uint16_t mask = 0x3FFF;    // the bits a word has
    uint16_t erased = 0x3FFF;  // how a word reads on an erased chip
    uint8_t load = 2;          // Load Data command
    uint8_t read = 4;          // Read Data command
    WriteCycle write{};
    Erase erase = Erase::cleared;
    uint16_t restorebits = 0;  // with Erase::restored
    // With Erase::restored: a word read is the factory's only when its bits
    // under `signaturemask` are `signature` (OSCCAL is a RETLW, 0x34kk).
    uint16_t signaturemask = 0;
    uint16_t signature = 0;
    // A configuration word's bit names, bit 0 first; nullptr: unimplemented.
    const char* const* bits = nullptr;

    int16_t readoutwords() const { return readwords > words ? readwords : words; }
    // The bits a word is compared with the image in: not those the factory's
    // calibration holds, which no file gives.
    uint16_t comparemask() const {
        return erase == Erase::restored ? static_cast<uint16_t>(mask & ~restorebits) : mask;
    }
};

// Program words that a setting of some configuration bits closes: when
// (CONFIG1 & bits) == value, the words from `from` to `to` read as zeros.
struct ProtectedRange {
    uint16_t bits = 0;
    uint16_t value = 0;
    int32_t from = 0;
    int32_t to = 0;
};

struct Protection {
    uint16_t cpbits = 0;   // configuration bits that, any of them clear, close program memory
    uint16_t cpdbits = 0;  // the same for data memory
    std::array<ProtectedRange, 3> ranges{};  // partial protection; bits 0 ends the list
};

// Entering programming mode.
struct Entry {
    bool vppfirst = false;  // the chip's document asks for Vpp before VDD
    // Bits of CONFIG1 that, read together, decide whether the chip runs on
    // its own as soon as VDD is there: internal MCLR (mclrebit clear) with
    // an internal oscillator (the FOSC bits equal intosc under foscmask, or
    // intosc2). foscmask 0: the chip cannot.
    uint16_t mclrebit = 0;
    uint16_t foscmask = 0;
    uint16_t intosc = 0;
    uint16_t intosc2 = 0;
};

// One step of the erase of the whole chip.
struct EraseStep {
    enum Op : uint8_t {
        loadconfig,  // Load Configuration with the word `arg`: the counter to 0x2000
        load,        // the Load Data command `arg` with 0x3FFF
        send,        // the command `arg` alone
        increments,  // `arg` times Increment Address
        wait,        // the row's erase wait
        say,         // the erase's status line of a part: 1 program memory, 2 data memory
    } op;
    int32_t arg = 0;
};

// A configuration field by name: its bits and what each setting means.
struct FieldChoice {
    uint16_t value;     // the field's bits, in place in the word
    const char* words;  // "XT: crystal or resonator"
};
struct ConfigField {
    int word = 0;       // 0 = CONFIG1, 1 = CONFIG2
    uint16_t mask = 0;  // the bits of the field, in place
    const char* name;   // "FOSC", "MCLRE"
    const char* what;   // "Oscillator"
    std::span<const FieldChoice> choices;
};

// A file register (the seven address bits of an instruction, in either
// bank) that the chip does not have but a chip of its kin does: a program
// that uses it was written for that chip.
struct ForeignRegister {
    uint8_t address;
    const char* names;  // "ADCON0 or ANSEL"
    const char* chip;   // "PIC12F675"
};

struct ChipRow {
    const char* name = nullptr;                 // "16F628A"; shown with "PIC" in front
    std::array<const char*, 3> aliases{};       // other names (keys of chipnamekey)
    Family family = Family::f84;
    int16_t model = 0;                          // the window's device option (1 to 3), 0 for none
    std::array<Memory, 6> memories{};           // Kind::none ends the list
    uint8_t loadconfig = 0;                     // Load Configuration
    uint8_t increment = 6;                      // Increment Address
    int16_t configdefault = 0x3FFF;             // the word sent with Load Configuration
    Protection protection{};
    uint16_t deviceid = 0;                      // word 0x2006 under the mask; 0: none
    uint16_t deviceidmask = 0;
    std::span<const EraseStep> erase{};         // the whole chip, code protection included
    int32_t erasewaitus = 0;                    // each wait of the erase
    Entry entry{};
    const char* pgmpin = nullptr;               // "RB4 (pin 10)"; nullptr: none
    bool pwrteset = false;                      // the power-up timer is on while PWRTE is 1
    std::span<const ConfigField> fields{};      // the configuration fields by name
    Tried tried = Tried::simulatedboard;
    Package package = Package::dip18;
    // What `devices` says after its table where the chip's sources
    // disagree, or where the board may be outside the chip's limits; rows
    // that share a note point at the same text.
    std::array<const char*, 2> notes{};
    std::span<const ForeignRegister> foreign{};  // registers of its kin it lacks

    // The nth memory of a kind, or nullptr.
    const Memory* find(Kind kind, int nth = 0) const;
    // The words of every memory of a kind.
    int16_t words(Kind kind) const;
    // CONFIG1 (k = 0) or CONFIG2; an empty memory where the chip has none.
    const Memory& config(int k) const;
};

// The memory image holds a chip in four regions, as a HEX file addresses
// them: program memory from word 0, the ID locations from 0x2000, the
// configuration words (and calibration words after them) from 0x2007, data
// EEPROM from 0x2100.
enum class Region : uint8_t { program, id, config, data };
inline constexpr std::array<Region, 4> allregions{Region::program, Region::id, Region::config,
                                                  Region::data};
int32_t regionbase(Region r);
// The region of a word address: data from 0x2100, configuration from 0x2007,
// IDs from 0x2000, program memory below.
Region regionat(int32_t address);
// How many words of a region the chip has: its memories there, from the
// region's base to the end of the last.
int16_t regionwords(const ChipRow& row, Region r);
// The same with what a read-out covers.
int16_t readoutwords(const ChipRow& row, Region r);

// Every row, the four original chips first (16C84, 16F84, 16F83, 16F84A).
std::span<const ChipRow> chiprows();

// The row for a name in any of its forms ("pic 16f628a", "16F628A"), or nullptr.
const ChipRow* findchip(std::string_view name);
// The row whose device ID matches a word read at 0x2006, or nullptr.
const ChipRow* chipbyid(uint16_t id);
// The row of a window device option (1 to 3), or nullptr.
const ChipRow* chipbymodel(int16_t model);
// Where a chip keeps its device ID, in configuration space.
constexpr int32_t deviceidaddress = 0x2006;
// Whether a word read there is this chip's device ID.
bool idmatches(const ChipRow& row, uint16_t id);

// A chip known by its device ID that the board reaches only through an
// adapter, or not at all: its name ("PIC16F877"), or nullptr.
const char* otherchipname(int16_t id);

// "PIC16F628A".
std::string chiplabel(const ChipRow& row);

// Whether a configuration word selects an internal oscillator with internal
// MCLR, so that the chip only enters programming mode when Vpp rises before
// VDD: a board without VDD control cannot enter it.
bool needsvppfirstentry(const ChipRow& row, uint16_t config);

// The bits of a configuration word this chip does not implement.
uint16_t unimplementedbits(const ChipRow& row, int index, uint16_t word);

// Words a configuration word closes to the programmer (they read as
// zeros), by address, first and last.
struct ClosedRange {
    int32_t from = 0;
    int32_t to = 0;
};
// What a configuration word closes: part or all of program memory, and the
// data memory under CPD. Where the row lists partial ranges, the first whose
// bits match decides (a range with `to` below `from` closes nothing); any
// other pattern with a CP bit clear closes all of program memory, the safe
// reading of a pattern the chip's document does not list (the two copies of
// CP1:CP0 set apart, say). Empty: the chip is open.
std::vector<ClosedRange> closedranges(const ChipRow& row, uint16_t config);

// Whether a configuration word closes any part of the chip to the
// programmer (its words then read as zeros).
bool closesthechip(const ChipRow& row, uint16_t config);

// An adapter that brings a package's programming pins to the board's
// 18-pin socket (MCLR/Vpp on pin 4, clock 12, data 13, VDD 14, VSS 5).
struct Adapter {
    Package package;
    const char* name;  // "28-pin"; "none" for the socket's own package
    const char* pins;  // "MCLR/Vpp 1, clock 27 (RB6), ..."
};
// Every package, the socket's own first.
std::span<const Adapter> adapters();
const Adapter& adapterfor(Package p);

// The row's originals: burn walks word by word as the four chips always
// have been burnt; every other family erases first and reads back after.
inline bool isoriginal(const ChipRow& row) { return row.family == Family::f84; }
