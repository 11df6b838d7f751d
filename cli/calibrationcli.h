// SPDX-License-Identifier: GPL-2.0-or-later
// The command line's side of the factory calibration some chips carry
// (operations/calibration.h): the checks before an erase, the `calibration`
// command's line, and what `devices` says of those calibrations. Each check returns exitok when the run may go on, else the
// exit status after one line on standard error.
#pragma once
#include <iosfwd>
#include <string>

#include "cli/options.h"
#include "core/state.h"

namespace cli {

// --osccal and --bandgap give values of a chip that has them (usage).
int checkcalibrationoptions(const Options& o, const ChipRow& row);

// Before anything is erased (burn, erase): the chip's calibration is read,
// and refused when it is no calibration and the person gave none.
int checkcalibration(State& s);

// burn: a program that uses a register the chip lacks was written for a
// chip of its kin (image/kinship.h): refused before the chip.
int checkkinship(const Options& o, const State& s, const ChipRow& row);

// "PIC12F629 calibration: OSCCAL 0x3494, band-gap bits 10", read from the
// chosen chip; empty for a chip without one.
std::string calibrationline(State& s);

// `devices`, after its table: the chips that carry a calibration that an
// erase clears, and what it is.
void listcalibrations(std::ostream& out);

}  // namespace cli
