// SPDX-License-Identifier: GPL-2.0-or-later
// The Intel HEX reader: lists every line in the file list, validates and
// decodes each record, stores the words region by region and reports each
// region's word count in the status list.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/frontend.h"
#include "core/state.h"

// A hexadecimal field of `length` characters at 1-based `position`. Blanks and
// tabs are ignored, reading stops at the first other non-digit, and positions
// past the end of the line read as blanks.
int32_t readfield(const std::string& s, size_t position, size_t length);

// One item of the file, read free-format: leading blanks skipped, ended by a
// line end (LF, CR LF or CR), by a comma (the rest of the line is the next
// item) or by the end of the file. Only the first 256 characters are kept.
// Returns false when the file has nothing more to read.
bool readitem(FILE* fp, std::string& item);

// Where a valid record's words go, as the reader stores them: true for a
// data record, with its first word address and its number of words; false
// for the end record and the address records (types 02 and 04 set `upper`,
// the offset later records' addresses are added to; 0 at the start).
bool recordwords(const std::string& line, int64_t& upper, int64_t& first, int32_t& count);

// 1 when the line is a valid record (start code, byte count at most 32,
// checksum), else 0.
int16_t validhexline(const std::string& s);

// Loads the named file into the image. Returns true on the success path
// (summary lines shown), false on the failure path ("Unable to load file.",
// counters 0, "No file loaded."). Enabling Burn and Verify and refreshing the
// configuration editor are the caller's part, after the return.
bool loadhexfile(State& s, Frontend& f, const std::string& filename);
