// SPDX-License-Identifier: GPL-2.0-or-later
// A write cycle as a chip's row gives it (devices/chiptable.h): its begin
// command, its wait, and where the chip has them its end command and the
// discharge wait after it.
#pragma once
#include <cstdint>

#include "state.h"

struct WriteCycle;

// Waits at least that many microseconds: whole milliseconds as sleeps, the
// rest watching the clock.
void waitmicro(int32_t microseconds);

// A wait as the chip's row gives it, for this run: the original chips wait
// their one programming time everywhere, 7 ms unless --tprog lengthens it.
int32_t rowwait(const State& s, int32_t microseconds);

// One write cycle of the words already loaded.
void writecycle(State& s, const WriteCycle& c);

// Loads one word with the given Load Data command and writes it.
void writeword(State& s, const WriteCycle& c, uint8_t loadcommand, int16_t word);
