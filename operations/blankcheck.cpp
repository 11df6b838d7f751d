// SPDX-License-Identifier: GPL-2.0-or-later
#include "blankcheck.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "image/image.h"
#include "operations/program.h"
#include "operations/regionwalk.h"

namespace {

int16_t readword(State& s, uint8_t readcommand, int16_t mask) {
    sendcmd(s, readcommand);
    return static_cast<int16_t>(recvdata(s) & mask);
}

// One word at the counter, which is then stepped. False for the first word
// that is not erased, which the result then names.
bool erased(State& s, uint8_t readcommand, int16_t mask, int32_t address, BlankResult& r) {
    const int16_t v = readword(s, readcommand, mask);
    if (v != (0x3FFF & mask)) {
        r.blank = false;
        r.address = address;
        r.value = v;
        return false;
    }
    ++r.words;
    sendcmd(s, s.cmdincaddr);
    return true;
}

bool regionerased(State& s, const Region& g, BlankResult& r, Frontend* f, int total) {
    for (int i = 0; i < *g.count; ++i) {
        if (!erased(s, g.readcommand, g.mask, g.base + i, r)) return false;
        if (f) f->stepsDone("Blank check", r.words, total);
    }
    return true;
}

}  // namespace

BlankResult blankcheck(State& s, Frontend* f) {
    BlankResult r;
    const int16_t config = static_cast<int16_t>(readconfigspace(s, configbase) & s.configmask);
    if (codeprotected(s, config)) return BlankResult{false, true, configbase, config, 0};

    Walk w;
    blankwalk(s, w);
    int total = 0;
    for (const Region& g : w.regions) total += *g.count;
    if (f) f->stepsDone("Blank check", 0, total);
    int32_t counter = 0;
    for (const Region& g : w.regions) {
        moveto(s, g, counter);
        if (!regionerased(s, g, r, f, total)) break;
        counter += *g.count;
    }
    allpinslow(s);
    return r;
}
