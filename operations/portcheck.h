// SPDX-License-Identifier: GPL-2.0-or-later
// Why the chosen port cannot be reached, told to the person: the window has
// no standard error to read, so the reason goes into the status list.
#pragma once
#include <optional>
#include <string>

#include "core/frontend.h"
#include "core/state.h"

// The reason and its fix when the port library cannot reach s.portaddr
// through the kernel's device; nothing when it can, or when the library is
// the simulated board.
std::optional<std::string> portproblem(const State& s);

// Once per port and run: that reason as a status line ("quibb9x: ...").
// Safe from any thread.
void noteunreachableport(const State& s, Frontend& f);
