// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"

// Asks "Are you sure you want to erase the PIC?" and, on Yes, erases the
// whole chip, code protection included. Returns false when the answer was
// No (nothing sent, status list untouched).
bool erasechip(State& s, Frontend& f);

// Erases the whole chip as its row's erase sequence says, code and data
// protection included, and leaves programming mode. A front end given is
// shown the sequence's lines and told of each wait.
void erasewhole(State& s, const ChipRow& row, Frontend* f = nullptr);
