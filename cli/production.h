// SPDX-License-Identifier: GPL-2.0-or-later
// A production run: burn, verify or a read-out with a record of each chip
// (--log, --json), serial numbers (--serial) and chip after chip (--repeat).
// Everything that can be known before the board is touched is checked
// first: the counter file, the log and the serial's place in the HEX file.
#pragma once
#include "cli/options.h"
#include "cli/record.h"
#include "core/state.h"
#include "settings/configword.h"

namespace cli {

// Whether the options ask for a production run.
bool productionrun(const Options& o);

// Runs the command once, or chip after chip, with its records; returns the
// exit status. Throws Interrupted (after the chip's record) when a signal
// came while a chip was worked on; between chips it ends the batch.
int runproduction(const Options& o, State& s, ConfigEditor& editor, RecordingConsole& f);

}  // namespace cli
