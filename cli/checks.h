// SPDX-License-Identifier: GPL-2.0-or-later
// What the command line checks before the chip enters programming mode, so a
// command that cannot do what was asked refuses with a reason instead of
// reporting a wrong chip as SUCCESS. Each check returns exitok when the run may
// go on, else the exit status after one line on standard error
// ("quibb9x: what happened; what to do").
#pragma once
#include <iosfwd>
#include <string>

#include "cli/options.h"
#include "core/state.h"

namespace cli {

// Port 0: none given and none in the settings file, or given as 0 (usage).
int checkport(const Options& o, const State& s);

// The HEX file as the reader would read it: a regular file of at most
// 16 MiB, every line a record (none skipped), none cut short, nothing but
// hexadecimal digits in its fields, every checksum right, every word one the
// chosen chip (`s`) has, no data byte at an odd address or without its high
// byte, at least one data record, and the end record. Throws Interrupted at
// Ctrl-C.
int checkhexfile(const std::string& path, const State& s);

// Burn and verify need a configuration word from the file, --config or the
// settings file (usage). `filehasone`: the loaded file had a record for it.
int checkconfigword(const Options& o, const State& s, bool filehasone);

// A dump's target can be written: "-", a stream we may write, or a file
// whose place (a link's target's) takes a new file beside it; never a
// directory.
int checktarget(const std::string& path);

// A board answers at the port; else names the port and, on real hardware,
// why the port cannot be reached. `skip` (--no-check): nothing is checked.
int checkboard(State& s, bool skip = false);

// Reads the configuration word (a short visit to programming mode) and
// refuses a code-protected chip, whose memory reads as zeros.
int checkprotection(State& s);

// `quibb9x ports`: every parallel port the kernel knows, one per line, and
// whether this user may open it (with the fix when not).
int listports(std::ostream& out);

}  // namespace cli
