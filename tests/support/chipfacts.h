// SPDX-License-Identifier: GPL-2.0-or-later
// For tests: the serial commands as the chip documents give them, for tests
// that drive the simulated chip one command at a time, and the chosen
// chip's facts as its row gives them.
#pragma once
#include <cstdint>

#include "devices/select.h"

namespace cmd {
constexpr uint8_t loadconfig = 0, loadprog = 2, loaddata = 3, readprog = 4, readdata = 5,
                  incaddr = 6, beginprog = 8, eraseprog = 9, erasedata = 11;
}

inline int16_t progsize(const State& s) { return currentchip(s).words(Kind::program); }
inline int16_t configmask(const State& s) { return static_cast<int16_t>(currentchip(s).config(0).mask); }
inline int16_t configdefault(const State& s) { return currentchip(s).configdefault; }
