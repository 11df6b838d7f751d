#include "lines.h"

#include "binding.h"
#include "platform.h"

namespace {

int16_t dataport(const State& s) { return s.portaddr; }
int16_t statusport(const State& s) { return static_cast<int16_t>(s.portaddr + 1); }
int16_t controlport(const State& s) { return static_cast<int16_t>(s.portaddr + 2); }

// Ports are 16-bit: widen the bit pattern, not the signed value.
int32_t portnumber(int16_t port) { return static_cast<uint16_t>(port); }

void writecontrol(State& s, uint8_t value) {
    s.ctrlshadow = value;
    binding::zavOUT(portnumber(controlport(s)), s.ctrlshadow);
}

void writedata(State& s, uint8_t value) {
    binding::zavOUT(portnumber(dataport(s)), value);
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
    const int32_t status = binding::zavINP(portnumber(statusport(s))) & 0xFF;
    const int32_t bit7 = (~status) & 0x80;
    return static_cast<int16_t>(binding::zavSR(bit7, 7) & 1);
}

void delay(int16_t) { platform::waits().yield(); }
void delaymilli(int16_t) { platform::waits().sleepMs(7); }
