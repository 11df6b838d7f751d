// SPDX-License-Identifier: GPL-2.0-or-later
// The benchmarks report the median of their runs, which one slow run (a
// machine's bad moment) does not move.
#pragma once
#include <algorithm>
#include <vector>

namespace bench {

template <typename T>
T median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace bench
