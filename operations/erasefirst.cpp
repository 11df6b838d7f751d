// SPDX-License-Identifier: GPL-2.0-or-later
#include "erasefirst.h"

#include "core/lines.h"
#include "core/platform.h"
#include "core/protocol.h"
#include "core/stop.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/configburn.h"
#include "operations/program.h"
#include "operations/regionwalk.h"
#include "portcheck.h"

namespace {

// Commands 1 and 7 arm the code-protection erase of the 16F627/628, which the
// following Begin Erase/Programming carries out; 31 is the 16F818/819/87/88's
// chip erase.
constexpr uint8_t erasesetup1 = 1;
constexpr uint8_t erasesetup2 = 7;
constexpr uint8_t chiperase = 31;

void loadconfig(State& s) {
    sendcmd(s, s.cmdloadconfig);
    senddata(s, 0x3FFF);
}

void increments(State& s, int n) {
    for (int i = 0; i < n; ++i) sendcmd(s, s.cmdincaddr);
}

bool stopped(Frontend& f) {
    if (!stop::requested()) return false;
    f.statusAdd("**STOPPED**");
    return true;
}

// The words from i up to the end of their latch group (or of the region).
int16_t groupend(const Region& r, int16_t i, int latches) {
    int16_t end = i;
    do ++end;
    while ((r.base + end) % latches != 0 && end < *r.count);
    return end;
}

// An erased chip already holds a group of erased words: the counter only
// steps over them.
bool erasedgroup(const Region& r, int16_t from, int16_t to) {
    for (int16_t k = from; k < to; ++k)
        if ((r.image[k] & r.mask) != r.mask) return false;
    return true;
}

// Words go in groups of the row's latch count, each group ending where the
// counter's low bits select the last latch: Load, then Increment + Load for
// the others, one write cycle, Increment. The counter ends at base + count.
bool writeregion(State& s, Frontend& f, const Region& r, int latches) {
    f.progressValue(0);
    f.progressMax(*r.count + 1);
    int16_t i = 0;
    while (i < *r.count) {
        if (stopped(f)) return false;
        f.progressValue(i);
        const int16_t end = groupend(r, i, latches);
        if (erasedgroup(r, i, end)) {
            for (; i < end; ++i) sendcmd(s, s.cmdincaddr);
            continue;
        }
        for (;;) {
            sendcmd(s, r.writecommand);
            senddata(s, static_cast<int16_t>(r.image[i] & r.mask));
            ++i;
            const bool lastlatch = (r.base + i) % latches == 0;
            if (lastlatch || i == *r.count) break;
            sendcmd(s, s.cmdincaddr);
        }
        writecycle(s, *r.cycle);
        sendcmd(s, s.cmdincaddr);
    }
    return true;
}

bool writewalk(State& s, Frontend& f, Walk& w, int latches) {
    int32_t counter = 0;
    for (Region& r : w.regions) {
        moveto(s, r, counter);
        if (r.line) {
            regionline(f, r.line);
            modeline(f, modeprogram);
        }
        // Data bytes are written one per cycle on every chip.
        if (!writeregion(s, f, r, r.base >= database ? 1 : latches)) return false;
        counter += *r.count;
    }
    return true;
}

}  // namespace

void waitmicro(int32_t microseconds) {
    platform::Waits& w = platform::waits();
    if (microseconds >= 1000) w.sleepMs(microseconds / 1000);
    if (microseconds % 1000 != 0) w.holdUntil(w.nowNs() + int64_t{microseconds % 1000} * 1000);
}

void writecycle(State& s, const WriteCycle& c) {
    sendcmd(s, c.begin);
    waitmicro(c.waitus);
    if (c.end != 0) {
        sendcmd(s, c.end);
        if (c.dischargeus > 0) waitmicro(c.dischargeus);
    }
}

void writeword(State& s, const WriteCycle& c, uint8_t loadcommand, int16_t word) {
    sendcmd(s, loadcommand);
    senddata(s, word);
    writecycle(s, c);
}

namespace {

// How many waits each way of erasing takes.
int erasewaits(EraseMethod m) {
    switch (m) {
    case EraseMethod::cpsequence84:
    case EraseMethod::cpsequence62x: return 3;
    case EraseMethod::bulk62xa: return 2;
    case EraseMethod::chiperase81x:
    case EraseMethod::bulk716: return 1;
    }
    return 1;
}

}  // namespace

void erasewhole(State& s, const ChipRow& row, Frontend* f) {
    const int total = erasewaits(row.erase);
    int done = 0;
    // Before each wait, and once all are over.
    const auto step = [&] {
        if (f) f->stepsDone("Erasing", done, total);
        ++done;
    };
    const auto erasewait = [&] {
        step();
        waitmicro(row.erasewaitus);
    };
    vppreset(s);
    switch (row.erase) {
    case EraseMethod::cpsequence84:
    case EraseMethod::cpsequence62x:
        // On the configuration word the sequence erases everything and lifts
        // protection; the bulk erases after it leave data memory at 0xFF too.
        loadconfig(s);
        increments(s, 7);
        sendcmd(s, erasesetup1);
        sendcmd(s, erasesetup2);
        sendcmd(s, 8);
        erasewait();
        sendcmd(s, erasesetup1);
        sendcmd(s, erasesetup2);
        writeword(s, {s.cmderaseprog, 0, 0, 0}, s.cmdloadprog, 0x3FFF);
        step();
        writecycle(s, {8, 0, row.erasewaitus, 0});
        writeword(s, {s.cmderasedata, 0, 0, 0}, s.cmdloaddata, 0x3FFF);
        step();
        writecycle(s, {8, 0, row.erasewaitus, 0});
        break;
    case EraseMethod::bulk62xa:
        // With the counter in configuration space the IDs and the
        // configuration word go too, which lifts CP and CPD.
        loadconfig(s);
        sendcmd(s, s.cmderaseprog);
        erasewait();
        sendcmd(s, s.cmderasedata);
        erasewait();
        break;
    case EraseMethod::chiperase81x:
        loadconfig(s);
        sendcmd(s, chiperase);
        erasewait();
        break;
    case EraseMethod::bulk716:
        loadconfig(s);
        sendcmd(s, s.cmderaseprog);
        erasewait();
        break;
    }
    allpinslow(s);
    step();
}

bool burnerasefirst(State& s, Frontend& f) {
    const ChipRow& row = currentchip(s);
    f.statusClear();
    regionline(f, "Erasing...");
    erasewhole(s, row);

    Walk body;
    bodywalk(s, body);
    bool ok = writewalk(s, f, body, row.latches);
    if (ok) ok = walkpass(s, f, modeverify, body, nullptr);
    if (ok) {
        ok = burnconfigwords(s, f);
    }
    if (ok) successlines(f, modeprogram);
    allpinslow(s);
    noteunreachableport(s, f);
    return ok;
}
