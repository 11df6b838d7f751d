// SPDX-License-Identifier: GPL-2.0-or-later
// The command line: the same operations the window's buttons run, on the
// same start-up, through the console front end.
#pragma once
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "core/frontend.h"
#include "core/state.h"
#include "image/dumps.h"
#include "settings/configword.h"

namespace cli {

// Start-up as the window does it, without widgets: the record and the port's
// idle state, PIC 16F84 and LPT2, the settings file (device, port,
// configuration word), then the run's overrides of device and port. The
// configuration override waits until the image is loaded (runcommand).
void clistartup(State& s, ConfigEditor& editor, const Overrides& overrides);

// What a recorded run (cli/production.h) adds to a command: told once every
// check has passed, right before the chip is burnt, verified or read (a
// refusal's exit status ends the command there), of the words a burn of only
// the changed words counted, and of what a read-out saved.
class ChipHooks {
public:
    virtual ~ChipHooks() = default;
    virtual int beforechip(State& s, ConsoleFrontend& f) = 0;
    virtual void counted(int written, int verified) = 0;
    virtual void readout(const State& s, const ReadOut& r) = 0;
    // Program words the run put into the image beyond the file's own (a
    // serial number), for the file's checksum.
    virtual void addgiven(std::vector<bool>& given) const = 0;
};

// Runs one command after start-up; returns its exit status. May throw
// Interrupted from inside an operation.
int runcommand(const Options& o, State& s, ConfigEditor& editor, ConsoleFrontend& f,
               ChipHooks* hooks = nullptr);

// The whole command line: start-up, the command, and the idle board after an
// interruption. Needs no display.
int runcli(const Options& o);

// The command line as the program's entry runs it, with the arguments
// already parsed into `o`: --help, --version or a command.
int climain(int argc, char** argv, const Options& o);

// One line on standard error naming the mistake and pointing to --help;
// returns the usage exit status.
int usage(const std::string& why);

}  // namespace cli
