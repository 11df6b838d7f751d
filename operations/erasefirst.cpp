// SPDX-License-Identifier: GPL-2.0-or-later
#include "erasefirst.h"

#include "core/cycle.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "operations/configburn.h"
#include "operations/erase.h"
#include "operations/factorywords.h"
#include "operations/regionpass.h"
#include "operations/walk.h"
#include "portcheck.h"

namespace {

bool stopped(Frontend& f) {
    if (!stop::requested()) return false;
    f.statusAdd("**STOPPED**");
    return true;
}

// The words from i up to the end of their latch group (or of the visit).
int16_t groupend(const Visit& v, int16_t i, int latches) {
    int16_t end = i;
    do ++end;
    while (v.address(end) % latches != 0 && end < v.count);
    return end;
}

// An erased chip already holds a group of erased words: the counter only
// steps over them.
bool erasedgroup(const Visit& v, int16_t from, int16_t to) {
    const uint16_t mask = v.memory->mask;
    for (int16_t k = from; k < to; ++k)
        if ((v.image[k] & mask) != mask) return false;
    return true;
}

// Words go in groups of the memory's latch count, each group ending where
// the counter's low bits select the last latch: Load, then Increment + Load
// for the others, one write cycle, Increment. The counter ends one past the
// visit's last word.
bool writememory(State& s, Frontend& f, const Visit& v) {
    const Memory& m = *v.memory;
    const uint8_t increment = currentchip(s).increment;
    const int latches = m.write.latches;
    // Each memory's line says what is done to it, so none stands empty.
    if (v.line) modeline(f, modeprogram);
    f.progressValue(0);
    f.progressMax(v.count + 1);
    int16_t i = 0;
    while (i < v.count) {
        if (stopped(f)) return false;
        f.progressValue(i);
        const int16_t end = groupend(v, i, latches);
        if (erasedgroup(v, i, end)) {
            // The erase left these words as the image has them.
            f.wordsDone(end - i, 0);
            for (; i < end; ++i) sendcmd(s, increment);
            continue;
        }
        const int16_t from = i;
        for (;;) {
            sendcmd(s, m.load);
            senddata(s, static_cast<int16_t>(v.image[i] & m.mask));
            ++i;
            const bool lastlatch = v.address(i) % latches == 0;
            if (lastlatch || i == v.count) break;
            sendcmd(s, increment);
        }
        writecycle(s, m.write);
        f.wordsDone(i - from, 0);
        sendcmd(s, increment);
    }
    return true;
}

// Writes the plan, then reads every word of it back.
bool burnandverify(State& s, Frontend& f, const Plan& plan) {
    if (!walk(s, &f, plan, [&](const Visit& v) { return writememory(s, f, v); })) return false;
    return walk(s, &f, plan,
                [&](const Visit& v) { return programall(s, f, modeverify, v, nullptr) == 1; });
}

}  // namespace

bool burnerasefirst(State& s, Frontend& f, bool sayskipped) {
    f.statusClear();
    if (sayskipped) sayfactorywordsskipped(s, f);
    regionline(f, "Erasing...");
    KeptCalibration kept;
    if (!erasewhole(s, currentchip(s), nullptr, &kept)) {
        if (const auto t = calibrationtrouble(s, kept.read)) reportlost(f, currentchip(s), *t, "Nothing was erased.");
        return false;
    }

    bool ok = burnandverify(s, f, bodyplan(s));
    // The configuration word(s) with the chip's own band-gap bits, each
    // written and read back in one visit.
    std::vector<int16_t> room;
    if (ok) ok = burnconfigwords(s, f, withcalibration(configplan(s), kept.keep, room));
    if (ok) successlines(f, modeprogram);
    allpinslow(s);
    // Said last, after the lines a pass leaves, so the window shows them too.
    if (!showkept(s, f, kept, true)) ok = false;
    noteunreachableport(s, f);
    return ok;
}
