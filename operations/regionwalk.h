// SPDX-License-Identifier: GPL-2.0-or-later
// The order in which an operation visits the chip's regions, and how the
// address counter gets from one region to the next. Burn, verify, the
// read-outs, --only-changed and the blank check all walk the chip through
// these lists; the family of the selected chip decides what is in them.
#pragma once
#include <cstdint>
#include <vector>

#include "core/state.h"
#include "devices/chiptable.h"

// How the counter reaches a region's first word.
enum class Move : uint8_t {
    enter,            // (re-)enter programming mode: counter 0
    loadconfig,       // Load Configuration (0x2000), then increments up to the base
    enterloadconfig,  // enter, then as loadconfig
    step,             // increments on from where the previous region ended
};

struct Region {
    const char* line;      // the status line before the region; nullptr: none
    int32_t base;          // word address of element 0
    int16_t* image;        // the state record's array
    int16_t* count;        // words to visit (a field of the record, or of the walk)
    int16_t mask;          // bits compared and programmed
    uint8_t writecommand;  // Load Data for Program or for Data Memory
    uint8_t readcommand;
    const WriteCycle* cycle;  // the row's cycle; nullptr: the original chips' progcycle
    Move move;
};

// Regions point into the walk itself (CONFIG2's count), so a walk stays
// where it was made.
struct Walk {
    Walk() = default;
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
    std::vector<Region> regions;
    int16_t config2count = 0;  // CONFIG2 is visited when this is 1
    int16_t configcount = 1;   // CONFIG1 alone, where the chip has CONFIG2
};

// Burn, verify, read-out and --only-changed: program memory, ID locations,
// data memory, then the configuration word(s), each as the file (or the
// read-out's full size) gives it.
void burnwalk(State& s, Walk& w);
// The same without the configuration words, and with them alone: the
// erase-first families write and read back the rest before protection can
// close the chip.
void bodywalk(State& s, Walk& w);
void configwalk(State& s, Walk& w);
// The blank check: every word the chip has, the configuration word before
// the data memory.
void blankwalk(State& s, Walk& w);

// Moves the counter to the region's first word; `counter` is where it is
// (program and data memory count from 0, configuration space from 0x2000)
// and becomes the region's base. Visiting a region's words moves it on by
// their count.
void moveto(State& s, const Region& r, int32_t& counter);
