// SPDX-License-Identifier: GPL-2.0-or-later
#include "configfields.h"

#include <cstring>

std::span<const ConfigField> configfields(const ChipRow& row) { return row.fields; }

std::optional<size_t> fieldchoice(const ConfigField& field, uint16_t word) {
    for (size_t i = 0; i < field.choices.size(); ++i)
        if ((word & field.mask) == field.choices[i].value) return i;
    return std::nullopt;
}

bool pwrteonwhenset(const ChipRow& row) { return row.pwrteset; }

// FOSC2 in bit 4 (16F62x, 81x, 87/88) or, on the 12F629 family, in bit 2.
uint16_t oscmask(const ChipRow& row) {
    const char* const* bits = row.config(0).bits;
    const auto named = [bits](int bit) { return bits && bits[bit] && std::strcmp(bits[bit], "FOSC2") == 0; };
    if (named(2)) return 0x0007;
    return named(4) ? 0x0013 : 0x0003;
}

std::optional<uint16_t> oscbits(const ChipRow& row, int option) {
    if (option < 0 || option > 3) return std::nullopt;
    // With three FOSC bits RC is the external resistor with clock out, the
    // mode that, like the 16F84's RC, gives the clock on the second pin.
    const uint16_t mask = oscmask(row);
    if (mask != 0x0003) {
        const uint16_t threebit[4] = {0x0000, 0x0001, 0x0002, mask};
        return threebit[option];
    }
    return static_cast<uint16_t>(option);
}

const char* originalbittooltip(int bit) {
    return bit == 0 ? "FOSC0" : bit == 1 ? "FOSC1" : bit == 2 ? "WDTE"
           : bit == 3 ? "PWRITE#" : "CP (protection)";
}

namespace {

// The name of a bit of CONFIG1, or nullptr where the chip has none.
const char* bitname(const ChipRow& row, int bit) {
    const char* const* bits = row.config(0).bits;
    return bits ? bits[bit] : nullptr;
}

}  // namespace

std::string bittooltip(const ChipRow& row, int bit) {
    const char* name = bitname(row, bit);
    if (!name) return "Unimplemented on the " + chiplabel(row) + ": cannot be set";
    const uint16_t mask = static_cast<uint16_t>(1u << bit);
    for (const ConfigField& f : configfields(row))
        if (f.word == 0 && (f.mask & mask)) return std::string(name) + ": " + f.what;
    return name;
}
