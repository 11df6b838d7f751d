// SPDX-License-Identifier: GPL-2.0-or-later
// A burn that programs only the words the chip does not already hold.
#pragma once
#include "core/frontend.h"
#include "core/state.h"

struct ChangedCount {
    int programmed = 0;
    int compared = 0;
    // The first word that needed bits set again, which a chip that only
    // programs cannot do without erasing: the whole chip was then erased and
    // burnt. -1: none.
    int32_t erasedat = -1;
    // The calibration to write back (given by the person) is not the chip's:
    // only an erase and a whole burn write it.
    bool calibration = false;
};

// The regions in a burn's order, with its status lines. Each word is read and
// compared under its region's mask; only a word that differs is programmed,
// then read back and compared as a burn does (a mismatch is reported as a
// burn reports it). True when every word ended up as the image has it.
// On a chip whose write cycles only program, a word that needs a bit set
// again turns the run into a whole burn (erase first), and so does a factory
// calibration given that is not the chip's; the chip's own is read first and
// kept (operations/calibration.h). Always ends with allpinslow.
bool programchanged(State& s, Frontend& f, ChangedCount& count);
