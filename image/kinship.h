// SPDX-License-Identifier: GPL-2.0-or-later
// Whether the program in the image was written for the chosen chip or for a
// chip of its kin: the PIC12F675 is a PIC12F629 with an A/D converter, the
// PIC16F630 a PIC12F629 with PORTC, the 16F676 a 16F630 with the converter.
// A program that uses a register the chosen chip lacks (its row names them,
// devices/chiptable.h: ForeignRegister) was written for the other chip.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/state.h"
#include "devices/chiptable.h"

// The file register an instruction addresses (its seven address bits, the
// bank aside), or -1 for one that addresses none (GOTO, CALL, the literal
// instructions, NOP, RETURN, CLRW, ...).
int fileregister(uint16_t instruction);

struct ForeignUse {
    int32_t address;   // the program word
    int16_t word;      // its instruction
    const ForeignRegister* reg;
};

// The image's first program word that uses a register the chip lacks.
std::optional<ForeignUse> foreignuse(const State& s, const ChipRow& row);

// "word 0x0012 (0x019F) uses register 0x1F, the PIC12F675's ADCON0 or
// ANSEL, which the PIC12F629 does not have: the program was written for a
// PIC12F675"
std::string describeforeign(const ChipRow& row, const ForeignUse& u);
