// SPDX-License-Identifier: GPL-2.0-or-later
// Does every word of the chip read as erased?
#pragma once
#include <cstdint>

#include "core/frontend.h"
#include "core/state.h"

struct BlankResult {
    bool blank = true;
    bool codeprotected = false;  // then the configuration word is what it names
    int32_t address = 0;         // the first word not erased
    int16_t value = 0;           // what it read, under its region's mask
    int words = 0;               // words read as erased
};

// Erased is 0x3FFF under the device's mask for program, ID and configuration
// words, 0xFF for data bytes. The configuration word is read first: a
// code-protected chip reads zeros and is not blank whatever it holds.
// Ends with allpinslow. A front end given is told of each word read.
BlankResult blankcheck(State& s, Frontend* f = nullptr);
