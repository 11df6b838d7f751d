// SPDX-License-Identifier: GPL-2.0-or-later
// The named fields of each chip's configuration words, in words a person
// understands: which bits a field takes, what each setting of them means,
// and how the editor's three check boxes and four oscillator options map
// onto the chip's own bits. Read from the chip table's rows; no Qt here.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "devices/chiptable.h"

// Every named field of the chip (devices/chiptable.h), CONFIG2's after the
// configuration word's. Empty for the original chips, whose editor has no
// fields by name.
std::span<const ConfigField> configfields(const ChipRow& row);

// The choice a word shows for a field; nullopt when its bits match none.
std::optional<size_t> fieldchoice(const ConfigField& field, uint16_t word);

// The PWRTE box: ticked while the power-up timer is on. On the PIC16C84 the
// timer is on while bit 3 is 1; on every other chip while it is 0.
bool pwrteonwhenset(const ChipRow& row);

// The bit of CONFIG1 with a chip's name for it ("WDTE", "PWRTE"), or -1.
// The original chips: the editor's own, WDTE bit 2 and PWRTE bit 3.
int namedbit(const ChipRow& row, const char* name);

// What the oscillator options LP, XT, HS and RC write: the FOSC bits under
// oscmask(). nullopt for an option the chip has no mode of that meaning for.
uint16_t oscmask(const ChipRow& row);
std::optional<uint16_t> oscbits(const ChipRow& row, int option);

// The tooltip of bit box `bit` on the original chips: "FOSC0", "FOSC1",
// "WDTE", "PWRITE#", then "CP (protection)".
const char* originalbittooltip(int bit);

// The tooltip of bit box `bit` on a chip after the original ones: the
// chip's name of the bit and what it does, or that it is unimplemented.
std::string bittooltip(const ChipRow& row, int bit);
