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

int namedbit(const ChipRow& row, const char* name) {
    if (isoriginal(row)) return std::strcmp(name, "WDTE") == 0 ? 2 : std::strcmp(name, "PWRTE") == 0 ? 3 : -1;
    const char* const* bits = row.config(0).bits;
    for (int bit = 0; bits && bit < 14; ++bit)
        if (bits[bit] && std::strcmp(bits[bit], name) == 0) return bit;
    return -1;
}

uint16_t oscmask(const ChipRow& row) {
    // FOSC2 in bit 4 (16F627 to 16F88) or in bit 2 (the later chips).
    const int fosc2 = namedbit(row, "FOSC2");
    return fosc2 < 0 ? 0x0003 : static_cast<uint16_t>(0x0003 | 1u << fosc2);
}

std::optional<uint16_t> oscbits(const ChipRow& row, int option) {
    if (option < 0 || option > 3) return std::nullopt;
    // With three FOSC bits RC is the external resistor with clock out, the
    // mode that, like the 16F84's RC, gives the clock on the second pin.
    if (oscmask(row) != 0x0003) {
        const uint16_t threebit[4] = {0x0000, 0x0001, 0x0002, oscmask(row)};
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
