// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"

// "&Check H/W": detecthardware and the verdict's message box. Returns 1 when
// the board answered.
int16_t checkhardware(State& s, Frontend& f);

// "&Test H/W": the guided voltage tests A to D.
void troubleshoot(State& s, Frontend& f);
