// SPDX-License-Identifier: GPL-2.0-or-later
// A logic-analyser capture of the board's lines, written as a Value Change
// Dump (IEEE 1364) that GTKWave, PulseView and sigrok-cli open. The binding
// hands every port access to it, so it records what any port library was
// asked to do; it decodes the register bytes with the board's line map:
//   vpp       1 while the programming voltage is on (control bit 2 clear)
//   clock     the clock pin's level (control bit 0 clear)
//   data      the data line: pin 14 while the PC drives it, what each status
//             read shows while the chip has it, x until the first such read
//   data_dir  1 while the PC drives the data line (control bit 3 set)
//   data_in   what the PC read back (status bit 7 clear), at each status read
// Times are nanoseconds of the waits' clock (the monotonic clock) since the
// capture was opened. The text is kept in memory and written in blocks (at
// most 100 ms apart, and whenever programming mode ends), so a capture costs
// a burn next to nothing and a killed run leaves what it did up to its last
// block. The file is written as the dumps write theirs (core/outputfile.h):
// a new file beside the target, renamed into place when the capture is
// closed; a pipe or device is written as a stream.
//
// One run captures from one thread at a time, like the lines themselves.
#pragma once
#include <cstdint>
#include <string>

#include "wiring.h"

namespace capture {

// The board whose lines are decoded (the original one unless told); give it
// before open, which declares the wires it has.
void board(const Wiring& w);

// Creates the capture's file, writes the header and starts capturing.
// False, with the system's reason in `why`, when the file cannot be created
// or the header cannot be written (a full disk is found here).
bool open(const std::string& path, std::string& why);
// Writes what is left and puts the file in place. False, with the reason in
// `why`, when any part of the capture could not be written (the old file of
// that name is then kept). Nothing to do (true)
// when no capture is open. Also done at exit if nobody closed it.
bool close(std::string& why);
bool active();

// The base address of the board's registers (data; status at +1, control at
// +2). The lines name it before every access.
void portbase(int32_t base);

// Called by the binding after each port access.
void written(int32_t port, int32_t value);
void read(int32_t port, int32_t value);

}  // namespace capture
