// SPDX-License-Identifier: GPL-2.0-or-later
// Test access to the simulated board through the program's own binding: the
// board library is loaded by the same dlopen the program uses, and its extra
// exports are looked up in that handle. A virtual clock drives both the
// program's waits and the board's timing, so tests run fast while every
// requested wait is still recorded and checked by the chip.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "boardsim/boardsim.h"
#include "core/platform.h"
#include "core/state.h"

namespace sim {

// Binds the program to the simulated board (once per process), resets the
// board and installs the virtual clock. Call at the start of every test.
void useSimulatedBoard();

// useSimulatedBoard, then a record started as the program starts it, with
// the PIC 16F84 selected and the port at the board's LPT2 (0x278).
void useSimulatedPIC16F84(State& s);

// Stop using the virtual clock (for tests that run on real time).
void useRealTime();

// The extra exports of the board, looked up in the bound library.
struct Board {
    void (*reset)();
    void (*setChip)(int32_t);
    void (*setBoard)(int32_t);
    void (*setBase)(int32_t);
    int32_t (*read)(int32_t, int32_t);
    void (*write)(int32_t, int32_t, int32_t);
    void (*setStuck)(int32_t, int32_t, int32_t);
    int32_t (*isProtected)();
    void (*setProtected)(int32_t);
    int32_t (*inProgrammingMode)();
    int32_t (*address)();
    int32_t (*logSize)();
    int32_t (*logEntry)(int32_t, zavsim_access*);
    void (*logClear)();
    int32_t (*eventCount)();
    int32_t (*event)(int32_t, zavsim_event*);
    void (*eventClear)();
    int32_t (*timingFaults)();
    int32_t (*phaseFaults)();
    void (*useClock)(int64_t (*)());
    void (*save)();
};
Board& board();

std::vector<zavsim_access> accesses();   // the port log
std::vector<zavsim_access> writes();     // the port log without reads
std::vector<zavsim_event> chipEvents();  // what the chip understood
// Only the commands the chip decoded, in order.
std::vector<int> commands();

// The virtual clock: sleeps asked for, in ms, and clock phases held, since
// the last clearWaits().
std::vector<int> sleeps();
int holds();
void clearWaits();
int64_t nowNs();
void advance(int64_t ns);  // time passing outside the waits

}  // namespace sim
