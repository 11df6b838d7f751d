// SPDX-License-Identifier: GPL-2.0-or-later
// The program's arguments: an optional command with its file, and the options
// that hold for the window as well as for the command line.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/serial.h"
#include "core/overrides.h"
#include "devices/chiptable.h"

namespace cli {

// Exit statuses of the command line.
enum Exit : int {
    exitok = 0,
    exitfailed = 1,        // a file not loaded or not written, no board, the counter or the log
    exitusage = 2,         // bad arguments; one line on standard error says why
    // What a script tells apart to deal with the chip in the socket:
    exitverify = 3,        // a word read back differs from the file
    exitwrongchip = 4,     // the socket holds another chip, or none that answers
    exitprotected = 5,     // the chip is code-protected, so it cannot be read
    exitinterrupted = 130  // SIGINT or SIGTERM (128 + n for the others); the board was left idle
};

struct Options {
    std::string command;  // empty: the window
    std::string file;
    bool yes = false;
    bool onlyChanged = false;  // burn only the words that differ
    bool quiet = false;        // only the errors and the result line
    bool simulate = false;
    bool help = false;
    bool version = false;
    bool quitAfterStart = false;  // benchmark aid: the window quits at once
    std::string vcd;      // capture the board's lines into this file; empty: none
    Overrides overrides;
    // A production run.
    SerialSetup serial;    // --serial FILE and its companions
    std::string log;      // --log FILE: a line per chip
    bool json = false;    // the chip's record on standard output instead of the text
    bool repeat = false;  // chip after chip
};

// The commands, in the order the help lists them, and whether each takes a
// file.
struct Command {
    const char* name;
    bool needsFile;
    const char* summary;
};
const std::vector<Command>& commands();

// Parses the arguments (program name first). False on a usage error, with a
// one-line reason in `error`.
bool parseoptions(const std::vector<std::string>& args, Options& out, std::string& error);

// The help text. Needs a QCoreApplication.
std::string helptext();

// Option values: nullopt when the text is not one of the accepted forms.
// 1, 2 or 3; 16F84A is the 16F84's 2 and sets *f84a.
std::optional<int16_t> parsedevice(const std::string& text, bool* f84a = nullptr);
// Any chip of the table, in any of its name forms; nullptr when none.
const ChipRow* parsechip(const std::string& text);
std::optional<int16_t> parseport(const std::string& text);    // 16-bit pattern
std::optional<int16_t> parseconfig(const std::string& text);  // 0 to 0x3FFF
std::optional<int16_t> parsetprog(const std::string& text);   // 7 to 20, in decimal

}  // namespace cli
