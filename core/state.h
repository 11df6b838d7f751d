// SPDX-License-Identifier: GPL-2.0-or-later
// The one record that holds every field of a run. Widths follow the program's
// own: 16-bit fields are int16_t so that they wrap as they always have, 8-bit
// values and the control-register copy are uint8_t. What the chip is (its
// memories, their sizes and masks, its commands and waits) is not copied
// here: it is the chosen row of the chip table, read where it is needed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "wiring.h"

struct ChipRow;
enum class Region : uint8_t;  // devices/chiptable.h

struct State {
    // The image sized for the row start-up chooses; choosing a chip
    // (devices/select.h) fits it to that chip.
    State();

    std::string version;

    // The window's device option (1 to 3), or what the settings file gave.
    int16_t picmodel = 0;

    // The chosen row of the chip table (devices/select.h: currentchip).
    const ChipRow* chip = nullptr;
    // The window's "Auto": until the device ID names the chip, the image
    // takes a file for any chip of the table.
    bool anychip = false;
    // The chosen chip enters with Vpp before VDD (boards that switch VDD
    // enter it that way); the line control reads it without the row.
    bool vppfirst = false;
    // The factory calibration the person gave for this run (--osccal,
    // --bandgap, the window's box): written back after an erase in place of
    // what the chip reads (operations/calibration.h). -1: the chip's own.
    int16_t osccalgiven = -1;
    int16_t bandgapgiven = -1;

    // The memory image: element i of a region is the word at the region's
    // base + i (program memory 0x0000, IDs 0x2000, configuration 0x2007,
    // data 0x2100). Each holds at least every word the chosen chip has, and
    // keeps its words when another chip is chosen.
    std::vector<int16_t> progmem;
    std::vector<int16_t> idmem;
    std::vector<int16_t> configmem;
    std::vector<int16_t> datamem;

    // High-water counters: one more than the highest index stored, 0 = none.
    int16_t progused = 0;
    int16_t configused = 0;
    int16_t idused = 0;
    int16_t dataused = 0;

    // A region's words and its counter.
    std::vector<int16_t>& image(Region r);
    const std::vector<int16_t>& image(Region r) const;
    int16_t& used(Region r);

    // Parallel port: base address and the copy of the control register.
    int16_t portaddr = 0;
    uint8_t ctrlshadow = 0;
    // The copy of the data register, kept like ctrlshadow.
    uint8_t datashadow = 0;
    // The board's lines on the port's pins.
    Wiring wiring = originalwiring();
    // Clock phases are timed from the clock edges alone: each edge a
    // microsecond after the one before, the data line changed in between
    // (every chip but the original four, whose recorded traffic holds a
    // microsecond after every line change).
    bool edgetimed = false;
    // How long the original chips' waits last, in ms (7 to 20): each word's
    // programming cycle, the erase, and the entry into programming mode. An
    // old 16C84 may want 10.
    int16_t tprog = 7;

    std::string dumpfile;
    std::string startdir;
    std::string windir;
    std::string tempfile;

    // Running fields of the dump writers.
    int16_t dumppos = 0;
    int16_t hexaddr = 0;
    int16_t hexsum = 0;
    int16_t hexpos = 0;
    uint8_t hexbyte = 0;
    int16_t addrhi = 0;
    int16_t addrlo = 0;
    std::string addrhistr, addrlostr, bytestr, sumstr;
};
