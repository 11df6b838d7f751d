// SPDX-License-Identifier: GPL-2.0-or-later
#include "select.h"

#include <algorithm>

void selectchip(State& s, const ChipRow& row) {
    s.chip = &row;
    s.anychip = false;
    if (row.model != 0) s.picmodel = row.model;
    s.vppfirst = row.entry.vppfirst;
    fitimage(s, row);
    s.edgetimed = !isoriginal(row);
}

const ChipRow& currentchip(const State& s) {
    if (s.chip) return *s.chip;
    const ChipRow* row = chipbymodel(s.picmodel);
    return row ? *row : startrow();
}

const ChipRow& startrow() { return *chipbymodel(1); }

void fitimage(State& s, const ChipRow& row) {
    for (const Region r : allregions) {
        std::vector<int16_t>& words = s.image(r);
        const size_t needed = static_cast<size_t>(readoutwords(row, r));
        if (words.size() < needed) words.resize(needed, 0);
    }
}

void widenimage(State& s) {
    s.anychip = true;
    for (const ChipRow& row : chiprows()) fitimage(s, row);
}

int16_t imagewords(const State& s, Region r) {
    if (!s.anychip) return regionwords(currentchip(s), r);
    int16_t most = 0;
    for (const ChipRow& row : chiprows()) most = std::max(most, regionwords(row, r));
    return most;
}
