// SPDX-License-Identifier: GPL-2.0-or-later
// The burn of every chip that is not one of the original four: erase the
// whole chip, program every region from the image, read every word back,
// and only then write and read back the configuration word(s), so that code
// protection cannot close the chip before it was checked. The row's write
// cycles and waits are used throughout; a stop is taken between write
// cycles, never inside one.
#pragma once
#include "core/frontend.h"
#include "core/state.h"

// The whole burn; true when every word read back as written. Ends with
// allpinslow. `sayskipped`: the status list first names the file's words
// the burn leaves alone (a caller that has named them already says false).
bool burnerasefirst(State& s, Frontend& f, bool sayskipped = true);
