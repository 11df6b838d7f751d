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
    // The check proves nothing on this board (Wiring::checkdocumented):
    // `undocumented` says why, for the face to add its way round it.
    std::string undocumented;
};

// Nothing when the board answers at s.portaddr (detecthardware: the data
// line read back, no programming voltage).
std::optional<NoBoard> noboard(State& s);
// Why the check proves nothing on a board whose read-back is not documented.
std::string undocumentedcheck(const Wiring& w);

// The configuration word, masked to the device, when it closes the chip
// (its memory then reads as zeros); nothing when the chip can be read. A
// short visit to programming mode that ends with the board idle.
std::optional<int16_t> protectedword(State& s);

struct ChipRow;

// The chips after the original four are checked by their device ID before
// every operation; the original four keep the board's and the protection's
// checks (the 16F84A's ID is read only by the command line's burn and
// verify, as it always was).
bool checkedbyid(const ChipRow& row);

// Word 0x2006 is not the chosen chip's device ID (read in a short visit to
// programming mode that ends with the board idle); nothing when it is.
struct WrongChip {
    int16_t id = 0;       // as read
    std::string found;    // "word 0x2006 reads 0x3FFF: no device ID (...)"
    std::string causes;   // the chip did not answer at all: its likely causes
};
std::optional<WrongChip> wrongchip(State& s);

// Why a chip reads the released data line (0x3FFF) at every word in
// programming mode, on this board.
std::string likelycauses(const State& s, const ChipRow& row);

// A configuration word in the image that keeps this board from entering the
// chip again once burnt: the internal oscillator with MCLR off, on a board
// that does not raise Vpp before VDD for this chip. The question to ask
// before the burn, or nothing.
std::optional<std::string> lockoutquestion(const State& s);
// The note once such a burn has passed.
std::string lockoutnote(const State& s);

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
