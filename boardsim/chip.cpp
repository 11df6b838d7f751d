#include "chip.h"

namespace boardsim {

int programWords(int kind) { return kind == PIC16F83 ? 512 : 1024; }

uint16_t deviceId(int kind) { return kind == PIC16F84A ? 0x0561 : 0x3FFF; }

// The 16C84 implements only bits 4:0 of its configuration word; the others
// read as ones.
uint16_t storedConfig(int kind, int32_t value) {
    if (kind == PIC16C84) return static_cast<uint16_t>((value & 0x1F) | 0x3FE0);
    return static_cast<uint16_t>(value & 0x3FFF);
}

// On the 16F8x every CP bit (13:4) must be 1 for an open chip: a partly
// cleared pattern counts as protected, the safe reading of a pattern the
// maker says not to use.
bool protectedBy(int kind, uint16_t config) {
    if (kind == PIC16C84) return (config & 0x10) == 0;
    return (config & 0x3FF0) != 0x3FF0;
}

uint16_t withProtection(int kind, uint16_t config, bool on) {
    if (kind == PIC16C84)
        return storedConfig(kind, on ? (config & ~0x10) : (config | 0x10));
    return static_cast<uint16_t>(on ? (config & 0x000F) : (config | 0x3FF0));
}

Cells blankCells(int kind) {
    Cells c;
    c.program.fill(0x3FFF);
    c.id.fill(0x3FFF);
    c.config = storedConfig(kind, 0x3FFF);
    c.data.fill(0xFF);
    return c;
}

Chip::Chip(int kind, Events& events)
    : kind_(kind), events_(events), cells_(blankCells(kind)) {}

bool Chip::update(const Pins& pins, int64_t now) {
    settle(now);
    if (!present()) return false;
    bool left = false;
    if (pins.vpp != vpp_) {
        vpp_ = pins.vpp;
        if (vpp_) {
            // Entry needs clock and data low as Vpp rises; otherwise the
            // chip just runs (or resets) and ignores the programming pins.
            if (!pins.clock && !pins.data)
                enter();
            else
                event(EV_FAULT, FAULT_BAD_ENTRY);
        } else if (phase_ != Phase::Off) {
            leave();
            left = true;
        }
    }
    if (pins.clock != clock_) {
        clock_ = pins.clock;
        if (phase_ != Phase::Off) clockEdge(pins, clock_);
    }
    return left;
}

void Chip::seat(const Pins& pins) {
    vpp_ = pins.vpp;
    clock_ = pins.clock;
}

void Chip::settle(int64_t now) {
    now_ = now;
    if (!cycle_.active || now - cycle_.start < CYCLE_NS) return;
    now_ = cycle_.start + CYCLE_NS;  // the write is done at the end of the cycle
    completeCycle();
    now_ = now;
}

void Chip::enter() {
    lastEdge_ = now_;
    phase_ = Phase::Command;
    pc_ = 0;
    bits_ = 0;
    shift_ = 0;
    drive_ = false;
    programLatch_ = 0x3FFF;
    dataLatch_ = 0xFF;
    lastLoad_ = Loaded::None;
    after1_ = chipEraseArmed_ = eraseProgramArmed_ = eraseDataArmed_ = false;
    const bool p = protectedBy(kind_, cells_.config);
    if (p != protected_) dirty = true;
    protected_ = p;
}

void Chip::leave() {
    if (cycle_.active) {  // Vpp gone before the cycle ended: nothing written
        cycle_.active = false;
        event(EV_FAULT, FAULT_TIMING);
    }
    if (phase_ != Phase::Command || bits_ != 0) event(EV_FAULT, FAULT_BAD_FRAME);
    phase_ = Phase::Off;
    bits_ = 0;
    shift_ = 0;
    drive_ = false;
}

void Chip::clockEdge(const Pins& pins, bool rising) {
    if (now_ - lastEdge_ < PHASE_NS) event(EV_FAULT, FAULT_SHORT_PHASE);
    lastEdge_ = now_;
    if (cycle_.active) {  // settle() left it running: the next command came too soon
        cycle_.active = false;
        event(EV_FAULT, FAULT_TIMING);
    }
    if (rising) {
        // A read frame: the chip presents its next bit after each rising
        // edge; the first and last periods carry a 0.
        if (phase_ == Phase::ReadFrame) {
            const unsigned k = bits_;
            level_ = k >= 1 && k <= 14 && ((outWord_ >> (k - 1)) & 1);
            drive_ = true;
            if (pins.pcDrives && !contention_) {
                contention_ = true;
                event(EV_FAULT, FAULT_BAD_FRAME);
            }
        }
        return;
    }
    const uint32_t bit = pins.data ? 1u : 0u;
    switch (phase_) {
    case Phase::Command:
        shift_ |= bit << bits_;
        if (++bits_ == 6) {
            const unsigned code = shift_;
            bits_ = 0;
            shift_ = 0;
            decode(code);
        }
        break;
    case Phase::LoadFrame:
        shift_ |= bit << bits_;
        if (++bits_ == 16) {
            const unsigned frame = shift_;
            bits_ = 0;
            shift_ = 0;
            phase_ = Phase::Command;
            loaded(frame);
        }
        break;
    case Phase::ReadFrame:
        if (++bits_ == 16) {  // the frame is over: let go of the line
            drive_ = false;
            bits_ = 0;
            phase_ = Phase::Command;
            event(EV_DATA_OUT, outWord_);
        }
        break;
    case Phase::Off:
        break;
    }
}

void Chip::decode(unsigned code) {
    event(EV_COMMAND, static_cast<int>(code));
    // The code-protection erase is armed by 1 immediately followed by 7 and
    // done by the 8 right after; anything else in between disarms it.
    const bool was1 = after1_;
    const bool armed = chipEraseArmed_;
    after1_ = false;
    chipEraseArmed_ = false;
    switch (code) {
    case 0:
    case 2:
    case 3:
        loadCommand_ = code;
        phase_ = Phase::LoadFrame;
        break;
    case 4: startRead(programRead()); break;
    case 5: startRead(dataRead()); break;
    case 6: increment(); break;
    case 8:
        chipEraseArmed_ = armed;
        beginCycle();
        break;
    case 9: eraseProgramArmed_ = true; break;   // done at the next 8
    case 11: eraseDataArmed_ = true; break;
    case 1: after1_ = true; break;
    case 7: chipEraseArmed_ = was1; break;
    default: event(EV_FAULT, FAULT_UNKNOWN_COMMAND); break;
    }
}

void Chip::loaded(unsigned frame) {
    const uint16_t word = static_cast<uint16_t>((frame >> 1) & 0x3FFF);
    event(EV_DATA_IN, word);
    if ((frame & 1) || (frame & 0x8000)) event(EV_FAULT, FAULT_BAD_FRAME);
    switch (loadCommand_) {
    case 0:
        pc_ = 0x2000;
        programLatch_ = word;
        lastLoad_ = Loaded::Program;
        break;
    case 2:
        programLatch_ = word;
        lastLoad_ = Loaded::Program;
        break;
    case 3:
        dataLatch_ = static_cast<uint8_t>(word & 0xFF);
        lastLoad_ = Loaded::Data;
        break;
    }
}

void Chip::startRead(uint16_t word) {
    outWord_ = word;
    phase_ = Phase::ReadFrame;
    bits_ = 0;
    contention_ = false;
}

// Configuration space repeats every 16 words: ID 0-3, reserved 4-6,
// configuration 7, reserved 8-15. Reserved words read 0x3FFF, and so does
// the device ID at 6 on a chip without one.
uint16_t Chip::programRead() const {
    if (inConfigSpace()) {
        const unsigned off = pc_ & 0xF;
        if (off < 4) return cells_.id[off];
        if (off == 6) return deviceId(kind_);
        if (off == 7) return cells_.config;
        return 0x3FFF;
    }
    if (protected_) return 0;
    return cells_.program[pc_ & (programWords(kind_) - 1)];
}

// Eight data bits; the upper six read 0.
uint16_t Chip::dataRead() const {
    if (protected_) return 0;
    return cells_.data[pc_ & 63];
}

// Once in configuration space the counter stays there; only leaving
// programming mode brings it back to 0.
void Chip::increment() {
    if (inConfigSpace())
        pc_ = 0x2000 | ((pc_ + 1) & 0x1FFF);
    else
        pc_ = (pc_ + 1) & 0x1FFF;
}

void Chip::beginCycle() {
    cycle_ = Cycle{};
    cycle_.active = true;
    cycle_.start = now_;
    cycle_.pc = pc_;
    if (chipEraseArmed_) {
        chipEraseArmed_ = false;
        // The sequence is defined with the counter on the configuration word.
        if (inConfigSpace() && (pc_ & 0xF) == 7) cycle_.what = ERASE_CHIP;
        return;
    }
    if (eraseProgramArmed_ || eraseDataArmed_) {
        if (eraseProgramArmed_) cycle_.what |= ERASE_PROGRAM;
        if (eraseDataArmed_) cycle_.what |= ERASE_DATA;
        eraseProgramArmed_ = eraseDataArmed_ = false;
    } else if (lastLoad_ == Loaded::Program) {
        cycle_.what = WRITE_WORD;
    } else if (lastLoad_ == Loaded::Data) {
        cycle_.what = WRITE_BYTE;
    }
    cycle_.value = lastLoad_ == Loaded::Data ? dataLatch_ : programLatch_;
}

void Chip::completeCycle() {
    cycle_.active = false;
    const unsigned what = cycle_.what;
    if (what & ERASE_CHIP) {
        cells_ = blankCells(kind_);
        protected_ = false;
        dirty = true;
        event(EV_WRITTEN, ERASED_CHIP);
        return;
    }
    if (protected_) return;  // refused until the chip is erased
    if (what & ERASE_PROGRAM) {
        for (int i = 0; i < programWords(kind_); ++i) cells_.program[i] = programLatch_;
        dirty = true;
        event(EV_WRITTEN, ERASED_PROGRAM);
    }
    if (what & ERASE_DATA) {
        cells_.data.fill(dataLatch_);
        dirty = true;
        event(EV_WRITTEN, ERASED_DATA);
    }
    if (what & WRITE_WORD) writeWord(cycle_.pc, cycle_.value);
    if (what & WRITE_BYTE) {
        const unsigned i = cycle_.pc & 63;
        cells_.data[i] = static_cast<uint8_t>(cycle_.value);
        dirty = true;
        event(EV_WRITTEN, static_cast<int>(0x2100 + i));
    }
}

void Chip::writeWord(uint32_t pc, uint16_t value) {
    if (pc >= 0x2000) {
        const unsigned off = pc & 0xF;
        if (off < 4) {
            cells_.id[off] = value;
        } else if (off == 7) {
            cells_.config = storedConfig(kind_, value);
        } else {
            return;  // reserved: ignored
        }
        dirty = true;
        event(EV_WRITTEN, static_cast<int>(0x2000 + off));
        return;
    }
    const unsigned i = pc & (programWords(kind_) - 1);
    cells_.program[i] = value;
    dirty = true;
    event(EV_WRITTEN, static_cast<int>(i));
}

int32_t Chip::cell(int region, int index) const {
    if (!present() || index < 0) return -1;
    switch (region) {
    case PROGRAM: return index < programWords(kind_) ? cells_.program[index] : -1;
    case ID: return index < 4 ? cells_.id[index] : -1;
    case CONFIG: return index == 0 ? cells_.config : -1;
    case DATA: return index < 64 ? cells_.data[index] : -1;
    default: return -1;
    }
}

void Chip::setCell(int region, int index, int32_t value) {
    if (cell(region, index) < 0) return;
    switch (region) {
    case PROGRAM: cells_.program[index] = static_cast<uint16_t>(value & 0x3FFF); break;
    case ID: cells_.id[index] = static_cast<uint16_t>(value & 0x3FFF); break;
    case CONFIG: cells_.config = storedConfig(kind_, value); break;
    case DATA: cells_.data[index] = static_cast<uint8_t>(value & 0xFF); break;
    }
    dirty = true;
}

void Chip::setCells(const Cells& c, bool protectedNow) {
    cells_ = c;
    protected_ = protectedNow;
}

void Chip::setProtected(bool on) {
    if (!present()) return;
    protected_ = on;
    cells_.config = withProtection(kind_, cells_.config, on);
    dirty = true;
}

}  // namespace boardsim
