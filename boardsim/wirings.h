// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board's own knowledge of how boards are wired: its table of
// the well-known boards, its reading of a board file, and what the PC's port
// puts on each connector pin. Written apart from the program's table, so a
// wrong entry in one shows up against the other.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct Contact {
    int pin;
    bool activeLow;  // the line is asserted while the pin is low
};

struct BoardWiring {
    std::string name;
    std::vector<Contact> vpp, vdd, clock, dataOut, dataDir, dataIn, pgm;
};

// The board quibb9x was made for.
BoardWiring originalBoard();
// By one of the names people know it by (case, blanks, '-', '_', '.'
// ignored). False when unknown.
bool knownBoard(const std::string& name, BoardWiring& out);
// A board file ("key = pins" lines). False with the line and the reason.
bool boardFromFile(const std::string& path, BoardWiring& out, std::string& why);

// The level at a connector pin for the register bytes the PC wrote, with the
// port's own inversions (pins 1, 14 and 17 show the inverse of their bit).
bool pinHigh(int pin, uint8_t data, uint8_t control);
// A line is asserted when its first pin is at its asserted level: that pin
// works the switch, the others follow it (the original board's pin 2, the
// PIP84's socket connection on pin 9). A line the board lacks reads false.
bool asserted(const std::vector<Contact>& line, uint8_t data, uint8_t control);

// What the board makes of the register bytes.
struct BoardOutputs {
    bool vpp, vdd, clock, dataOut, pcDrives, pgm;
};
BoardOutputs decodeOutputs(const BoardWiring& w, uint8_t data, uint8_t control);

// The status byte with the read-back node at `high`: the other inputs float
// high, pin 11 reads inverted (bit 7).
uint8_t statusWith(const BoardWiring& w, bool high);

}  // namespace boardsim
