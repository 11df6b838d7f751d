// SPDX-License-Identifier: GPL-2.0-or-later
#include "chip.h"

#include <algorithm>

namespace boardsim {

int programWords(int kind) {
    const Model* m = modelOf(kind);
    return m ? m->programWords : 1024;
}

int dataBytes(int kind) {
    const Model* m = modelOf(kind);
    return m ? m->dataBytes : 64;
}

int configWords(int kind) {
    const Model* m = modelOf(kind);
    return m && m->config2Mask ? 2 : 1;
}

bool hasCalibrationWord(int kind) {
    const Model* m = modelOf(kind);
    return m && m->calibration == Calibration::Word;
}

uint16_t deviceId(int kind, int revision) {
    const Model* m = modelOf(kind);
    if (!m || m->deviceId == 0x3FFF) return 0x3FFF;
    return static_cast<uint16_t>(m->deviceId | (revision & ~m->deviceIdMask & 0x3FFF));
}

// The 16C84 implements only bits 4:0 of its configuration word; the others
// read as ones. Elsewhere unimplemented bits read 0.
uint16_t storedConfig(int kind, int32_t value) {
    if (kind == PIC16C84) return static_cast<uint16_t>((value & 0x1F) | 0x3FE0);
    const Model* m = modelOf(kind);
    return static_cast<uint16_t>(value & (m ? m->configMask : 0x3FFF));
}

uint16_t storedConfig2(int kind, int32_t value) {
    const Model* m = modelOf(kind);
    return static_cast<uint16_t>(value & (m ? m->config2Mask : 0));
}

// Any part of program memory or the data memory closed.
bool protectedBy(int kind, uint16_t config) {
    const Model* m = modelOf(kind);
    if (!m) return false;
    return protectedFrom(*m, config) < m->programWords || dataProtectedBy(*m, config);
}

uint16_t withProtection(int kind, uint16_t config, bool on) {
    if (kind == PIC16C84)
        return storedConfig(kind, on ? (config & ~0x10) : (config | 0x10));
    const Model* m = modelOf(kind);
    if (m && m->family != Family::F84) return withProtectionBits(*m, config, on);
    return static_cast<uint16_t>(on ? (config & 0x000F) : (config | 0x3FF0));
}

Cells blankCells(int kind) {
    const Model* m = modelOf(kind);
    Cells c;
    c.program.fill(0x3FFF);
    c.id.fill(0x3FFF);
    c.config = m && m->family != Family::F84 ? m->configBlank : storedConfig(kind, 0x3FFF);
    c.config2 = m && m->config2Mask ? m->config2Blank : 0x3FFF;
    c.calibration = 0x3FFF;
    c.data.fill(0xFF);
    return c;
}

Cells factoryCells(int kind) {
    Cells c = blankCells(kind);
    const Model* m = modelOf(kind);
    if (m && m->calibration == Calibration::OscCal) {
        c.program[m->calibrationAddress] = m->calibrationFactory;
        c.config = static_cast<uint16_t>((c.config & ~BANDGAP_BITS) | m->bandGapFactory);
    } else if (m && m->calibration == Calibration::Word) {
        c.calibration = m->calibrationFactory;
    }
    return c;
}

Chip::Chip(int kind, Events& events, int revision)
    : kind_(kind), model_(modelOf(kind)), events_(events), cells_(factoryCells(kind)), revision_(revision) {
    if (newer()) openGuard();
}

bool Chip::update(const Pins& pins, int64_t now) {
    settle(now);
    if (!present()) return false;
    bool left = false;
    const bool wasPowered = vdd_;
    if (pins.vdd != vdd_) {
        vdd_ = pins.vdd;
        if (!vdd_ && phase_ != Phase::Off) {  // power gone: as if Vpp went
            leave();
            left = true;
        }
    }
    if (pins.vpp != vpp_) {
        vpp_ = pins.vpp;
        if (vpp_) {
            if (vdd_) powered(pins, wasPowered);
        } else if (phase_ != Phase::Off) {
            leave();
            left = true;
        }
    } else if (vdd_ && !wasPowered && vpp_) {
        powered(pins, false);  // VDD rose with Vpp already there
    }
    if (pins.clock != clock_) {
        clock_ = pins.clock;
        if (phase_ != Phase::Off) clockEdge(pins, clock_);
    }
    return left;
}

// Entry needs clock and data low as Vpp (or, Vpp first, VDD) rises;
// otherwise the chip just runs (or resets) and ignores the programming pins.
// A chip that runs from its internal oscillator with MCLR tied inside has
// already started its program when Vpp comes after VDD; one with LVP set and
// PGM high is taken by low-voltage programming.
void Chip::powered(const Pins& pins, bool vddFirst) {
    if (pins.clock || pins.data) {
        event(EV_FAULT, FAULT_BAD_ENTRY);
        return;
    }
    if (newer()) {
        const bool lowVoltage = model_->lvpBit && (cells_.config & model_->lvpBit) && pins.pgm;
        if (lowVoltage || (vddFirst && refusesVddFirst(*model_, cells_.config))) {
            event(EV_FAULT, FAULT_BAD_ENTRY);
            return;
        }
    }
    enter();
}

void Chip::seat(const Pins& pins) {
    vdd_ = pins.vdd;
    vpp_ = pins.vpp;
    clock_ = pins.clock;
}

void Chip::settle(int64_t now) {
    now_ = now;
    if (!cycle_.active) return;
    if (newer()) {
        if (cycle_.external || now - cycle_.start < cycle_.ns) return;
        now_ = cycle_.start + cycle_.ns;
        completeNewer();
        holdStuck();
        now_ = now;
        return;
    }
    if (now - cycle_.start < CYCLE_NS) return;
    now_ = cycle_.start + CYCLE_NS;  // the write is done at the end of the cycle
    completeCycle();
    holdStuck();
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
    if (newer()) {
        resetLatches();
        quietUntil_ = 0;
        const bool was = protected_;
        guardFrom(cells_.config);
        if (was != protected_) dirty = true;
        return;
    }
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
    if (newer()) {
        if (quietUntil_ && now_ < quietUntil_) event(EV_FAULT, FAULT_TIMING);
        quietUntil_ = 0;
        if (cycle_.active) {
            // An externally timed cycle runs on while the end command
            // comes in, once its time has passed; anything sooner cuts it.
            if (cycle_.external && (cycle_.timeKept || now_ - cycle_.start >= cycle_.ns)) {
                cycle_.timeKept = true;
            } else {
                cycle_.active = false;
                event(EV_FAULT, FAULT_TIMING);
            }
        }
    } else if (cycle_.active) {  // settle() left it running: the next command came too soon
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
    if (newer()) {
        const Command* c = findCommand(*model_, code);
        // Only the end command may follow the begin of an externally
        // timed cycle.
        if (cycle_.active && cycle_.external && (!c || c->does != DO_END_PROGRAM)) {
            cycle_.active = false;
            event(EV_FAULT, FAULT_TIMING);
        }
        if (c)
            decodeNewer(*c);
        else
            event(EV_FAULT, FAULT_UNKNOWN_COMMAND);
        return;
    }
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
    if (newer()) {  // these chips ignore the start and stop bits
        loadedNewer(word);
        return;
    }
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
// configuration 7, reserved 8-15 (CONFIG2 at 8 on the 16F87/88 and 16F88x,
// the calibration word at 8 or 9 where the chip has one). Reserved words
// read 0x3FFF, and so does the device ID at 6 on a chip without one.
uint16_t Chip::programRead() const {
    if (inConfigSpace()) {
        const unsigned off = pc_ & 0xF;
        if (off < 4) return cells_.id[off];
        if (off == 6) return deviceId(kind_, revision_);
        if (off == 7) return cells_.config;
        if (off == 8 && model_ && model_->config2Mask) return cells_.config2;
        if (model_ && static_cast<int>(off) == calibrationOffset(*model_)) return cells_.calibration;
        return 0x3FFF;
    }
    const unsigned i = pc_ & (programWords(kind_) - 1);
    if (newer()) return programOpen(i) ? cells_.program[i] : 0;
    if (protected_) return 0;
    return cells_.program[i];
}

// Eight data bits; the upper six read 0.
uint16_t Chip::dataRead() const {
    if (newer()) return cpd_ ? 0 : cells_.data[pc_ & (model_->dataBytes - 1)];
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

// ---- the newer families ---------------------------------------------------

void Chip::resetLatches() {
    latches_.fill(0x3FFF);
    latchLoaded_ = 0;
    dataLatch_ = 0xFF;
}

void Chip::guardFrom(uint16_t config) {
    cpFrom_ = protectedFrom(*model_, config);
    cpd_ = dataProtectedBy(*model_, config);
    protected_ = codeProtected() || cpd_;
}

void Chip::openGuard() {
    cpFrom_ = model_->programWords;
    cpd_ = false;
    protected_ = false;
}

void Chip::loadedNewer(uint16_t word) {
    switch (loadCommand_) {
    case DO_LOAD_CONFIG:
        pc_ = 0x2000;
        latches_[0] = word;
        latchLoaded_ |= 1;
        lastLoad_ = Loaded::Program;
        break;
    case DO_LOAD_PROGRAM: {
        const unsigned i = pc_ & (latchesAt(*model_, pc_) - 1);
        latches_[i] = word;
        latchLoaded_ |= 1u << i;
        lastLoad_ = Loaded::Program;
        break;
    }
    case DO_LOAD_DATA:
        dataLatch_ = static_cast<uint8_t>(word & 0xFF);
        lastLoad_ = Loaded::Data;
        break;
    }
}

void Chip::decodeNewer(const Command& c) {
    const bool was1 = after1_;
    const bool armed = chipEraseArmed_;
    after1_ = false;
    chipEraseArmed_ = false;
    const bool data = lastLoad_ == Loaded::Data;
    const unsigned write = lastLoad_ == Loaded::None ? 0u : data ? WRITE_BYTE : WRITE_GROUP;
    const int64_t writeNs = data ? c.dataNs : c.programNs;
    // Where the documents bound the configuration space's erase.
    const bool idsInScope = pc_ >= 0x2000 && pc_ <= 0x2007;
    switch (c.does) {
    case DO_LOAD_CONFIG:
    case DO_LOAD_PROGRAM:
    case DO_LOAD_DATA:
        loadCommand_ = c.does;
        phase_ = Phase::LoadFrame;
        break;
    case DO_READ_PROGRAM: startRead(programRead()); break;
    case DO_READ_DATA: startRead(dataRead()); break;
    case DO_INCREMENT: increment(); break;
    case DO_ERASE_PROGRAM:  // 627/628, 870-877, 873A-877A: 8
        if (armed) {
            startCycle(armedEraseScope(), timeOf(*model_, DO_ERASE_SETUP2), false, false);
        } else if (eraseProgramArmed_ || eraseDataArmed_) {
            startArmedErase(false);
        } else {
            startCycle(write, writeNs, false, false);
        }
        break;
    case DO_PROGRAM: startCycle(write, writeNs, false, true); break;
    case DO_BEGIN_PROGRAM: startCycle(write, writeNs, true, true); break;
    case DO_BEGIN_ERASE:  // 818/819/87/88: 8, a row or the armed bulk erases
        if (eraseProgramArmed_ || eraseDataArmed_)
            startArmedErase(true);
        else
            startCycle(ERASE_ROW, c.programNs, true, false);
        break;
    case DO_END_PROGRAM:
        if (cycle_.active && cycle_.external) {
            completeNewer();
            holdStuck();
        }
        if (c.programNs) quietUntil_ = now_ + c.programNs;
        break;
    case DO_BULK_ERASE_PROGRAM:
        if (!c.selfTimed) {
            eraseProgramArmed_ = true;  // done at the next begin
        } else if (model_->family == Family::F716) {
            // The configuration word always goes; the IDs with the counter on them.
            startCycle(ERASE_PROGRAM | ERASE_CONFIG | (idsInScope ? ERASE_IDS : 0u) | FORCED, c.programNs,
                       false, false);
        } else {
            startCycle(bulkEraseScope(), c.programNs, false, false);
        }
        break;
    case DO_ROW_ERASE: startCycle(ERASE_ROW, c.programNs, false, false); break;
    case DO_BULK_ERASE_DATA:
        if (!c.selfTimed)
            eraseDataArmed_ = true;
        else
            startCycle(ERASE_DATA, c.dataNs, false, false);
        break;
    case DO_CHIP_ERASE:
        startCycle(idsInScope ? ERASE_CHIP : ERASE_PROGRAM | ERASE_DATA | FORCED, c.programNs, false, false);
        break;
    case DO_ERASE_SETUP1: after1_ = true; break;
    case DO_ERASE_SETUP2: chipEraseArmed_ = was1; break;
    }
}

// The 1/7 sequence's 8: on the configuration word the whole chip; on the
// 16F870-877 in program space the memory last loaded for (0x3FFF, by the
// documents' sequence); elsewhere nothing.
unsigned Chip::armedEraseScope() const {
    if (inConfigSpace()) return (pc_ & 0xF) == 7 ? ERASE_CHIP : 0u;
    if (model_->family != Family::F87X) return 0;
    return lastLoad_ == Loaded::Data ? ERASE_DATA : lastLoad_ == Loaded::Program ? ERASE_PROGRAM : 0u;
}

// A self-timed bulk erase of program memory (62xA and after): from
// configuration space the IDs and configuration words too, which lifts the
// protection, and the calibration word when the counter is on it; from
// program space only program memory, refused under CP.
unsigned Chip::bulkEraseScope() const {
    if (!inConfigSpace()) return ERASE_PROGRAM;
    const bool onCalibration = static_cast<int>(pc_ & 0xF) == calibrationOffset(*model_);
    return ERASE_PROGRAM | ERASE_IDS | ERASE_CONFIG | FORCED | (onCalibration ? ERASE_CALIBRATION : 0u);
}

// The bulk erases 9 and 11 armed for this begin command; both at once take
// the longer time.
void Chip::startArmedErase(bool external) {
    unsigned what = 0;
    int64_t ns = 0;
    if (eraseProgramArmed_) what |= ERASE_PROGRAM, ns = timeOf(*model_, DO_BULK_ERASE_PROGRAM);
    if (eraseDataArmed_) what |= ERASE_DATA, ns = std::max(ns, timeOf(*model_, DO_BULK_ERASE_DATA, true));
    eraseProgramArmed_ = eraseDataArmed_ = false;
    startCycle(what, ns, external, false);
}

void Chip::startCycle(unsigned what, int64_t ns, bool external, bool programOnly) {
    cycle_ = Cycle{};
    cycle_.active = true;
    cycle_.start = now_;
    cycle_.pc = pc_;
    cycle_.what = what;
    cycle_.ns = ns;
    cycle_.external = external;
    cycle_.programOnly = programOnly;
    cycle_.latches = latches_;
    cycle_.loaded = latchLoaded_;
    cycle_.value = dataLatch_;
    resetLatches();
}

void Chip::completeNewer() {
    cycle_.active = false;
    const unsigned what = cycle_.what;
    const bool forced = what & FORCED;
    if (what & ERASE_CHIP) {
        cells_ = blankCells(kind_);
        openGuard();
        dirty = true;
        event(EV_WRITTEN, ERASED_CHIP);
        return;
    }
    if ((what & ERASE_PROGRAM) && (forced || !codeProtected())) eraseProgram();
    if (what & ERASE_IDS) eraseConfigSpace(true);
    if (what & ERASE_CONFIG) eraseConfigSpace(false);
    if ((what & ERASE_DATA) && (forced || !cpd_)) {
        std::fill_n(cells_.data.begin(), model_->dataBytes, 0xFF);
        dirty = true;
        event(EV_WRITTEN, ERASED_DATA);
    }
    if (what & ERASE_CALIBRATION) {
        cells_.calibration = 0x3FFF;
        dirty = true;
        event(EV_WRITTEN, model_->calibrationAddress);
    }
    if (what & ERASE_ROW) eraseRow();
    if (what & WRITE_GROUP) writeGroup();
    if ((what & WRITE_BYTE) && !cpd_) {
        const unsigned i = cycle_.pc & (model_->dataBytes - 1);
        cells_.data[i] = static_cast<uint8_t>(cycle_.value);
        dirty = true;
        event(EV_WRITTEN, static_cast<int>(0x2100 + i));
    }
}

// The row at the counter; in configuration space nothing (our reading),
// under protection nothing.
void Chip::eraseRow() {
    if (cycle_.pc >= 0x2000 || !model_->rowWords) return;
    const unsigned n = static_cast<unsigned>(model_->rowWords);
    const unsigned first = cycle_.pc & (model_->programWords - 1) & ~(n - 1);
    if (!programOpen(first)) return;
    for (unsigned i = first; i < first + n; ++i) {
        cells_.program[i] = 0x3FFF;
        event(EV_WRITTEN, static_cast<int>(i));
    }
    dirty = true;
}

void Chip::eraseProgram() {
    std::fill_n(cells_.program.begin(), model_->programWords, 0x3FFF);
    dirty = true;
    event(EV_WRITTEN, ERASED_PROGRAM);
}

void Chip::eraseConfigSpace(bool ids) {
    dirty = true;
    if (ids) {
        cells_.id.fill(0x3FFF);
        for (int i = 0; i < 4; ++i) event(EV_WRITTEN, 0x2000 + i);
        return;
    }
    cells_.config = model_->configBlank;
    event(EV_WRITTEN, 0x2007);
    if (model_->config2Mask) {
        cells_.config2 = model_->config2Blank;
        event(EV_WRITTEN, 0x2008);
    }
    openGuard();
}

// The latches of the counter's group go to their words; with one latch the
// group is the word at the counter. A one-latch cycle that erases first (the
// 627/628's and 870-877's 8) writes its latch even when it still holds
// 0x3FFF; with several latches only those loaded are written.
void Chip::writeGroup() {
    const unsigned n = static_cast<unsigned>(latchesAt(*model_, cycle_.pc));
    const uint32_t first = cycle_.pc & ~(n - 1);
    for (unsigned i = 0; i < n; ++i)
        if ((cycle_.loaded & (1u << i)) || (!cycle_.programOnly && n == 1))
            writeNewer(first + i, cycle_.latches[i], cycle_.programOnly);
}

void Chip::writeNewer(uint32_t pc, uint16_t value, bool programOnly) {
    if (pc >= 0x2000) {
        if (codeProtected()) return;
        const unsigned off = pc & 0xF;
        uint16_t* cell = off < 4                                           ? &cells_.id[off]
                         : off == 7                                        ? &cells_.config
                         : off == 8 && model_->config2Mask                 ? &cells_.config2
                         : static_cast<int>(off) == calibrationOffset(*model_) ? &cells_.calibration
                                                                           : nullptr;
        if (!cell) return;  // reserved or the device ID: ignored
        const uint16_t v = programOnly ? (*cell & value) : value;
        *cell = cell == &cells_.config    ? storedConfig(kind_, v)
                : cell == &cells_.config2 ? storedConfig2(kind_, v)
                                          : v;
        dirty = true;
        event(EV_WRITTEN, static_cast<int>(0x2000 + off));
        return;
    }
    const unsigned i = pc & (model_->programWords - 1);
    if (!programOpen(i)) return;
    cells_.program[i] = programOnly ? (cells_.program[i] & value) : value;
    dirty = true;
    event(EV_WRITTEN, static_cast<int>(i));
}

// ---- direct access ----------------------------------------------------------

void Chip::setStuck(int region, int index, int32_t value) {
    if (cell(region, index) < 0) return;
    stuck_ = {region, index, value};
    holdStuck();
}

// A cycle has written or erased: the stuck cell is back at its value.
void Chip::holdStuck() {
    if (stuck_.region >= 0) setCell(stuck_.region, stuck_.index, stuck_.value);
}

int32_t Chip::cell(int region, int index) const {
    if (!present() || index < 0) return -1;
    switch (region) {
    case PROGRAM: return index < programWords(kind_) ? cells_.program[index] : -1;
    case ID: return index < 4 ? cells_.id[index] : -1;
    case CONFIG:
        if (index == 0) return cells_.config;
        return index == 1 && configWords(kind_) == 2 ? cells_.config2 : -1;
    case DATA: return index < dataBytes(kind_) ? cells_.data[index] : -1;
    case CALIBRATION:
        if (model_->calibration == Calibration::Word) return index == 0 ? cells_.calibration : -1;
        if (model_->calibration != Calibration::OscCal || index > 1) return -1;
        return index == 0 ? cells_.program[model_->calibrationAddress] : (cells_.config >> 12) & 3;
    default: return -1;
    }
}

void Chip::setCell(int region, int index, int32_t value) {
    if (cell(region, index) < 0) return;
    switch (region) {
    case PROGRAM: cells_.program[index] = static_cast<uint16_t>(value & 0x3FFF); break;
    case ID: cells_.id[index] = static_cast<uint16_t>(value & 0x3FFF); break;
    case CONFIG:
        if (index == 0)
            cells_.config = storedConfig(kind_, value);
        else
            cells_.config2 = storedConfig2(kind_, value);
        break;
    case DATA: cells_.data[index] = static_cast<uint8_t>(value & 0xFF); break;
    case CALIBRATION:
        if (model_->calibration == Calibration::Word)
            cells_.calibration = static_cast<uint16_t>(value & 0x3FFF);
        else if (index == 0)
            cells_.program[model_->calibrationAddress] = static_cast<uint16_t>(value & 0x3FFF);
        else
            cells_.config = static_cast<uint16_t>((cells_.config & ~BANDGAP_BITS) | (value & 3) << 12);
        break;
    }
    dirty = true;
}

void Chip::setCells(const Cells& c, bool protectedNow) {
    cells_ = c;
    protected_ = protectedNow;
    if (!newer()) return;
    if (!protectedNow) {
        openGuard();
        return;
    }
    guardFrom(cells_.config);
    if (!protected_) {  // the flag without the bits: protected throughout
        cpFrom_ = 0;
        cpd_ = model_->dataBytes > 0;
        protected_ = true;
    }
}

void Chip::setProtected(bool on) {
    if (!present()) return;
    cells_.config = withProtection(kind_, cells_.config, on);
    dirty = true;
    if (!newer()) {
        protected_ = on;
        return;
    }
    if (on)
        guardFrom(cells_.config);
    else
        openGuard();
}

}  // namespace boardsim
