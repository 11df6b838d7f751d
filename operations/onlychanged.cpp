// SPDX-License-Identifier: GPL-2.0-or-later
#include "onlychanged.h"

#include "core/cycle.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "operations/calibration.h"
#include "operations/erasefirst.h"
#include "operations/factorywords.h"
#include "operations/regionpass.h"
#include "operations/walk.h"

namespace {

enum class Pass { done, failed, needserase };

// The original chips erase each word as they program it. The others only
// program: the word becomes old AND new, so a word that needs a bit set
// again waits for an erase of the whole chip.
bool writable(const ChipRow& row, const Memory& m, int16_t held, int16_t wanted) {
    return isoriginal(row) || (wanted & ~held & m.mask) == 0;
}

// The counter is left where a burn's region pass leaves it: one past the
// visit's last word.
Pass changedmemory(State& s, Frontend& f, const Visit& v, ChangedCount& n) {
    const ChipRow& row = currentchip(s);
    const Memory& m = *v.memory;
    modeline(f, modeprogram);
    f.progressValue(0);
    f.progressMax(v.count + 1);
    for (int16_t i = 0; i < v.count; ++i) {
        if (stop::requested()) return Pass::failed;
        f.progressValue(i);
        const int16_t expected = static_cast<int16_t>(v.image[i] & m.mask);
        const uint16_t compared = m.comparemask();
        ++n.compared;
        const int16_t held = readword(s, m);
        if ((held & compared) != (expected & compared)) {
            if (!writable(row, m, held, expected)) {
                n.erasedat = v.address(i);
                return Pass::needserase;
            }
            writeword(s, m.write, m.load, expected);
            ++n.programmed;
            const int16_t word = readword(s, m);
            if ((word & compared) != (expected & compared)) {
                reportmismatch(f, v.address(i), static_cast<int16_t>(expected & compared),
                               static_cast<int16_t>(word & compared));
                return Pass::failed;
            }
        }
        sendcmd(s, row.increment);
    }
    return Pass::done;
}

int planwords(const Plan& plan) {
    int total = 0;
    for (const Visit& v : plan) total += v.count;
    return total;
}

}  // namespace

// Entries into programming mode and moves of the counter as in program2, so
// the configuration word still comes last.
bool programchanged(State& s, Frontend& f, ChangedCount& n) {
    n = ChangedCount{};
    f.statusClear();
    sayfactorywordsskipped(s, f);
    KeptCalibration kept;
    if (hascalibration(currentchip(s))) {
        kept.read = readcalibration(s);
        kept.keep = tokeep(s, kept.read);
        if (const auto t = calibrationtrouble(s, kept.read)) {
            reportlost(f, currentchip(s), *t, "Nothing was written.");
            return false;
        }
        n.calibration = kept.keep.osccal != kept.read.osccal || kept.keep.bandgap != kept.read.bandgap;
    }
    std::vector<int16_t> room;
    const Plan plan = withcalibration(burnplan(s), kept.keep, room);
    Pass pass = n.calibration ? Pass::needserase : Pass::done;
    if (pass == Pass::done)
        walk(s, &f, plan, [&](const Visit& v) {
            pass = changedmemory(s, f, v, n);
            return pass == Pass::done;
        });
    allpinslow(s);
    if (pass == Pass::needserase) {
        const bool ok = burnerasefirst(s, f, false);
        n.programmed = planwords(plan);
        return ok;
    }
    if (pass == Pass::done) successlines(f, modeprogram);
    if (pass == Pass::done && !showkept(s, f, kept, true)) return false;
    return pass == Pass::done;
}
