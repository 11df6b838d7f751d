// SPDX-License-Identifier: GPL-2.0-or-later
// The few services of the operating system the program needs: the clock, the
// two waits and the directory queries. The clock and the waits are a seam:
// tests may install their own (recording what was asked and advancing a
// virtual clock that the simulated board reads too); the program itself always
// reads the monotonic clock and really waits.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

struct Waits {
    virtual ~Waits() = default;
    virtual int64_t nowNs() = 0;                 // the monotonic clock, in ns
    // Watch the clock until it reads `deadlineNs` or later, keeping the
    // processor: a clock phase lasts about a microsecond, far less than the
    // time slice a sleep or a yield may cost under load.
    virtual void holdUntil(int64_t deadlineNs) = 0;
    virtual void sleepMs(int milliseconds) = 0;  // at least that long
    // Sleep until `milliseconds` have passed since `sinceNs`, a reading of
    // nowNs(): what the thread did after that reading (handing the window
    // its progress, say) falls inside the sleep instead of lengthening it.
    // Waits that keep no clock of their own sleep the whole time from now.
    virtual void sleepMsSince(int64_t sinceNs, int milliseconds) {
        (void)sinceNs;
        sleepMs(milliseconds);
    }
};

// The real waits: CLOCK_MONOTONIC, a busy wait on it, and a sleep on it that
// resumes after interruptions and watches the clock for its last 0.15 ms, so
// that it lasts the full time and hardly more.
Waits& realWaits();

// The waits in force; real ones unless a test installed its own.
Waits& waits();
void installWaits(Waits* w);  // nullptr restores the real waits

// Directory queries. Each returns an empty text when the system cannot answer.
std::string currentDirectory();
std::string systemDirectory();     // fallback for the temporary file
std::string temporaryDirectory();
// Where the program keeps state between runs: $XDG_STATE_HOME, else
// $HOME/.local/state; empty when neither is known.
std::string stateDirectory();

}  // namespace platform
