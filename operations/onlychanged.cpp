// SPDX-License-Identifier: GPL-2.0-or-later
#include "onlychanged.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/erasefirst.h"
#include "operations/program.h"
#include "operations/regionwalk.h"

namespace {

enum class Pass { done, failed, needserase };

int16_t readword(State& s, uint8_t readcommand, int16_t mask) {
    sendcmd(s, readcommand);
    return static_cast<int16_t>(recvdata(s) & mask);
}

// The original chips erase each word as they program it. The others only
// program: the word becomes old AND new, so a word that needs a bit set
// again waits for an erase of the whole chip.
bool writable(const Region& r, int16_t held, int16_t wanted) {
    return r.cycle == nullptr || (wanted & ~held & r.mask) == 0;
}

void writechanged(State& s, const Region& r, int16_t word) {
    if (r.cycle)
        writeword(s, *r.cycle, r.writecommand, word);
    else
        progcycle(s, r.writecommand, word);
}

// The counter is left where a burn's region pass leaves it: base + count.
Pass changedregion(State& s, Frontend& f, const Region& r, ChangedCount& n) {
    modeline(f, modeprogram);
    f.progressValue(0);
    f.progressMax(*r.count + 1);
    for (int16_t i = 0; i < *r.count; ++i) {
        if (stop::requested()) return Pass::failed;
        f.progressValue(i);
        const int16_t expected = static_cast<int16_t>(r.image[i] & r.mask);
        ++n.compared;
        const int16_t held = readword(s, r.readcommand, r.mask);
        if (held != expected) {
            if (!writable(r, held, expected)) {
                n.erasedat = r.base + i;
                return Pass::needserase;
            }
            writechanged(s, r, expected);
            ++n.programmed;
            const int16_t v = readword(s, r.readcommand, r.mask);
            if (v != expected) {
                reportmismatch(f, r.base + i, expected, v);
                return Pass::failed;
            }
        }
        sendcmd(s, s.cmdincaddr);
    }
    return Pass::done;
}

int imagewords(const Walk& w) {
    int total = 0;
    for (const Region& r : w.regions) total += *r.count;
    return total;
}

}  // namespace

// Entries into programming mode and moves of the counter as in program2, so
// the configuration word still comes last.
bool programchanged(State& s, Frontend& f, ChangedCount& n) {
    n = ChangedCount{};
    Walk w;
    burnwalk(s, w);
    f.statusClear();
    Pass pass = Pass::done;
    int32_t counter = 0;
    for (const Region& r : w.regions) {
        moveto(s, r, counter);
        if (r.line) regionline(f, r.line);
        pass = changedregion(s, f, r, n);
        if (pass != Pass::done) break;
        counter += *r.count;
    }
    allpinslow(s);
    if (pass == Pass::needserase) {
        const bool ok = burnerasefirst(s, f);
        n.programmed = imagewords(w);
        return ok;
    }
    if (pass == Pass::done) successlines(f, modeprogram);
    return pass == Pass::done;
}
