// SPDX-License-Identifier: GPL-2.0-or-later
#include "models.h"

#include <cstring>
#include <string>

#include "devices/chipname.h"

namespace boardsim {
namespace {

constexpr int64_t MS = 1'000'000;
constexpr int64_t US = 1'000;

// The 16C84/16F84/16F83/16F84A: every cycle is begun by 8 and takes 7 ms,
// erases and the protection erase included.
const Command F84_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 7 * MS, 7 * MS},
    {9, DO_BULK_ERASE_PROGRAM, false, 7 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 7 * MS},
    {1, DO_ERASE_SETUP1, false, 0, 0},     {7, DO_ERASE_SETUP2, false, 7 * MS, 7 * MS},
};

// 16F627/628: 8 erases and programs (TERA + TPROG, 5 + 8 ms), 24 only
// programs (8 ms); bulk erases wait for an 8 and take TERA. The protection
// erase is an 8 too, and is given that command's own time.
const Command F62X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_ERASE_PROGRAM, true, 13 * MS, 13 * MS},
    {24, DO_PROGRAM, true, 8 * MS, 8 * MS},
    {9, DO_BULK_ERASE_PROGRAM, false, 5 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 5 * MS},
    {1, DO_ERASE_SETUP1, false, 0, 0},     {7, DO_ERASE_SETUP2, false, 13 * MS, 13 * MS},
};

// 16F627A/628A/648A: 8 only programs (the longer TPROG, 4 ms; data 6 ms);
// the bulk erases are self-timed (TERA 6 ms). No 24, no setup commands.
const Command F62XA_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {8, DO_PROGRAM, true, 4 * MS, 6 * MS},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
    {11, DO_BULK_ERASE_DATA, true, 0, 6 * MS},
};

// 16F818/819: externally timed cycles ended by 23. 24 programs the four
// latches (TPROG1: the longer reading, 2 ms), 8 erases a row (TPROG2 1 ms)
// or does an armed bulk erase (TPROG3 2 ms); 31 is a self-timed chip erase
// (TPROG4 8 ms).
const Command F81X_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 2 * MS},
    {8, DO_BEGIN_ERASE, false, 1 * MS, 0},
    {23, DO_END_PROGRAM, false, 0, 0},
    {9, DO_BULK_ERASE_PROGRAM, false, 2 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 2 * MS},
    {31, DO_CHIP_ERASE, true, 8 * MS, 8 * MS},
};

// 16F87/88: the 818's commands with the longer bulk and chip erase (10 ms).
const Command F87_88_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {3, DO_LOAD_DATA, false, 0, 0},        {4, DO_READ_PROGRAM, false, 0, 0},
    {5, DO_READ_DATA, false, 0, 0},        {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 2 * MS},
    {8, DO_BEGIN_ERASE, false, 1 * MS, 0},
    {23, DO_END_PROGRAM, false, 0, 0},
    {9, DO_BULK_ERASE_PROGRAM, false, 10 * MS, 0},
    {11, DO_BULK_ERASE_DATA, false, 0, 10 * MS},
    {31, DO_CHIP_ERASE, true, 10 * MS, 10 * MS},
};

// 16F716: no data memory. 24 programs the four latches until 14 (TPROG
// 2 ms), then TDIS 100 µs before the next command; 9 is a self-timed bulk
// erase (TERA 6 ms).
const Command F716_SET[] = {
    {0, DO_LOAD_CONFIG, false, 0, 0},      {2, DO_LOAD_PROGRAM, false, 0, 0},
    {4, DO_READ_PROGRAM, false, 0, 0},     {6, DO_INCREMENT, false, 0, 0},
    {24, DO_BEGIN_PROGRAM, false, 2 * MS, 0},
    {14, DO_END_PROGRAM, false, 100 * US, 0},
    {9, DO_BULK_ERASE_PROGRAM, true, 6 * MS, 0},
};

template <size_t N>
constexpr CommandSet set(const Command (&c)[N]) {
    return CommandSet{c, static_cast<int>(N)};
}

constexpr uint16_t NONE = 0x3FFF;

// The original chips: no device ID but on the 16F84A, 64 data bytes.
constexpr Model f84(int kind, const char* name, int words, uint16_t mask, uint16_t id) {
    return Model{kind, name, Family::F84, words, 64, mask, 0x3FFF, 0, 0, id,
                 static_cast<uint16_t>(id == NONE ? 0 : 0x3FE0), 1, 0, false, set(F84_SET)};
}

// Configuration words (mask = blank value): 627/628 bit 9 unimplemented;
// 62xA bits 12:9; 818/819/87/88 all bits; 716 bits 12:8 and 5:4. All but the
// 716 have LVP (bit 7) and can run on the internal oscillator with MCLR
// tied inside.
constexpr Model f62x(int kind, const char* name, int words, uint16_t id) {
    return Model{kind, name, Family::F62X, words, 128, 0x3DFF, 0x3DFF, 0, 0, id, 0x3FE0, 1, 0x80, true,
                 set(F62X_SET)};
}

constexpr Model f62xa(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{kind, name, Family::F62XA, words, bytes, 0x21FF, 0x21FF, 0, 0, id, 0x3FE0, 1, 0x80, true,
                 set(F62XA_SET)};
}

// Four revision bits; the 87/88 add CONFIG2 (bits 1:0, blank 0x0003).
constexpr Model f81x(int kind, const char* name, int words, int bytes, uint16_t id) {
    return Model{kind, name, Family::F81X, words, bytes, 0x3FFF, 0x3FFF, 0, 0, id, 0x3FF0, 4, 0x80, true,
                 set(F81X_SET)};
}

constexpr Model f87_88(int kind, const char* name, uint16_t id) {
    return Model{kind, name, Family::F87_88, 4096, 256, 0x3FFF, 0x3FFF, 0x0003, 0x0003, id, 0x3FF0, 4, 0x80,
                 true, set(F87_88_SET)};
}

const Model MODELS[] = {
    f84(ZAVSIM_16C84, "PIC16C84", 1024, 0x001F, NONE),
    f84(ZAVSIM_16F84, "PIC16F84", 1024, 0x3FFF, NONE),
    f84(ZAVSIM_16F83, "PIC16F83", 512, 0x3FFF, NONE),
    f84(ZAVSIM_16F84A, "PIC16F84A", 1024, 0x3FFF, 0x0560),
    f62x(ZAVSIM_16F627, "PIC16F627", 1024, 0x07A0),
    f62x(ZAVSIM_16F628, "PIC16F628", 2048, 0x07C0),
    f62xa(ZAVSIM_16F627A, "PIC16F627A", 1024, 128, 0x1040),
    f62xa(ZAVSIM_16F628A, "PIC16F628A", 2048, 128, 0x1060),
    f62xa(ZAVSIM_16F648A, "PIC16F648A", 4096, 256, 0x1100),
    f81x(ZAVSIM_16F818, "PIC16F818", 1024, 128, 0x04C0),
    f81x(ZAVSIM_16F819, "PIC16F819", 2048, 256, 0x04E0),
    f87_88(ZAVSIM_16F87, "PIC16F87", 0x0720),
    f87_88(ZAVSIM_16F88, "PIC16F88", 0x0760),
    Model{ZAVSIM_16F716, "PIC16F716", Family::F716, 2048, 0, 0x20CF, 0x20CF, 0, 0, 0x1140, 0x3FE0, 4, 0,
          false, set(F716_SET)},
};

}  // namespace

int modelCount() { return static_cast<int>(sizeof MODELS / sizeof MODELS[0]); }

const Model& modelAt(int i) { return MODELS[i]; }

const Model* modelOf(int kind) {
    for (const Model& m : MODELS)
        if (m.kind == kind) return &m;
    return nullptr;
}

int kindNamed(const char* text) {
    const std::string key = chipnamekey(text);
    for (const Model& m : MODELS)
        if (chipnamekey(m.name) == key) return m.kind;
    return -1;
}

const Command* findCommand(const Model& m, unsigned code) {
    for (int i = 0; i < m.set.count; ++i)
        if (m.set.commands[i].code == code) return &m.set.commands[i];
    return nullptr;
}

int64_t timeOf(const Model& m, Does does, bool data) {
    for (int i = 0; i < m.set.count; ++i)
        if (m.set.commands[i].does == does)
            return data ? m.set.commands[i].dataNs : m.set.commands[i].programNs;
    return 0;
}

// On the 16F8x every CP bit (13:4) must be 1 for an open chip: a partly
// cleared pattern counts as protected, the safe reading of a pattern the
// maker says not to use. The 16F627/628 keep CP1:CP0 twice (bits 13:12 and
// 11:10); a 0 in either copy counts. 11 is open; 10 protects the upper half
// of a 628 (and nothing on a 627); 01 from 0x200 up; 00 everything.
int protectedFrom(const Model& m, uint16_t config) {
    switch (m.family) {
    case Family::F84:
        if (m.kind == ZAVSIM_16C84) return (config & 0x10) ? m.programWords : 0;
        return (config & 0x3FF0) == 0x3FF0 ? m.programWords : 0;
    case Family::F62X: {
        const unsigned cp = ((config >> 12) & 3) & ((config >> 10) & 3);
        if (cp == 0) return 0;
        if (cp == 1) return 0x200;
        if (cp == 2 && m.programWords == 2048) return 0x400;
        return m.programWords;
    }
    default: return (config & 0x2000) ? m.programWords : 0;
    }
}

bool dataProtectedBy(const Model& m, uint16_t config) {
    if (m.family == Family::F84) return protectedFrom(m, config) == 0;
    if (m.dataBytes == 0) return false;
    return (config & 0x0100) == 0;
}

uint16_t withProtectionBits(const Model& m, uint16_t config, bool on) {
    uint16_t bits = m.family == Family::F62X ? 0x3C00 : 0x2000;
    if (m.dataBytes) bits |= 0x0100;
    return static_cast<uint16_t>((on ? (config & ~bits) : (config | bits)) & m.configMask);
}

// FOSC2:0 (bits 4, 1, 0) 100 or 101 is the internal oscillator; bit 5 is
// MCLRE.
bool refusesVddFirst(const Model& m, uint16_t config) {
    if (!m.internalOscillator) return false;
    const bool internal = (config & 0x10) && !(config & 0x02);
    return internal && !(config & 0x20);
}

void describe(const Model& m, zavsim_chipinfo& out) {
    std::memset(&out, 0, sizeof out);
    std::strncpy(out.name, m.name, sizeof out.name - 1);
    out.kind = m.kind;
    out.family = static_cast<int32_t>(m.family);
    out.program_words = m.programWords;
    out.data_bytes = m.dataBytes;
    out.id_words = 4;
    out.config_words = m.config2Mask ? 2 : 1;
    out.config_address[0] = 0x2007;
    out.config_mask[0] = m.configMask;
    out.config_blank[0] = m.configBlank;
    if (m.config2Mask) {
        out.config_address[1] = 0x2008;
        out.config_mask[1] = m.config2Mask;
        out.config_blank[1] = m.config2Blank;
    }
    out.device_id = m.deviceId;
    out.device_id_mask = m.deviceIdMask;
    out.latches = m.latches;
    out.lvp_bit = m.lvpBit;
    out.refuses_vdd_first = m.internalOscillator ? 1 : 0;
    out.command_count = m.set.count;
    for (int i = 0; i < m.set.count && i < 16; ++i) {
        const Command& c = m.set.commands[i];
        zavsim_command& o = out.commands[i];
        o.code = c.code;
        o.does = c.does;
        o.frame = c.does <= DO_LOAD_DATA ? 1 : c.does <= DO_READ_DATA ? 2 : 0;
        o.self_timed = c.selfTimed ? 1 : 0;
        o.program_ns = c.programNs;
        o.data_ns = c.dataNs;
    }
}

}  // namespace boardsim
