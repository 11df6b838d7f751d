// SPDX-License-Identifier: GPL-2.0-or-later
// The words the factory writes in configuration space (the calibration
// word at 0x2009 on the 16F88x, 0x2008 on the 12F683 and 12F609
// families): every erase of ours spares them (the chip's row issues its
// erase with the counter below them), no burn takes them from a file, a
// read-out shows them, and detect reads them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/frontend.h"
#include "core/state.h"
#include "devices/chiptable.h"

// The memories an erase spares and a burn leaves alone.
std::vector<const Memory*> factorywords(const ChipRow& row);

// One status line for each factory word the loaded file gives (a dump of
// the chip carries it): burn and verify leave it alone, the chip keeps its
// own.
void sayfactorywordsskipped(State& s, Frontend& f);

// Each factory word of the row as the chip holds it: a short visit to
// programming mode per word, the board left idle.
struct FactoryWord {
    int32_t address;
    int16_t word;
};
std::vector<FactoryWord> readfactorywords(State& s, const ChipRow& row);
