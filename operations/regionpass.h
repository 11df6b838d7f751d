// SPDX-License-Identifier: GPL-2.0-or-later
// One memory's pass of burn, verify or a read-out, and the lines and boxes
// those passes show.
#pragma once
#include <cstdint>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"
#include "image/dumps.h"
#include "operations/walk.h"

enum : int16_t { modeverify = 0, modeprogram = 1, modereadout = 2 };

// One region pass: in program mode each word is written and read back, in
// verify mode read back, both compared with the image; in read-out mode
// each word read goes to `out`. 1 when every word passed, 0 at the first
// mismatch or when a stop was asked for (core/stop.h). A verify passes over
// the words `closed` names (code protection makes them read as zeros): the
// counter only steps over them.
int16_t programall(State& s, Frontend& f, int16_t mode, const Visit& v, WordSink* out,
                   const std::vector<ClosedRange>* closed = nullptr);

void modeline(Frontend& f, int16_t mode);        // "Programming..." and the others
void regionline(Frontend& f, const char* line);  // a line, shown at once
// A mismatch as burn and verify report it: status line, box, and the
// code-protection hint when program word 0 reads 0.
void reportmismatch(Frontend& f, int32_t address, int16_t expected, int16_t found);
// The status list after a pass that passed: "SUCCESS!", and after a burn the
// note on verifying at the supply's limits.
void successlines(Frontend& f, int16_t mode);
