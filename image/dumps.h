// SPDX-License-Identifier: GPL-2.0-or-later
// The HEX and BIN dump writers: they read the whole chip through the reader
// they are given and save it to s.dumpfile, laid out as the read-out image.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"

// Where a read-out puts each word it reads, by the word's address.
class WordSink {
public:
    virtual ~WordSink() = default;
    virtual void put(int32_t address, int16_t word) = 0;
};

// Reads the whole chip into a sink (operations/program.h: chipreader);
// false when the read-out was stopped.
using ChipReader = std::function<bool(WordSink&)>;

// Two upper-case hexadecimal digits of a value 0..255.
std::string formato(int numero);

// The 1-based byte position of a word in the read-out image (the BIN file):
// on the original chips region base + 2i for word i of a region, low byte
// first (so the configuration word's low byte covers ID word 3's high
// byte); on the others the HEX file's byte address, 2 × address.
int32_t dumpposition(const State& s, int32_t address);

// Each returns true when the file was written; false after the file-error
// box, or when the read-out was stopped (no box; no file is left). The chip
// is read only once the target is known to take the file. A file that
// replaces an existing one keeps its permission bits.
bool save_bin(State& s, Frontend& f, const ChipReader& read);
bool save_hex(State& s, Frontend& f, const ChipReader& read);

// What a read-out that was saved gave, for its record: the chip's bytes in
// the read-out's layout, and the bytes of the file written.
struct ReadOut {
    std::vector<uint8_t> chip;
    std::string file;
};
bool save_bin(State& s, Frontend& f, const ChipReader& read, ReadOut& out);
bool save_hex(State& s, Frontend& f, const ChipReader& read, ReadOut& out);
