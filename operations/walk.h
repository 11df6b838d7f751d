// SPDX-License-Identifier: GPL-2.0-or-later
// The walk over the chip's memories, which burn, verify, the read-outs,
// --only-changed and the blank check all go through. A plan lists the
// memories to visit, in order, each with how many of its words and the
// image's words for them; the walk moves the chip's address counter to each
// memory's first word (entering programming mode, Load Configuration and
// increments, as the address needs) and hands the memory to a visitor, which
// does its words.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"

struct Visit {
    const Memory* memory;
    int16_t count;      // words visited, from the memory's first
    int16_t* image;     // the image's words for them
    const char* line;   // the status line before it; nullptr: none
    bool fresh;         // reached through a new entry into programming mode

    int32_t address(int i) const { return memory->address + i; }
};
using Plan = std::vector<Visit>;

// Burn, verify and --only-changed: program memory, ID locations, data
// memory, then the configuration words, each as far as the image's counter
// goes. The configuration words come last, after a new entry: once their
// code-protection bits are programmed, the next entry closes the chip.
Plan burnplan(State& s);
// The same without the configuration words, and those alone: the chips
// erased before a burn write and read back the rest before protection can
// close the chip.
Plan bodyplan(State& s);
Plan configplan(State& s);
// The read-out: the burn's order over all a read-out covers; the image's
// counters are set to it.
Plan readoutplan(State& s);
// The blank check: every word the chip has, the configuration words before
// the data memory. Calibration words are no part of it.
Plan blankplan(State& s);

// Does one memory's words and leaves the counter one past the last (each
// word's Increment Address sent); false stops the walk.
using Visitor = std::function<bool(const Visit&)>;
// Visits the plan in turn; a front end given shows each visit's line.
// False at the first visit that returned false. The board is left as the
// last visitor left it.
bool walk(State& s, Frontend* f, const Plan& plan, const Visitor& visit);

// Moves the counter from `counter` (-1: outside programming mode) to
// `address`: a new entry when asked for or when stepping cannot get there,
// Load Configuration from program memory into configuration space, then
// increments. `counter` becomes `address`.
void moveto(State& s, int32_t address, bool fresh, int32_t& counter);

// Read Data at the counter: the word under the memory's mask.
int16_t readword(State& s, const Memory& m);

// Enters programming mode, reads one word of configuration space (0x2000
// to 0x200F: Load Configuration, then increments) and leaves the board
// idle.
int16_t readconfigspace(State& s, int32_t address);

// Whether a configuration word closes the chip (any part of it then reads
// as zeros).
bool codeprotected(const State& s, int16_t config);
