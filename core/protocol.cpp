// SPDX-License-Identifier: GPL-2.0-or-later
#include "protocol.h"

#include "binding.h"
#include "cycle.h"
#include "devices/select.h"
#include "lines.h"

namespace {

// Between two clock edges, and around each frame. The original chips hold a
// microsecond after the last line change at each of these points, as their
// recorded traffic has always had it; on the other chips the clock edges
// keep their own distance (lines.h), so nothing waits here.
void between(const State& s) {
    if (!s.edgetimed) delay(1);
}

}  // namespace

void sendbit(State& s, int16_t b) {
    if (b == 1)
        dataup(s);
    else
        datadown(s);
    clockup(s);
    between(s);
    clockdown(s);  // the chip takes the bit on this falling edge
    between(s);
    datadown(s);
}

int16_t recvbit(State& s) {
    clockup(s);  // the chip presents its next bit after this rising edge
    between(s);
    clockdown(s);
    const int16_t bit = datain(s);
    between(s);
    return bit;
}

void sendcmd(State& s, uint8_t cmd) {
    datawritable(s);
    between(s);
    for (int i = 0; i < 6; ++i) {
        sendbit(s, cmd & 1);
        cmd = static_cast<uint8_t>(binding::zavSR(cmd, 1) & 0xFF);
    }
    between(s);
}

void senddata(State& s, int16_t word) {
    datawritable(s);
    between(s);
    sendbit(s, 0);
    int16_t w = word;
    for (int i = 0; i < 14; ++i) {
        sendbit(s, w & 1);
        w = static_cast<int16_t>(binding::zavSR(w, 1));
    }
    sendbit(s, 0);
    between(s);
}

int16_t recvdata(State& s) {
    datareadable(s);
    between(s);
    recvbit(s);
    int16_t value = 0;
    for (int i = 0; i < 14; ++i)
        value = static_cast<int16_t>(value | binding::zavSL(recvbit(s), i));
    recvbit(s);
    between(s);
    return value;
}

void progcycle(State& s, uint8_t cmd, int16_t word) {
    writeword(s, currentchip(s).find(Kind::program)->write, cmd, word);
}
