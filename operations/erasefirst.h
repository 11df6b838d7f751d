// SPDX-License-Identifier: GPL-2.0-or-later
// The burn of every chip that is not one of the original four: erase the
// whole chip, program every region from the image, read every word back,
// and only then write and read back the configuration word(s), so that code
// protection cannot close the chip before it was checked. The row's write
// cycles and waits are used throughout; a stop is taken between write
// cycles, never inside one.
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"

// Waits at least that many microseconds: whole milliseconds as sleeps, the
// rest watching the clock.
void waitmicro(int32_t microseconds);

// One write cycle of a word already loaded: the begin command, its wait,
// the end command and the discharge wait where the row has them.
void writecycle(State& s, const WriteCycle& c);

// Loads one word with the given Load Data command and writes it.
void writeword(State& s, const WriteCycle& c, uint8_t loadcommand, int16_t word);

// Erases the whole chip the row's way, code and data protection included,
// and leaves programming mode. A front end given is told of each wait.
void erasewhole(State& s, const ChipRow& row, Frontend* f = nullptr);

// The whole burn; true when every word read back as written. Ends with
// allpinslow.
bool burnerasefirst(State& s, Frontend& f);
