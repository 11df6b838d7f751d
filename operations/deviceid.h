// SPDX-License-Identifier: GPL-2.0-or-later
// The device ID at word 0x2006: on the PIC16F84A 0x0560 plus the revision in
// bits 4:0. The PIC16F84, PIC16C84 and PIC16F83 have none; the word reads
// 0x3FFF there, as it does with an empty socket (the line is pulled high).
#pragma once
#include <cstdint>
#include <string>

#include "core/state.h"

constexpr int32_t deviceidaddress = 0x2006;

// Enters programming mode, reads word 0x2006 (load configuration, six
// increments, read) and leaves the board idle.
int16_t readdeviceid(State& s);

bool isf84a(int16_t id);  // 0x0560 to 0x057F

// A chip this program knows by its device ID but cannot program (it is not
// in the chip table): its name, or nullptr.
const char* otherchipname(int16_t id);

// "PIC16F84A, revision 1" (any chip of the table), the line for a chip
// without an ID, a known chip the program cannot program, or that the word
// is no ID this program knows.
std::string describedeviceid(int16_t id);
