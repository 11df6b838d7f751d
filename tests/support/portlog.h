// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the simulated board's port log the way the tests ask about it.
#pragma once
#include <utility>
#include <vector>

#include "simboard.h"

namespace portlog {

// Every port write since the log was cleared, as (port, value).
inline std::vector<std::pair<int, int>> writes() {
    std::vector<std::pair<int, int>> out;
    for (const auto& a : sim::writes()) out.emplace_back(a.port, a.value);
    return out;
}

// The bytes written to one port, in order.
inline std::vector<int> bytesto(int port) {
    std::vector<int> out;
    for (const auto& a : sim::writes())
        if (a.port == port) out.push_back(a.value);
    return out;
}

// The data line's level (1 = pin high, control bit 1 clear) at every falling
// clock edge (control bit 0 going from clear to set) in a run of control
// bytes, `before` being the control register before the run.
inline std::vector<int> bitsonfallingedges(const std::vector<int>& controls, int before) {
    std::vector<int> bits;
    int previous = before;
    for (int c : controls) {
        if (!(previous & 0x01) && (c & 0x01)) bits.push_back((c & 0x02) ? 0 : 1);
        previous = c;
    }
    return bits;
}

}  // namespace portlog
