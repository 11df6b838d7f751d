// SPDX-License-Identifier: GPL-2.0-or-later
#include "lines.h"

#include <atomic>
#include <initializer_list>

#include "binding.h"
#include "capture.h"
#include "crashguard.h"
#include "platform.h"
#include "devices/chiptable.h"

namespace {

// The shortest clock phase the chip accepts (data set-up and hold, and the
// pause between a command and the frame that follows it).
constexpr int64_t PHASE_NS = 1000;
// How long the data line and its direction stay as they are after a falling
// clock edge, where the clock edges keep their own distance: the chips ask
// for 100 ns of data hold.
constexpr int64_t HOLD_NS = 100;

// When the last line change was written, by the clock of the waits in force,
// and, for runs timed from the clock edges, the last clock edge and the last
// falling one. Each is stamped after the port write returns, so the change
// has reached the port by then. One run uses the lines from one thread at a
// time; the atomics only keep a hand-over between threads well defined, at
// no cost.
std::atomic<int64_t> lastChangeNs{0};
std::atomic<int64_t> lastEdgeNs{0};
std::atomic<int64_t> lastFallNs{0};

void changed() {
    lastChangeNs.store(platform::waits().nowNs(), std::memory_order_relaxed);
}

int16_t dataport(const State& s) { return s.portaddr; }
int16_t statusport(const State& s) { return static_cast<int16_t>(s.portaddr + 1); }
int16_t controlport(const State& s) { return static_cast<int16_t>(s.portaddr + 2); }

// Ports are 16-bit: widen the bit pattern, not the signed value.
int32_t portnumber(int16_t port) { return static_cast<uint16_t>(port); }

// A capture of the lines, when one runs, tells the registers apart by the
// board's base address.
void notebase(const State& s) { capture::portbase(portnumber(dataport(s))); }

void writecontrol(State& s, uint8_t value) {
    s.ctrlshadow = value;
    notebase(s);
    binding::zavOUT(portnumber(controlport(s)), s.ctrlshadow);
    crashguard::controlwritten(value);
    changed();
}

void writedata(State& s, uint8_t value) {
    s.datashadow = value;
    notebase(s);
    binding::zavOUT(portnumber(dataport(s)), value);
    crashguard::datawritten(value);
    changed();
}

struct Change {
    Line line;
    bool on;
};

uint8_t idle(const RegisterBits (&bits)[LINES]);

// The port the crash handler's plan writes to.
std::atomic<int32_t> guardedport{-1};

// How the crash handler puts this board down (core/crashguard.h): the
// same steps as a board that switches VDD is put down with.
void armcrashguard(const State& s) {
    guardedport.store(portnumber(dataport(s)), std::memory_order_relaxed);
    const Wiring& w = s.wiring;
    crashguard::Plan p;
    p.out = binding::boundout();
    p.dataport = portnumber(dataport(s));
    p.controlport = portnumber(controlport(s));
    for (Line l : {LINE_VPP, LINE_VDD}) {
        p.keepcontrol |= w.control[l].mask;
        p.keepdata |= w.data[l].mask;
    }
    for (Line l : {LINE_CLOCK, LINE_DATAOUT, LINE_DATADIR, LINE_PGM}) {
        p.signalsoncontrol |= w.control[l].mask != 0;
        p.signalsondata |= w.data[l].mask != 0;
    }
    p.idlecontrol = idle(w.control);
    p.idledata = idle(w.data);
    p.vddcontrol = w.control[LINE_VDD];
    p.vdddata = w.data[LINE_VDD];
    p.vppcontrol = w.control[LINE_VPP];
    p.vppdata = w.data[LINE_VPP];
    crashguard::arm(p);
}

// Before a change on a run timed from the clock edges: a clock edge waits a
// whole phase since the previous edge (its high or low time, or the pause
// between two frames), any other line only the data hold since the last
// falling edge. What the program does between two edges (the data line for
// the next bit, its own bookkeeping) so falls inside the phase.
void pace(bool edge) {
    if (edge)
        platform::waits().holdUntil(lastEdgeNs.load(std::memory_order_relaxed) + PHASE_NS);
    else
        platform::waits().holdUntil(lastFallNs.load(std::memory_order_relaxed) + HOLD_NS);
}

void stampedge(bool rising, int64_t when) {
    lastEdgeNs.store(when, std::memory_order_relaxed);
    if (!rising) lastFallNs.store(when, std::memory_order_relaxed);
}

// Lines changed together: one write per register their pins touch, the
// control register first. A line the board lacks changes nothing.
void change(State& s, std::initializer_list<Change> changes) {
    const Wiring& w = s.wiring;
    uint8_t control = s.ctrlshadow, data = s.datashadow;
    bool tocontrol = false, todata = false, power = false;
    for (const Change& c : changes) {
        control = w.control[c.line].set(control, c.on);
        data = w.data[c.line].set(data, c.on);
        tocontrol |= w.control[c.line].mask != 0;
        todata |= w.data[c.line].mask != 0;
        power |= c.line == LINE_VPP || c.line == LINE_VDD;
    }
    // Before the chip may get its supply or Vpp from this board, and before
    // the first write at another port.
    if (power || portnumber(dataport(s)) != guardedport.load(std::memory_order_relaxed))
        armcrashguard(s);
    if (!s.edgetimed) {
        if (tocontrol) writecontrol(s, control);
        if (todata) writedata(s, data);
        return;
    }
    const bool edge = ((control ^ s.ctrlshadow) & w.control[LINE_CLOCK].mask) ||
                      ((data ^ s.datashadow) & w.data[LINE_CLOCK].mask);
    pace(edge);
    if (tocontrol) writecontrol(s, control);
    if (todata) writedata(s, data);
    if (edge)
        stampedge(lineon(w, LINE_CLOCK, s.datashadow, s.ctrlshadow),
                  lastChangeNs.load(std::memory_order_relaxed));
}

// The idle levels: Vpp and VDD off, clock and data low, the PC driving the
// data line, PGM low; bits of no line 0.
uint8_t idle(const RegisterBits (&bits)[LINES]) {
    uint8_t v = 0;
    for (int l = 0; l < LINES; ++l) v = bits[l].set(v, l == LINE_DATADIR);
    return v;
}

// Clock, data, direction and PGM to their idle levels at once, leaving Vpp
// and VDD as they are; unused bits cleared.
void signalsidle(State& s, bool absolute) {
    const Wiring& w = s.wiring;
    uint8_t controlkeep = 0, datakeep = 0, controlsignals = 0, datasignals = 0;
    for (Line l : {LINE_VPP, LINE_VDD}) {
        controlkeep |= w.control[l].mask;
        datakeep |= w.data[l].mask;
    }
    for (Line l : {LINE_CLOCK, LINE_DATAOUT, LINE_DATADIR, LINE_PGM}) {
        controlsignals |= w.control[l].mask;
        datasignals |= w.data[l].mask;
    }
    // The board without VDD has always written the whole idle byte, Vpp
    // included (it was switched off just before).
    if (absolute) controlkeep = datakeep = 0;
    const auto merged = [](uint8_t shadow, uint8_t keep, uint8_t idlebyte) {
        return static_cast<uint8_t>((shadow & keep) | (idlebyte & ~keep));
    };
    if (controlsignals) writecontrol(s, merged(s.ctrlshadow, controlkeep, idle(w.control)));
    if (datasignals) writedata(s, merged(s.datashadow, datakeep, idle(w.data)));
}

// On a board that switches VDD: after the chip last lost its supply, this
// long before it gets it again (the longer of the programmers' pauses), and
// between VDD and Vpp, or Vpp and VDD, these holds.
constexpr int POWER_OFF_MS = 200;
constexpr int VDD_BEFORE_VPP_MS = 50;
constexpr int64_t VPP_BEFORE_VDD_NS = 5'000;

std::atomic<int64_t> vddOffNs{INT64_MIN / 2};

void vddoff(State& s) {
    change(s, {{LINE_VDD, false}});
    vddOffNs.store(platform::waits().nowNs(), std::memory_order_relaxed);
}

// Clock and data down first, then VDD, then Vpp: the chip is never running
// with MCLR released while the PC drives its pins.
void powerdown(State& s) {
    signalsidle(s, false);
    vddoff(s);
    vppoff(s);
}

void waitpoweroff() {
    const int64_t left = vddOffNs.load(std::memory_order_relaxed) +
                         int64_t{POWER_OFF_MS} * 1'000'000 - platform::waits().nowNs();
    if (left > 0) platform::waits().sleepMs(static_cast<int>((left + 999'999) / 1'000'000));
}

// Entry on a board that switches VDD, from the chip unpowered, in the order
// the chip's document asks for.
void powerup(State& s) {
    powerdown(s);
    waitpoweroff();
    if (s.vppfirst) {
        vppon(s);
        platform::waits().holdUntil(lastChangeNs.load(std::memory_order_relaxed) + VPP_BEFORE_VDD_NS);
        change(s, {{LINE_VDD, true}});
    } else {
        change(s, {{LINE_VDD, true}});
        platform::waits().sleepMs(VDD_BEFORE_VPP_MS);
        vppon(s);
    }
    delaymilli(s, 25);
}

}  // namespace

void clockdown(State& s) { change(s, {{LINE_CLOCK, false}}); }
void clockup(State& s) { change(s, {{LINE_CLOCK, true}}); }
void datadown(State& s) { change(s, {{LINE_DATAOUT, false}}); }
void dataup(State& s) { change(s, {{LINE_DATAOUT, true}}); }
void datawritable(State& s) { change(s, {{LINE_DATAOUT, false}, {LINE_DATADIR, true}}); }
void datareadable(State& s) { change(s, {{LINE_DATAOUT, true}, {LINE_DATADIR, false}}); }
void vppon(State& s) { change(s, {{LINE_VPP, true}}); }
void vddon(State& s) { change(s, {{LINE_VDD, true}}); }
void vppoff(State& s) { change(s, {{LINE_VPP, false}}); }

void allpinslow(State& s) {
    if (boardswitchesvdd(s.wiring)) {
        powerdown(s);
        return;
    }
    vppoff(s);
    signalsidle(s, true);
}

void vppreset(State& s) {
    if (boardswitchesvdd(s.wiring)) {
        powerup(s);
        return;
    }
    vppoff(s);
    datawritable(s);
    datadown(s);
    clockdown(s);
    delaymilli(s, 25);
    vppon(s);
    delaymilli(s, 25);
}

int16_t datain(State& s) {
    notebase(s);
    const int32_t status = binding::zavINP(portnumber(statusport(s))) & 0xFF;
    // The status bit of the data-in pin, turned so that 1 means the chip's
    // data pin is high (on the original board: bit 7, inverted).
    const RegisterBits& in = s.wiring.status[LINE_DATAIN];
    const int32_t bit = (in.on ? status : ~status) & in.mask;
    return static_cast<int16_t>(binding::zavSR(bit, s.wiring.statusbit) & 1);
}

void delay(int16_t) {
    platform::waits().holdUntil(lastChangeNs.load(std::memory_order_relaxed) + PHASE_NS);
}
void delaymilli(const State& s, int16_t) {
    platform::waits().sleepMs(s.chip && !isoriginal(*s.chip) ? 7 : s.tprog);
}
