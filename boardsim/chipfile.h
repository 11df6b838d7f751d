// SPDX-License-Identifier: GPL-2.0-or-later
// The file that keeps the simulated chip between runs: a readable text.
//
//   quibb9x simulated chip, format 1
//   chip PIC16F84
//   protected 0
//   program 1024
//   3FFF 3FFF ...            (16 words a line)
//   id 4
//   3FFF 3FFF 3FFF 3FFF
//   config 1
//   3FFF
//   data 64
//   FF FF ...                (16 bytes a line)
//   end
//
// Each chip has its own sizes: "program 2048", "config 2" (CONFIG2 after the
// configuration word on the 16F87/88 and 16F88x), "data 128", "data 0" (the
// 16F716). A chip with a calibration word in configuration space has
// "calibration 1" and the word between config and data; the 12F629's OSCCAL
// and band-gap bits are in its program memory and configuration word.
#pragma once
#include <string>

#include "chip.h"

namespace boardsim {

const char* kindName(int kind);  // "PIC16F84", "PIC16F628A", ...; "empty socket" for 0

std::string formatChipFile(int kind, const Cells& cells, bool protectedNow);

// Reads a file's text for a chip of the given kind. On failure returns false
// and says why in `why` (another chip kind, or where the text is damaged);
// `cells` and `protectedNow` are then untouched.
bool parseChipFile(const std::string& text, int kind, Cells& cells, bool& protectedNow,
                   std::string& why);

// The chip file's text, read only when it is a regular file of at most
// CHIP_FILE_LIMIT bytes (never a device or fifo, never read whole before the
// check). 1 read, 0 missing, -1 refused or unreadable with the reason in `why`.
constexpr size_t CHIP_FILE_LIMIT = 1u << 20;
int readChipFile(const std::string& path, std::string& text, std::string& why);

// Writes beside the target and renames over it, so a reader never sees a
// half-written file. On failure returns false with the reason in `why`.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& why);

// The chip a file's text names on its second line ("PIC16F84"), or empty
// when the text is not a simulated chip file.
std::string heldChip(const std::string& text);

// The name of a kind's own file in a folder of chip files:
// "simulated-PIC16F628A.txt".
std::string chipFileName(int kind);

// Renames `from` to `to` unless `to` exists: 1 moved, 0 `to` exists (nothing
// moved), -1 failed with the reason in `why`.
int moveWithoutReplacing(const std::string& from, const std::string& to, std::string& why);

// Moves `from` to `base`, or when that is taken to base.1, base.2, ...;
// true with the name it chose (empty when `from` does not exist).
bool moveAside(const std::string& from, const std::string& base, std::string& chosen, std::string& why);

}  // namespace boardsim
