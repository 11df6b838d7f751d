// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for a whole Burn and a whole Verify on the simulated board, with the
// program's real waits: wall time against the fixed waits a full Burn must
// spend (one 7 ms cycle per word, two per programming-mode entry), the
// shortest clock phase the board saw, and the work a capture of the lines
// (--vcd) adds to a full Burn, timed on a virtual clock so that only that
// work shows. Prints; never judges.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/capture.h"
#include "core/platform.h"

#include "boardsim/boardsim.h"
#include "core/binding.h"
#include "core/startup.h"
#include "operations/program.h"
#include "bench/benchsupport.h"

namespace {

using bench::Quiet;
using bench::simexport;

template <typename Fn>
double timed(Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The board's shortest clock phase (between two clock edges at its pins)
// while the programming voltage was on, from its log of port accesses.
int64_t shortestphase(int32_t control) {
    const auto size = simexport<int32_t (*)()>("zavsimLogSize");
    const auto entry = simexport<int32_t (*)(int32_t, zavsim_access*)>("zavsimLogEntry");
    int64_t shortest = INT64_MAX, lastEdge = -1;
    int previous = -1;
    for (int32_t i = 0; i < size(); ++i) {
        zavsim_access a{};
        entry(i, &a);
        if (a.is_read || a.port != control) continue;
        const bool vppOn = !(a.value & 0x04);
        if (!vppOn) lastEdge = -1;
        if (previous >= 0 && vppOn && ((a.value ^ previous) & 0x01)) {
            if (lastEdge >= 0) shortest = std::min(shortest, a.time_ns - lastEdge);
            lastEdge = a.time_ns;
        }
        previous = a.value;
    }
    return shortest;
}

// The real waits, adding up where the time goes.
class MeasuredWaits : public platform::Waits {
public:
    int64_t heldNs = 0, lateNs = 0;
    int64_t nowNs() override { return platform::realWaits().nowNs(); }
    void holdUntil(int64_t deadline) override {
        const int64_t start = nowNs();
        platform::realWaits().holdUntil(deadline);
        heldNs += nowNs() - start;
    }
    void sleepMs(int ms) override {
        const int64_t start = nowNs();
        platform::realWaits().sleepMs(ms);
        lateNs += nowNs() - start - ms * 1'000'000LL;
    }
};

// Time that passes only when the program waits, read by the board as well.
int64_t virtualNs = 0;
int64_t virtualclock() { return virtualNs; }
class VirtualWaits : public platform::Waits {
public:
    int64_t nowNs() override { return virtualNs; }
    void holdUntil(int64_t deadline) override { virtualNs = std::max(virtualNs, deadline); }
    void sleepMs(int ms) override { virtualNs += ms * 1'000'000LL; }
};

// The work of a full burn without its waits, best of five, with and without
// a capture of the lines.
double burnwork(State& s, bool capturing) {
    VirtualWaits waits;
    platform::installWaits(&waits);
    simexport<void (*)(int64_t (*)())>("zavsimUseClock")(&virtualclock);
    const std::string file = "/tmp/quibb9x-bench-" + std::to_string(getpid()) + ".vcd";
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F84);
        simexport<void (*)()>("zavsimLogClear")();
        simexport<void (*)()>("zavsimEventClear")();
        Quiet f;
        std::string why;
        best = std::min(best, timed([&] {
            if (capturing) capture::open(file, why);
            program2(s, f, modeprogram);
            if (capturing) capture::close(why);
        }));
    }
    unlink(file.c_str());
    simexport<void (*)(int64_t (*)())>("zavsimUseClock")(nullptr);
    platform::installWaits(nullptr);
    return best;
}

}  // namespace

int main() {
    constexpr int base = 0x278;
    bench::usesimulated16F84(SIMLIB_PATH, base);
    const auto timingFaults = simexport<int32_t (*)()>("zavsimTimingFaults");
    const auto phaseFaults = simexport<int32_t (*)()>("zavsimPhaseFaults");

    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = base;
    bench::fillimage(s);

    Quiet f;
    bool burnt = false, verified = false;
    MeasuredWaits measured;
    platform::installWaits(&measured);
    const double burn = timed([&] { burnt = program2(s, f, modeprogram); });
    platform::installWaits(nullptr);
    const int64_t shortest = shortestphase(base + 2);
    const double verify = timed([&] { verified = program2(s, f, modeverify); });
    const double waits = 1093 * 0.007 + 3 * 0.014;

    std::printf("Full Burn (1024 program words, 4 ID, configuration, 64 data bytes): %.3f s%s\n",
                burn, burnt ? "" : " FAILED");
    std::printf("  fixed waits (1093 x 7 ms + 3 resets x 14 ms): %.3f s, ratio %.3f\n", waits,
                burn / waits);
    std::printf("  beyond the fixed waits: clock phases held %.1f ms, sleeps ending late %.1f ms, "
                "the rest %.1f ms\n",
                measured.heldNs / 1e6, measured.lateNs / 1e6,
                (burn - waits) * 1e3 - measured.heldNs / 1e6 - measured.lateNs / 1e6);
    std::printf("Full Verify: %.3f s%s\n", verify, verified ? "" : " FAILED");
    if (!f.lastbox.empty()) std::printf("  last box: %s\n", f.lastbox.c_str());
    std::printf("Programming cycles cut short: %d\n", timingFaults());
    std::printf("Clock phases under 1 us: %d; shortest phase of the Burn: %lld ns\n", phaseFaults(),
                static_cast<long long>(shortest));
    const double plain = burnwork(s, false);
    const double captured = burnwork(s, true);
    std::printf("Work of a full Burn without its waits (virtual clock): %.1f ms; with --vcd: "
                "%.1f ms; the capture adds %.1f ms, %.2f %% of the Burn\n",
                plain * 1e3, captured * 1e3, (captured - plain) * 1e3,
                100 * (captured - plain) / burn);
    return 0;
}
