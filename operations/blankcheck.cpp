// SPDX-License-Identifier: GPL-2.0-or-later
#include "blankcheck.h"

#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"
#include "operations/walk.h"

namespace {

// One word at the counter, which is then stepped. False for the first word
// that is not erased, which the result then names.
bool erased(State& s, const Visit& v, int i, BlankResult& r) {
    const Memory& m = *v.memory;
    const int16_t word = readword(s, m);
    // The factory's calibration bits are no part of a blank chip.
    if ((word & m.comparemask()) != (m.erased & m.comparemask())) {
        r.blank = false;
        r.address = v.address(i);
        r.value = word;
        return false;
    }
    ++r.words;
    sendcmd(s, currentchip(s).increment);
    return true;
}

}  // namespace

BlankResult blankcheck(State& s, Frontend* f) {
    BlankResult r;
    const Memory& config = currentchip(s).config(0);
    const int16_t word = static_cast<int16_t>(readconfigspace(s, config.address) & config.mask);
    if (codeprotected(s, word)) return BlankResult{false, true, config.address, word, 0};

    const Plan plan = blankplan(s);
    int total = 0;
    for (const Visit& v : plan) total += v.count;
    if (f) f->stepsDone("Blank check", 0, total);
    walk(s, nullptr, plan, [&](const Visit& v) {
        for (int i = 0; i < v.count; ++i) {
            if (!erased(s, v, i, r)) return false;
            if (f) f->stepsDone("Blank check", r.words, total);
        }
        return true;
    });
    allpinslow(s);
    return r;
}
