// SPDX-License-Identifier: GPL-2.0-or-later
// Selecting a chip: the state record takes the row's sizes, masks and
// command codes.
#pragma once
#include "chiptable.h"
#include "core/state.h"

// Sets the chip, picmodel (for the original chips), the region sizes, the
// configuration mask and default, the command codes and vppfirst.
void selectchip(State& s, const ChipRow& row);

// The selected row; without one, the row of picmodel (the 16C84 for 0, as
// start-up leaves the record).
const ChipRow& currentchip(const State& s);
