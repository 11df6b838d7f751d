// SPDX-License-Identifier: GPL-2.0-or-later
#include "image.h"

#include <algorithm>
#include <cstdio>

#include "devices/select.h"

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

namespace {

// Each memory's words of the image, but the configuration word itself when
// `editorsword` is kept.
void fillmemories(State& s, bool erased, bool editorsword) {
    for (const Memory& m : currentchip(s).memories) {
        if (m.kind == Kind::none) continue;
        const Region r = regionat(m.address);
        std::vector<int16_t>& words = s.image(r);
        size_t from = static_cast<size_t>(m.address - regionbase(r));
        const size_t to = std::min(words.size(), from + static_cast<size_t>(m.readoutwords()));
        if (editorsword && r == Region::config && from == 0) from = 1;
        for (size_t i = from; i < to; ++i) words[i] = static_cast<int16_t>(erased ? m.erased : 0);
    }
}

}  // namespace

void clearwords(State& s) {
    // The chips that are erased before a burn get their gaps burnt erased.
    fillmemories(s, !isoriginal(currentchip(s)), true);
}

void fillerased(State& s) { fillmemories(s, true, false); }

void readoutcounters(State& s) {
    const ChipRow& row = currentchip(s);
    for (const Region r : allregions) s.used(r) = readoutwords(row, r);
}

int16_t stuffarray(State& s, Frontend& f, int32_t address, int16_t* array2,
                   int32_t base, int16_t size, int16_t& used,
                   const int16_t* data, int32_t count) {
    (void)s;
    // A region holds exactly the chip's words, indices 0 to size - 1. One word
    // more would land on word 0 again through the chip's wrapping counter.
    const int32_t last = address - base + count - 1;
    if (last > size - 1) {
        f.message("Invalid address: 0x" + hexupper(static_cast<uint32_t>(address + count - 1)), "");
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) array2[address - base + i] = data[i];
    if (count > 0 && used < address - base + count)
        used = static_cast<int16_t>(address - base + count);
    return 1;
}

int16_t stuffrecord(State& s, Frontend& f, int32_t address,
                    const int16_t* data, int32_t count) {
    const Region r = regionat(address);
    return stuffarray(s, f, address, s.image(r).data(), regionbase(r), imagewords(s, r),
                      s.used(r), data, count);
}
