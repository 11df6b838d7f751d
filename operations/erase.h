// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include "core/frontend.h"
#include "core/state.h"

// Asks "Are you sure you want to erase the PIC?" and, on Yes, bulk-erases the
// whole chip, code protection included. Returns false when the answer was No
// (nothing sent, status list untouched).
bool erasechip(State& s, Frontend& f);
