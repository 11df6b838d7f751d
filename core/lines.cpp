#include "lines.h"

#include <atomic>

#include "binding.h"
#include "capture.h"
#include "platform.h"

namespace {

// The shortest clock phase the chip accepts (data set-up and hold, and the
// pause between a command and the frame that follows it).
constexpr int64_t PHASE_NS = 1000;

// When the last line change was written, by the clock of the waits in force.
// It is stamped after the port write returns, so the change has reached the
// port by then. One run uses the lines from one thread at a time; the atomic
// only keeps a hand-over between threads well defined, at no cost.
std::atomic<int64_t> lastChangeNs{0};

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
    changed();
}

void writedata(State& s, uint8_t value) {
    notebase(s);
    binding::zavOUT(portnumber(dataport(s)), value);
    changed();
}

}  // namespace

void clockdown(State& s) { writecontrol(s, s.ctrlshadow | 0x01); }
void clockup(State& s) { writecontrol(s, s.ctrlshadow & 0xFE); }
void datadown(State& s) { writecontrol(s, s.ctrlshadow | 0x02); }
void dataup(State& s) { writecontrol(s, s.ctrlshadow & 0xFD); }
void datawritable(State& s) { writecontrol(s, s.ctrlshadow | 0x0A); }
void datareadable(State& s) { writecontrol(s, s.ctrlshadow & 0xF5); }

void vppon(State& s) {
    writecontrol(s, s.ctrlshadow & 0xFB);
    writedata(s, 0x00);
}

void vppoff(State& s) {
    writecontrol(s, s.ctrlshadow | 0x04);
    writedata(s, 0x01);
}

void allpinslow(State& s) {
    vppoff(s);
    writecontrol(s, 0x0F);
}

void vppreset(State& s) {
    vppoff(s);
    datawritable(s);
    datadown(s);
    clockdown(s);
    delaymilli(25);
    vppon(s);
    delaymilli(25);
}

int16_t datain(State& s) {
    notebase(s);
    const int32_t status = binding::zavINP(portnumber(statusport(s))) & 0xFF;
    const int32_t bit7 = (~status) & 0x80;
    return static_cast<int16_t>(binding::zavSR(bit7, 7) & 1);
}

void delay(int16_t) {
    platform::waits().holdUntil(lastChangeNs.load(std::memory_order_relaxed) + PHASE_NS);
}
void delaymilli(int16_t) { platform::waits().sleepMs(7); }
