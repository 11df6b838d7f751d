// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"
#include "operations/calibration.h"

// Asks "Are you sure you want to erase the PIC?" and, on Yes, erases the
// whole chip, code protection included, keeping its factory calibration.
// Returns false when the answer was No (nothing sent, status list
// untouched) and, after a box, when the calibration stopped the erase or was
// not written back; `confirmed` tells the two apart.
bool erasechip(State& s, Frontend& f, bool* confirmed = nullptr);

// Erases the whole chip as its row's erase sequence says, code and data
// protection included, and leaves programming mode. A chip whose erase
// clears a factory calibration (operations/calibration.h) has it read first
// and written back after, as `kept` then tells; when what it reads is no
// calibration and the person gave none, nothing is erased and the result is
// false. A front end given is shown the sequence's lines and told of each
// wait.
bool erasewhole(State& s, const ChipRow& row, Frontend* f = nullptr, KeptCalibration* kept = nullptr);
