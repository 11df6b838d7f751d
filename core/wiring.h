// SPDX-License-Identifier: GPL-2.0-or-later
// How a programming board's lines sit on the PC's 25-pin parallel-port
// connector: for each line the pins it uses and the pin level that means "on"
// (Vpp on, VDD on, clock high, data 1, the PC driving the data line, PGM
// high; for data in, the level while the chip's data pin is high). The pins
// the PC itself inverts between register and connector (1, 11, 14, 17) are
// taken into account here, once, when the pins are turned into register bits.
//
// A board described in a file (`--board FILE`) uses one line per board line:
//     vpp = !16 !2     # one or more pins; ! = on while the pin is low
//     clock = 1
//     dataout = 14
//     datadir = !17    # optional: on = the PC drives the data line
//     datain = 11
//     vdd = 4          # optional, as is pgm
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum Line : uint8_t { LINE_VPP, LINE_VDD, LINE_CLOCK, LINE_DATAOUT, LINE_DATADIR, LINE_DATAIN, LINE_PGM, LINES };

// The keys of a board file, in the order above.
extern const char* const linenames[LINES];

struct BoardPin {
    uint8_t pin;  // 1 to 17
    bool onlow;   // the line is on while the pin is low
};

// One register's bits of a line, and their values while the line is on.
struct RegisterBits {
    uint8_t mask = 0;
    uint8_t on = 0;
    uint8_t off() const { return static_cast<uint8_t>(mask & ~on); }
    uint8_t set(uint8_t reg, bool lineon) const {
        return static_cast<uint8_t>((reg & ~mask) | (lineon ? on : off()));
    }
    bool ison(uint8_t reg) const { return (reg & mask) == on; }
};

struct Wiring {
    std::string name;                   // the built-in board's name, or the file as given
    std::vector<BoardPin> pins[LINES];  // empty: the board has no such line
    // Derived from the pins by wireup().
    RegisterBits data[LINES], control[LINES], status[LINES];
    uint8_t statusbit = 7;  // data in: the status bit its pin sits on
    // The board check (detecthardware) looks for the original board's
    // read-back: low while the PC drives the data line, high once it lets
    // go; without a direction line, the line itself. False for a board whose
    // documents do not say what its read-back gives while the PC drives (the
    // Asix Piccolo's data buffer): a check that fails there proves nothing.
    bool checkdocumented = true;

    bool has(Line l) const { return !pins[l].empty(); }
};

// Fills the register bits from the pins.
void wireup(Wiring& w);

// The board quibb9x was made for: clock 1, data out 14, direction !17,
// Vpp !16 and !2, data in 11. The default.
const Wiring& originalwiring();
bool isoriginal(const Wiring& w);  // the same pins as the original, under any name
bool boardswitchesvdd(const Wiring& w);

// The built-in boards: their names (the first is the one shown) and their
// pins in the board-file syntax, one line per board line.
struct BuiltinBoard {
    std::vector<std::string> names;
    std::string pins;
    bool checkdocumented = true;  // as Wiring's
};
const std::vector<BuiltinBoard>& builtinboards();
// By any of its names, ignoring case and the characters " -_.".
std::optional<Wiring> builtinboard(const std::string& name);

// Reads a board description. `origin` names it in messages ("FILE line N:").
// False with `why` saying where and what is wrong; `out` untouched then.
bool parseboard(const std::string& text, const std::string& origin, Wiring& out, std::string& why);
bool readboardfile(const std::string& path, Wiring& out, std::string& why);
// A built-in name, else a file.
bool chooseboard(const std::string& nameorfile, Wiring& out, std::string& why);

// "vpp = !16 !2, clock = 1, ..." in the order of the keys.
std::string describepins(const Wiring& w);

// Whether a line is on, given the register bytes. The lines drive all of a
// line's pins alike; the line is read from its first pin, the switch itself
// (on the original board pin 16 switches Vpp and pin 2 follows it). Data in
// is read from the status byte.
bool lineon(const Wiring& w, Line l, uint8_t data, uint8_t control);
bool datainon(const Wiring& w, uint8_t status);
// Whether the PC holds the data line: the direction line when there is one,
// else data out low (the board's open-collector driver pulls the line down;
// released at 1, the chip can pull it).
bool pcdrives(const Wiring& w, uint8_t data, uint8_t control);
