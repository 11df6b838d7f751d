// SPDX-License-Identifier: GPL-2.0-or-later
#include "cycle.h"

#include "devices/select.h"
#include "platform.h"
#include "protocol.h"

void waitmicro(int32_t microseconds) {
    platform::Waits& w = platform::waits();
    if (microseconds >= 1000) w.sleepMs(microseconds / 1000);
    if (microseconds % 1000 != 0) w.holdUntil(w.nowNs() + int64_t{microseconds % 1000} * 1000);
}

int32_t rowwait(const State& s, int32_t microseconds) {
    return isoriginal(currentchip(s)) ? int32_t{s.tprog} * 1000 : microseconds;
}

void writecycle(State& s, const WriteCycle& c) {
    sendcmd(s, c.begin);
    waitmicro(rowwait(s, c.waitus));
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
