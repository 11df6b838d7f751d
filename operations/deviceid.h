// SPDX-License-Identifier: GPL-2.0-or-later
// The device ID at word 0x2006 (devices/chiptable.h: deviceidaddress): on
// the PIC16F84A 0x0560 plus the revision in bits 4:0. The PIC16F84,
// PIC16C84 and PIC16F83 have none; the word reads 0x3FFF there, as it does
// with an empty socket (the line is pulled high).
#pragma once
#include <cstdint>
#include <string>

#include "core/state.h"
#include "devices/chiptable.h"

// Enters programming mode, reads the device ID's word (load configuration,
// six increments, read) and leaves the board idle.
int16_t readdeviceid(State& s);

bool isf84a(int16_t id);  // the PIC16F84A's device ID, any revision

// "PIC16F84A, revision 1" (any chip of the table), the line for a chip
// without an ID, a known chip the program cannot program, or that the word
// is no ID this program knows.
std::string describedeviceid(int16_t id);
