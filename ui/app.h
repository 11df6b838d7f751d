// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
#include "core/overrides.h"

// Starts the main window and runs the event loop; returns the exit status
// (1 at once, with a line on standard error, when there is no display).
// The overrides are applied after the settings file has been read.
// `quitAfterStart` (a benchmark aid) ends the loop at its first turn.
int runwindow(int argc, char** argv, const Overrides& overrides = {},
              bool quitAfterStart = false);
