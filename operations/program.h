// SPDX-License-Identifier: GPL-2.0-or-later
// Burn, verify and read-out: whole-device passes over the chip's memories.
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"
#include "image/dumps.h"
#include "operations/regionpass.h"

// One whole-device pass in the given mode; true when every region passed
// (a read-out is false only when stopped). Always ends with allpinslow.
// A burn of a chip other than the original four erases it first
// (operations/erasefirst.h). `out` takes a read-out's words; `closed`, when
// given, is set when a verify matched every word but those that protection
// closes (the pass is then false: those could not be verified).
bool program2(State& s, Frontend& f, int16_t mode, WordSink* out = nullptr, bool* closed = nullptr);

// The read-out that the dump writers are given: program2 in read-out mode.
ChipReader chipreader(State& s, Frontend& f);
