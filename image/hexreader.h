// The Intel HEX reader: lists every line in the file list, validates and
// decodes each record, stores the words region by region and reports each
// region's word count in the status list.
#pragma once
#include <cstdint>
#include <string>

#include "core/frontend.h"
#include "core/state.h"

// 1 when the line is a valid record (start code, byte count at most 32,
// checksum), else 0.
int16_t validhexline(const std::string& s);

// Loads the named file into the image. Returns true on the success path
// (summary lines shown), false on the failure path ("Unable to load file.",
// counters 0, "No file loaded."). Enabling Burn and Verify and refreshing the
// configuration editor are the caller's part, after the return.
bool loadhexfile(State& s, Frontend& f, const std::string& filename);
