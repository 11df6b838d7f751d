// SPDX-License-Identifier: GPL-2.0-or-later
// The HEX and BIN dump writers: read the whole chip through the read-out pass
// and save it to s.dumpfile.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"

// Two upper-case hexadecimal digits of a value 0..255.
std::string formato(int numero);

// Each returns true when the file was written; false after the file-error
// box, or when the read-out was stopped (no box; no file is left). A file
// that replaces an existing one keeps its permission bits.
bool save_bin(State& s, Frontend& f);
bool save_hex(State& s, Frontend& f);

// What a read-out that was saved gave, for its record: the chip's bytes in
// the read-out's layout, and the bytes of the file written.
struct ReadOut {
    std::vector<uint8_t> chip;
    std::string file;
};
bool save_bin(State& s, Frontend& f, ReadOut& out);
bool save_hex(State& s, Frontend& f, ReadOut& out);
