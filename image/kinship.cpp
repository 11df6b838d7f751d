// SPDX-License-Identifier: GPL-2.0-or-later
#include "kinship.h"

#include <algorithm>
#include <cstdio>

// Byte-oriented instructions are 00 oooo dfff ffff; of opcode 0000 only
// MOVWF (bit 7 set) has a register, of 0001 only CLRF. Bit-oriented ones
// are 01 bbbb ffff ffff with the register in the low seven bits as well.
int fileregister(uint16_t instruction) {
    const unsigned word = instruction & 0x3FFF;
    const unsigned register7 = word & 0x7F;
    switch (word >> 12) {
    case 0: {
        const unsigned opcode = (word >> 8) & 0xF;
        if (opcode <= 1) return (word & 0x80) ? static_cast<int>(register7) : -1;
        return static_cast<int>(register7);
    }
    case 1: return static_cast<int>(register7);
    default: return -1;
    }
}

std::optional<ForeignUse> foreignuse(const State& s, const ChipRow& row) {
    if (row.foreign.empty()) return std::nullopt;
    const size_t words = std::min<size_t>({static_cast<size_t>(std::max<int16_t>(s.progused, 0)),
                                           s.progmem.size(),
                                           static_cast<size_t>(row.words(Kind::program))});
    for (size_t a = 0; a < words; ++a) {
        const int reg = fileregister(static_cast<uint16_t>(s.progmem[a]));
        if (reg < 0) continue;
        for (const ForeignRegister& f : row.foreign)
            if (f.address == reg) return ForeignUse{static_cast<int32_t>(a), s.progmem[a], &f};
    }
    return std::nullopt;
}

std::string describeforeign(const ChipRow& row, const ForeignUse& u) {
    char text[64];
    std::snprintf(text, sizeof text, "word 0x%04X (0x%04X) uses register 0x%02X, the ",
                  static_cast<unsigned>(u.address), static_cast<unsigned>(u.word & 0x3FFF),
                  static_cast<unsigned>(u.reg->address));
    return text + std::string(u.reg->chip) + "'s " + u.reg->names + ", which the " +
           chiplabel(row) + " does not have: the program was written for a " + u.reg->chip;
}
