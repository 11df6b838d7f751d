// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration word(s) of the chips burnt erase-first: each written and
// read back before the counter moves on, in one visit to programming mode.
// A word that selects the internal oscillator with MCLR off is so checked
// before Vpp drops; once it is left, a board that keeps VDD on cannot enter
// the chip again, and a read on a new entry would find only the released
// data line.
#pragma once
#include "core/frontend.h"
#include "core/state.h"
#include "operations/walk.h"

// Writes the plan's configuration words (configplan, or that with the
// chip's own calibration bits in place): true when every word read back as
// written, under the bits a burn compares; the first mismatch is reported as
// a burn reports it, and a stop is taken between words. Programming mode is
// left to the caller.
bool burnconfigwords(State& s, Frontend& f, const Plan& plan);
