// SPDX-License-Identifier: GPL-2.0-or-later
// The one "stop" flag of a run. Ctrl-C, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE,
// Escape or closing the window set it; operations look at it between words
// (and the command line's waits between clock phases) and end with the
// board idle. Setting it is safe from a signal handler and from any thread.
#pragma once

namespace stop {

void request();
bool requested();
void clear();  // before the next operation (the window, tests)

// SIGINT, SIGTERM, SIGHUP (the terminal went away), SIGQUIT and SIGPIPE (a
// write to a closed output, which then fails instead of ending the program)
// request a stop and are remembered as a wish to end the whole run
// (installed without SA_RESTART, so a read from the terminal returns at
// once). A signal the caller ignored (a script's background job) stays
// ignored.
void catchsignals();
bool signalled();
// The first of these signals that came, 0 before any.
int signalnumber();
// The exit status for that signal: 130 for Ctrl-C and SIGTERM, as always,
// 128 + its number for the others.
int exitstatus();
void forgetsignal();  // tests that run several commands in one process

}  // namespace stop
