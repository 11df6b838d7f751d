// SPDX-License-Identifier: GPL-2.0-or-later
#include "erase.h"

#include "core/cycle.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "devices/select.h"
#include "portcheck.h"

namespace {

void say(Frontend& f, const char* line) {
    f.statusAdd(line);
    f.statusRepaint();
}

int waitsof(const ChipRow& row) {
    int waits = 0;
    for (const EraseStep& e : row.erase) waits += e.op == EraseStep::wait;
    return waits;
}

}  // namespace

bool erasewhole(State& s, const ChipRow& row, Frontend* f, KeptCalibration* kept) {
    KeptCalibration k;
    const bool calibrated = hascalibration(row);
    if (calibrated) {
        k.read = readcalibration(s);
        k.keep = tokeep(s, k.read);
        if (kept) *kept = k;
        if (calibrationtrouble(s, k.read)) return false;
    }
    const int total = waitsof(row);
    int done = 0;
    // Before each wait, and once all are over.
    const auto step = [&] {
        if (f) f->stepsDone("Erasing", done, total);
        ++done;
    };
    vppreset(s);
    for (const EraseStep& e : row.erase) {
        switch (e.op) {
        case EraseStep::loadconfig:
            sendcmd(s, row.loadconfig);
            senddata(s, static_cast<int16_t>(e.arg));
            break;
        case EraseStep::load:
            // The chip erases to the word latched.
            sendcmd(s, static_cast<uint8_t>(e.arg));
            senddata(s, 0x3FFF);
            break;
        case EraseStep::send: sendcmd(s, static_cast<uint8_t>(e.arg)); break;
        case EraseStep::increments:
            for (int32_t i = 0; i < e.arg; ++i) sendcmd(s, row.increment);
            break;
        case EraseStep::wait:
            step();
            waitmicro(rowwait(s, row.erasewaitus));
            break;
        case EraseStep::say:
            if (f) say(*f, e.arg == 1 ? "program," : "data...");
            break;
        }
    }
    allpinslow(s);
    if (calibrated) k.restored = writecalibration(s, k.keep, k.why);
    step();
    if (kept) *kept = k;
    return true;
}

bool erasechip(State& s, Frontend& f, bool* confirmed) {
    if (confirmed) *confirmed = false;
    if (f.message("Are you sure you want to erase the PIC?", "*ERASE*", Buttons::YesNo) !=
        Answer::Yes)
        return false;
    if (confirmed) *confirmed = true;
    f.statusClear();
    f.statusAdd("Commanding PIC to erase ID,");
    say(f, "configuration, ");
    KeptCalibration kept;
    if (!erasewhole(s, currentchip(s), &f, &kept)) {
        if (const auto t = calibrationtrouble(s, kept.read)) reportlost(f, currentchip(s), *t, "Nothing was erased.");
        return false;
    }
    if (!showkept(s, f, kept, false)) return false;
    f.statusAdd("DONE.");
    noteunreachableport(s, f);
    return true;
}
