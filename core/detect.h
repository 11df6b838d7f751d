// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include <cstdint>

#include "state.h"

// Does the board answer on portaddr? 1 = found, 0 = not found. The read-back
// must be 0 while the PC drives the data line and 1 once it releases it.
int16_t detecthardware(State& s);
