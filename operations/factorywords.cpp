// SPDX-License-Identifier: GPL-2.0-or-later
#include "factorywords.h"

#include <cstdio>

#include "devices/select.h"
#include "operations/walk.h"

namespace {

std::string hex4(int32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

}  // namespace

std::vector<const Memory*> factorywords(const ChipRow& row) {
    std::vector<const Memory*> words;
    for (const Memory& m : row.memories)
        if (m.kind == Kind::calibration && m.erase == Erase::spared) words.push_back(&m);
    return words;
}

void sayfactorywordsskipped(State& s, Frontend& f) {
    for (const Memory* m : factorywords(currentchip(s))) {
        const Region r = regionat(m->address);
        const int32_t index = m->address - regionbase(r);
        if (s.used(r) <= index) continue;  // the file stops before it
        f.statusAdd("quibb9x: word " + hex4(m->address) + " of the file (" +
                    hex4(s.image(r)[static_cast<size_t>(index)] & 0x3FFF) +
                    ") is the chip's factory calibration word, which burn and verify leave "
                    "alone: the chip keeps its own");
    }
}

std::vector<FactoryWord> readfactorywords(State& s, const ChipRow& row) {
    std::vector<FactoryWord> words;
    for (const Memory* m : factorywords(row))
        words.push_back({m->address, static_cast<int16_t>(readconfigspace(s, m->address) & m->mask)});
    return words;
}
