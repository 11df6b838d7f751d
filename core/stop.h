// The one "stop" flag of a run. Ctrl-C and SIGTERM, Escape or closing the
// window set it; operations look at it between words
// (and the command line's waits between clock phases) and end with the
// board idle. Setting it is safe from a signal handler and from any thread.
#pragma once

namespace stop {

void request();
bool requested();
void clear();  // before the next operation (the window, tests)

// SIGINT and SIGTERM request a stop and are remembered as a wish to end the
// whole run (installed without SA_RESTART, so a read from the terminal
// returns at once).
void catchsignals();
bool signalled();

}  // namespace stop
