#include "portcheck.h"

#include <mutex>
#include <set>

#include "core/binding.h"
#include "portinfo.h"

std::optional<std::string> portproblem(const State& s) {
    if (binding::simulatedboard()) return std::nullopt;
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
