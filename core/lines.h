// SPDX-License-Identifier: GPL-2.0-or-later
// Control of the board's lines through the parallel port's registers: data at
// portaddr, status at portaddr+1, control at portaddr+2 (16-bit arithmetic).
// Every control change stores the new byte in ctrlshadow first and then writes
// the whole byte; the control register is never read back.
//
// On a run timed from the clock edges (State::edgetimed) the changes keep
// the chip's timing themselves: a clock edge is written no sooner than 1 µs
// after the previous edge's write returned, and any other line no sooner
// than 100 ns after the last falling edge's (the data hold).
#pragma once
#include <cstdint>

#include "state.h"

void clockdown(State& s);     // pin 1 low  (control bit 0 set)
void clockup(State& s);       // pin 1 high
void datadown(State& s);      // pin 14 low (control bit 1 set)
void dataup(State& s);        // pin 14 high
void datawritable(State& s);  // the PC drives the data line, low
void datareadable(State& s);  // the PC releases the data line
void vppon(State& s);         // programming voltage on, data register 0x00
void vppoff(State& s);        // programming voltage off, data register 0x01
void allpinslow(State& s);    // idle: Vpp off, clock and data low, control 0x0F
// VDD on, on a board that switches it (the others keep it on): the board
// test measures the supply. Nothing is written on a board without VDD.
void vddon(State& s);
void vppreset(State& s);      // enter programming mode, address counter 0

// Data line as read back through status bit 7 (inverted on the PC): 1 or 0.
int16_t datain(State& s);

// Holds the lines as they are until at least 1 µs has passed since the last
// line change (the time of the port accesses since counts towards it),
// watching the clock without giving up the processor. The count is not used.
void delay(int16_t count);
// The wait of the original chips whatever the count: s.tprog ms, 7 unless
// told otherwise; the other chips' entries wait 7 ms.
void delaymilli(const State& s, int16_t count);
