// SPDX-License-Identifier: GPL-2.0-or-later
// The command line run in-process, its two streams kept apart from the
// test's own: for tests and benchmarks that drive whole commands.
#pragma once
#include <iostream>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"

struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun runcaptured(const cli::Options& o) {
    std::ostringstream out, err;
    auto* oldout = std::cout.rdbuf(out.rdbuf());
    auto* olderr = std::cerr.rdbuf(err.rdbuf());
    const int status = cli::runcli(o);
    std::cout.rdbuf(oldout);
    std::cerr.rdbuf(olderr);
    return {status, out.str(), err.str()};
}
