// SPDX-License-Identifier: GPL-2.0-or-later
// Choosing a chip: the state record points at its row and its image is
// fitted to it. Both faces, the window's device options and its "Other:"
// list choose through selectchip.
#pragma once
#include "chiptable.h"
#include "core/state.h"

// Points the record at the row: picmodel for the original chips' options,
// the image fitted to the chip (words already held are kept), vppfirst.
void selectchip(State& s, const ChipRow& row);

// The chosen row; without one, the row of picmodel (the 16C84 for 0, as
// start-up leaves the record).
const ChipRow& currentchip(const State& s);

// The row start-up chooses before the device options: the 16C84's.
const ChipRow& startrow();

// Grows each region of the image to hold what a read-out of the chip
// covers; words already there stay.
void fitimage(State& s, const ChipRow& row);

// The window's "Auto": the image takes a file for any chip of the table
// until a chip is selected.
void widenimage(State& s);

// How many words of a region the image takes from a file: the chosen
// chip's, or under "Auto" the most any chip has.
int16_t imagewords(const State& s, Region r);
