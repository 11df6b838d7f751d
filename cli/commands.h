// The command line: the same operations the window's buttons run, on the
// same start-up, through the console front end.
#pragma once
#include <string>
#include <vector>

#include "cli/options.h"
#include "core/frontend.h"
#include "core/state.h"
#include "ui/configword.h"

namespace cli {

// Start-up as the window does it, without widgets: the record and the port's
// idle state, PIC 16F84 and LPT2, the settings file (device, port,
// configuration word), then the run's overrides of device and port. The
// configuration override waits until the image is loaded (runcommand).
void clistartup(State& s, ConfigEditor& editor, const Overrides& overrides);

// Runs one command after start-up; returns its exit status. May throw
// Interrupted from inside an operation.
int runcommand(const Options& o, State& s, ConfigEditor& editor, Frontend& f);

// The whole command line: start-up, the command, and the idle board after an
// interruption. Needs no display.
int runcli(const Options& o);

// Entry point of the program: parses the arguments, then either opens the
// window or runs the command line.
int climain(int argc, char** argv);

}  // namespace cli
