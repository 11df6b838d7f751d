// SPDX-License-Identifier: GPL-2.0-or-later
// The chips' serial programming protocol over the clock and data lines:
// 6-bit commands and 16-clock data frames, least significant bit first.
#pragma once
#include <cstdint>

#include "state.h"

void sendbit(State& s, int16_t b);   // only the value 1 sends a one
int16_t recvbit(State& s);
void sendcmd(State& s, uint8_t cmd);
void senddata(State& s, int16_t word);
int16_t recvdata(State& s);
// One programming step at the current address: the load command and the
// word, then the chosen chip's program-memory write cycle (on the original
// chips Begin Programming and its 7 ms).
void progcycle(State& s, uint8_t cmd, int16_t word);
