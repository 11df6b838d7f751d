// SPDX-License-Identifier: GPL-2.0-or-later
#include "protocol.h"

#include "binding.h"
#include "cycle.h"
#include "devices/select.h"
#include "lines.h"

void sendbit(State& s, int16_t b) {
    if (b == 1)
        dataup(s);
    else
        datadown(s);
    clockup(s);
    delay(1);
    clockdown(s);  // the chip takes the bit on this falling edge
    delay(1);
    datadown(s);
}

int16_t recvbit(State& s) {
    clockup(s);  // the chip presents its next bit after this rising edge
    delay(1);
    clockdown(s);
    const int16_t bit = datain(s);
    delay(1);
    return bit;
}

void sendcmd(State& s, uint8_t cmd) {
    datawritable(s);
    delay(2);
    for (int i = 0; i < 6; ++i) {
        sendbit(s, cmd & 1);
        cmd = static_cast<uint8_t>(binding::zavSR(cmd, 1) & 0xFF);
    }
    delay(2);
}

void senddata(State& s, int16_t word) {
    datawritable(s);
    delay(2);
    sendbit(s, 0);
    int16_t w = word;
    for (int i = 0; i < 14; ++i) {
        sendbit(s, w & 1);
        w = static_cast<int16_t>(binding::zavSR(w, 1));
    }
    sendbit(s, 0);
    delay(2);
}

int16_t recvdata(State& s) {
    datareadable(s);
    delay(2);
    recvbit(s);
    int16_t value = 0;
    for (int i = 0; i < 14; ++i)
        value = static_cast<int16_t>(value | binding::zavSL(recvbit(s), i));
    recvbit(s);
    delay(2);
    return value;
}

void progcycle(State& s, uint8_t cmd, int16_t word) {
    writeword(s, currentchip(s).find(Kind::program)->write, cmd, word);
}
