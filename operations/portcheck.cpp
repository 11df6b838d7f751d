// SPDX-License-Identifier: GPL-2.0-or-later
#include "portcheck.h"

#include <cstdlib>
#include <mutex>
#include <set>

#include "core/binding.h"
#include "portinfo.h"

std::optional<std::string> portproblem(const State& s) {
    // The simulated board has no kernel device; with port instructions
    // (ZAVBIT2_RAWIO=1) the library needs none, and says itself when it
    // cannot have them.
    if (binding::simulatedboard()) return std::nullopt;
    if (const char* raw = std::getenv("ZAVBIT2_RAWIO"); raw && std::string(raw) == "1")
        return std::nullopt;
    return portinfo::unreachable(static_cast<uint16_t>(s.portaddr), portinfo::rootsfromenv());
}

void noteunreachableport(const State& s, Frontend& f) {
    static std::mutex lock;
    static std::set<int16_t> told;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (told.count(s.portaddr)) return;
    }
    const auto why = portproblem(s);
    if (!why) return;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!told.insert(s.portaddr).second) return;
    }
    f.statusAdd("quibb9x: " + *why);
    f.statusRepaint();
}
