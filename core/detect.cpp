// SPDX-License-Identifier: GPL-2.0-or-later
#include "detect.h"

#include "lines.h"

// The read-back must be low while the PC drives the data line and high once
// it lets go. Where the board has a direction line the PC drives the line
// high, and the read-back, behind the driver, must still read low; without
// one, data out low is the PC driving.
int16_t detecthardware(State& s) {
    datawritable(s);
    if (s.wiring.has(LINE_DATADIR)) dataup(s);
    delay(10);
    const int16_t first = datain(s);
    if (first == 1) return 0;
    datareadable(s);
    dataup(s);
    delay(10);
    const int16_t second = datain(s);
    return second != 0 ? 1 : 0;
}
