// SPDX-License-Identifier: GPL-2.0-or-later
// The program's entry: the arguments choose the face. Without a command it
// opens the window (ui/); with a command, --help or --version it runs the
// command line (cli/), which needs no display.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/linecapture.h"
#include "cli/options.h"
#include "core/binding.h"
#include "ui/app.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    cli::Options o;
    std::string error;
    if (!cli::parseoptions(args, o, error)) return cli::usage(error);

    if (o.command.empty() && !o.help && !o.version) {
        if (o.simulate) binding::chooseSimulated();
        if (!o.vcd.empty() && !cli::startcapture(o.vcd, cli::runfiles())) return cli::exitfailed;
        const int status = runwindow(argc, argv, o.overrides, o.quitAfterStart);
        return cli::finishcapture(o.vcd) ? status : cli::exitfailed;
    }
    return cli::climain(argc, argv, o);
}
