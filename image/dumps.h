// SPDX-License-Identifier: GPL-2.0-or-later
// The HEX and BIN dump writers: read the whole chip through the read-out pass
// and save it to s.dumpfile.
#pragma once
#include <string>

#include "core/frontend.h"
#include "core/state.h"

// Two upper-case hexadecimal digits of a value 0..255.
std::string formato(int numero);

// Each returns true when the file was written; false after the file-error
// box, or when the read-out was stopped (no box; no file is left). A file
// that replaces an existing one keeps its permission bits.
bool save_bin(State& s, Frontend& f);
bool save_hex(State& s, Frontend& f);
