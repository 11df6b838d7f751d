// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include "core/lines.h"
#include "devices/select.h"
#include "operations/calibration.h"
#include "operations/erasefirst.h"
#include "portcheck.h"

bool program2(State& s, Frontend& f, int16_t mode, WordSink* out) {
    if (mode == modeprogram && !isoriginal(currentchip(s))) return burnerasefirst(s, f);
    const Plan plan = mode == modereadout ? readoutplan(s) : burnplan(s);
    f.statusClear();
    const bool ok = walk(s, &f, plan, [&](const Visit& v) {
        return programall(s, f, mode, v, out) == 1;
    });
    if (ok) successlines(f, mode);
    allpinslow(s);
    // Even a pass that found every word can have read an empty bus (0x3FFF
    // is also what an erased word reads): the note stays.
    noteunreachableport(s, f);
    return ok;
}

// The dump shows the factory's calibration in a status line as well.
ChipReader chipreader(State& s, Frontend& f) {
    return [&s, &f](WordSink& out) {
        CalibrationTap tap(currentchip(s), &out);
        const bool ok = program2(s, f, modereadout, &tap);
        if (ok) tap.show(f);
        return ok;
    };
}
