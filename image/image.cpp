// SPDX-License-Identifier: GPL-2.0-or-later
#include "image.h"

#include "devices/chiptable.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

std::string hexupper(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

void cleararrays(State& s) {
    s.progused = 0;
    s.configused = 0;
    s.idused = 0;
    s.dataused = 0;
}

void clearwords(State& s) {
    // The chips that are erased before a burn get their gaps burnt erased.
    const bool erased = s.chip && !isoriginal(*s.chip);
    const int16_t word = erased ? 0x3FFF : 0, byte = erased ? 0xFF : 0;
    std::fill(std::begin(s.progmem), std::end(s.progmem), word);
    std::fill(std::begin(s.idmem), std::end(s.idmem), word);
    std::fill(std::begin(s.configmem) + 1, std::end(s.configmem), word);
    std::fill(std::begin(s.datamem), std::end(s.datamem), byte);
}

void fillerased(State& s) {
    for (auto& w : s.progmem) w = 0x3FFF;
    for (auto& w : s.idmem) w = 0x3FFF;
    for (auto& w : s.configmem) w = 0x3FFF;
    for (auto& w : s.datamem) w = 0xFF;
}

int16_t stuffarray(State& s, Frontend& f, int32_t address, int16_t* array2,
                   int16_t base, int16_t size, int16_t& used,
                   const int16_t* data, int32_t count) {
    (void)s;
    // A region holds exactly the chip's words, indices 0 to size - 1. One word
    // more would land on word 0 again through the chip's wrapping counter.
    const int32_t last = address - base + count - 1;
    if (last > size - 1) {
        // The record's last word, or its first for a record of none.
        f.message("Invalid address: 0x" + hexupper(static_cast<uint32_t>(address + std::max(count, 1) - 1)), "");
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) array2[address - base + i] = data[i];
    if (count > 0 && used < address - base + count)
        used = static_cast<int16_t>(address - base + count);
    return 1;
}

int16_t stuffrecord(State& s, Frontend& f, int32_t address,
                    const int16_t* data, int32_t count) {
    if (address >= database)
        return stuffarray(s, f, address, s.datamem, database, s.datasize, s.dataused, data, count);
    if (address >= configbase)
        return stuffarray(s, f, address, s.configmem, configbase, s.configsize, s.configused, data, count);
    if (address >= idbase)
        return stuffarray(s, f, address, s.idmem, idbase, s.idsize, s.idused, data, count);
    return stuffarray(s, f, address, s.progmem, progbase, s.progsize, s.progused, data, count);
}
