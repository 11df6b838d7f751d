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

// Every word of the image: 0, or erased (each memory's words its own erased
// value, the rest of a region its first memory's), but the configuration
// word itself when `editorsword` is kept.
void fillimage(State& s, bool erased, bool editorsword) {
    const ChipRow& row = currentchip(s);
    const auto fill = [&](Region r, size_t from, size_t to, int16_t value) {
        std::vector<int16_t>& words = s.image(r);
        if (editorsword && r == Region::config) from = std::max<size_t>(from, 1);
        for (size_t i = from; i < std::min(to, words.size()); ++i) words[i] = value;
    };
    for (const Region r : allregions) {
        const auto first = std::find_if(row.memories.begin(), row.memories.end(), [r](const Memory& m) {
            return m.kind != Kind::none && regionat(m.address) == r;
        });
        const bool has = first != row.memories.end();
        fill(r, 0, s.image(r).size(), static_cast<int16_t>(erased && has ? first->erased : 0));
    }
    if (!erased) return;
    for (const Memory& m : row.memories) {
        if (m.kind == Kind::none) continue;
        const Region r = regionat(m.address);
        const size_t from = static_cast<size_t>(m.address - regionbase(r));
        fill(r, from, from + static_cast<size_t>(m.readoutwords()), static_cast<int16_t>(m.erased));
    }
}

}  // namespace

void clearwords(State& s) {
    // The chips that are erased before a burn get their gaps burnt erased.
    fillimage(s, !isoriginal(currentchip(s)), true);
}

void fillerased(State& s) { fillimage(s, true, false); }

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
    const Region r = regionat(address);
    return stuffarray(s, f, address, s.image(r).data(), regionbase(r), imagewords(s, r),
                      s.used(r), data, count);
}
