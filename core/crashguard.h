// SPDX-License-Identifier: GPL-2.0-or-later
// A crash must not leave the chip under Vpp. On SIGSEGV, SIGBUS, SIGILL,
// SIGFPE and SIGABRT the handler puts the board down as allpinslow would on
// a board that switches VDD: clock, data and PGM low first, then VDD off,
// then Vpp off, so the chip never runs with MCLR released while the PC
// drives its pins. Then the signal takes its default course (a core dump
// where enabled); nothing else is finished, no file, no capture.
//
// The handler may only do what is safe in a signal handler: it reads a plan
// the lines made beforehand (the registers' addresses, the bits of each
// line, the bound port function) and the register bytes as last written,
// and calls that port function. No allocation, no lock, no stdio.
#pragma once
#include <cstdint>

#include "wiring.h"

namespace crashguard {

using PortWrite = void (*)(int32_t port, int32_t value);

// How to put down the board in force.
struct Plan {
    PortWrite out = nullptr;  // nullptr: nothing was ever written, nothing to do
    int32_t dataport = 0, controlport = 0;
    // Clock, data, direction and PGM to their idle levels, Vpp and VDD kept:
    // register = (register & keep) | (idle & ~keep), where a line has bits.
    uint8_t keepcontrol = 0, keepdata = 0;
    uint8_t idlecontrol = 0, idledata = 0;
    bool signalsoncontrol = false, signalsondata = false;
    RegisterBits vddcontrol, vdddata, vppcontrol, vppdata;
};

// The handlers, once per process (again is harmless), with a stack of their
// own for the calling thread, so that a stack overflow is caught as well. A
// signal the process ignores stays ignored.
void install();

// The plan for the board in force; the lines give it before any write that
// may be the first with the programming voltage or VDD on.
void arm(const Plan& p);
void disarm();  // the port function is gone (tests that reload the library)

// The register bytes as last written.
void controlwritten(uint8_t value);
void datawritten(uint8_t value);

// The writes the handler makes, from the plan and the registers as last
// written: at most six (port, value) pairs, in order; returns how many.
struct Write {
    int32_t port;
    uint8_t value;
};
int safewrites(Write (&out)[6]);

}  // namespace crashguard
