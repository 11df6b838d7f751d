// SPDX-License-Identifier: GPL-2.0-or-later
// The --vcd option: a capture of the board's lines for the whole run, opened
// before the port is first touched and closed after the board is idle again.
#pragma once
#include <string>
#include <vector>

namespace cli {

// A file of the run the capture must never take the place of, and what it
// is ("the HEX file", "the settings file", ...).
struct RunFile {
    std::string path;
    std::string what;
};

// Refuses a capture path that (links followed) is one of `keep`, before any
// file is touched; then creates the file and starts the capture. Either
// failure is said on standard error (path and reason): false.
bool startcapture(const std::string& path, const std::vector<RunFile>& keep = {});

// Writes the rest and closes the file; when any of it could not be written,
// says so on standard error and returns false. True when nothing was open.
bool finishcapture(const std::string& path);

// The files of every run: the settings file in the current directory and the
// simulated board's chip file (when one is kept).
std::vector<RunFile> runfiles();

}  // namespace cli
