// SPDX-License-Identifier: GPL-2.0-or-later
#include "program.h"

#include <cstdio>

#include "core/lines.h"
#include "devices/select.h"
#include "operations/calibration.h"
#include "operations/erasefirst.h"
#include "operations/factorywords.h"
#include "operations/readiness.h"
#include "portcheck.h"

namespace {

// Every word but the closed ones matched: the status list and a box say
// which words could not be verified, and why.
void notverified(Frontend& f, const ChipRow& row, const ClosedWords& closed) {
    const std::string clause = closedclause(row, closed.ranges);
    f.statusAdd("**NOT VERIFIED**");
    char word[8];
    std::snprintf(word, sizeof word, "0x%04X", static_cast<unsigned>(closed.config & 0xFFFF));
    f.message("quibb9x: the chip is code-protected (configuration word " + std::string(word) +
                  "): " + clause + " and could not be verified; every other word matched the "
                  "image. Only an erase lifts the protection, and it clears the chip.",
              "NOT VERIFIED!");
}

}  // namespace

bool program2(State& s, Frontend& f, int16_t mode, WordSink* out, bool* closedonly) {
    const ChipRow& row = currentchip(s);
    if (mode == modeprogram && !isoriginal(row)) return burnerasefirst(s, f);
    // The chips after the original ones: what protection closes is read
    // first, so that a verify can tell a protected word from a wrong one.
    ClosedWords closed;
    if (mode == modeverify && !isoriginal(row)) closed = closedonchip(s);
    const Plan plan = mode == modereadout ? readoutplan(s) : burnplan(s);
    f.statusClear();
    if (mode == modeverify) sayfactorywordsskipped(s, f);
    bool ok = walk(s, &f, plan, [&](const Visit& v) {
        return programall(s, f, mode, v, out, &closed.ranges) == 1;
    });
    if (ok && !closed.ranges.empty()) {
        notverified(f, row, closed);
        if (closedonly) *closedonly = true;
        ok = false;
    }
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
