// SPDX-License-Identifier: GPL-2.0-or-later
// What both faces check before the chip enters programming mode, so that an
// operation that cannot do what was asked refuses instead of reporting a
// wrong result: a board must answer at the port, and a read-out needs a chip
// that is not code-protected. Each face words the refusal and its remedy.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/state.h"
#include "devices/chiptable.h"

struct NoBoard {
    // "no board answers at port 0x278", followed by ": " and the reason
    // with its fix when the port cannot be reached at all.
    std::string what;
    bool unreachable = false;  // `what` already says what to do
};

// Nothing when the board answers at s.portaddr (detecthardware: the data
// line read back, no programming voltage).
std::optional<NoBoard> noboard(State& s);

// The configuration word, masked to the device, when it closes the chip
// (its memory then reads as zeros); nothing when the chip can be read. A
// short visit to programming mode that ends with the board idle.
std::optional<int16_t> protectedword(State& s);

// What protection closes on the chip in the socket, read from its
// configuration word (a short visit to programming mode): the words that
// read as zeros, and the word itself.
struct ClosedWords {
    std::vector<ClosedRange> ranges;
    int16_t config = 0;
};
ClosedWords closedonchip(State& s);

// Those words in a clause for a person: "its program words 0x1000-0x1FFF
// read as zeros", "its program memory reads as zeros", "its program and
// data memory read as zeros".
std::string closedclause(const ChipRow& row, const std::vector<ClosedRange>& closed);

// Whether an address lies in one of the ranges.
bool inclosed(const std::vector<ClosedRange>& closed, int32_t address);
