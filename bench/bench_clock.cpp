// SPDX-License-Identifier: GPL-2.0-or-later
// Where the time of a clock phase goes, on the simulated board with real
// waits: a reading of the clock, a port write straight into the board's
// library (what the simulated board itself costs per access, which real
// hardware replaces by its own bus cycle), the same write through the
// program's binding, one line change as the protocol makes it (the binding,
// the register copies and the stamp of the change), and whole frames: the
// time of each clock phase against the microsecond it asks for. Prints;
// never judges.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/benchsupport.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"

namespace {

using bench::simexport;

template <typename Fn>
double nsper(int n, Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) fn(i);
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / n;
}

// The best of many short rounds: the machine's bad moments (another
// process taking the processor) do not count.
template <typename Fn>
double best(int n, Fn fn) {
    double b = 1e18;
    for (int round = 0; round < 400; ++round) b = std::min(b, nsper(n, fn));
    return b;
}

}  // namespace

int main() {
    constexpr int base = 0x278;
    constexpr int n = 200;
    bench::usesimulated16F84(SIMLIB_PATH, base);
    const auto logClear = simexport<void (*)()>("zavsimLogClear");
    const auto phaseFaults = simexport<int32_t (*)()>("zavsimPhaseFaults");
    const auto boardOut = simexport<void (*)(int32_t, int32_t)>("zavOUT");

    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = base;
    vppreset(s);

    const double clockread = best(n, [](int) {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
    });
    const double waitsclock = best(n, [](int) { platform::waits().nowNs(); });
    // Clock low and high in turn, with Vpp on: the chip counts edges.
    const double board = best(n, [&](int i) { boardOut(base + 2, i & 1 ? 0x0A : 0x0B); });
    logClear();
    const double bound = best(n, [&](int i) { binding::zavOUT(base + 2, i & 1 ? 0x0A : 0x0B); });
    logClear();
    const double line = best(n, [&](int i) { i & 1 ? clockup(s) : clockdown(s); });
    logClear();

    const double shift = best(n, [&](int i) { binding::zavSR(i, 1); });

    std::printf("One reading of the clock: %.1f ns (clock_gettime), %.1f ns through the waits\n",
                clockread, waitsclock);
    std::printf("One port write: %.1f ns into the simulated board's library (the board's own "
                "cost), %.1f ns through the binding\n", board, bound);
    std::printf("One line change (clockup/clockdown): %.1f ns; the program's part %.1f ns\n", line,
                line - board);
    std::printf("One shift through the port library (zavSR): %.1f ns\n", shift);

    // Whole frames, the clock held after every line change (the original
    // chips) and from the clock edges (the others).
    constexpr int words = 10;
    for (const bool edges : {false, true}) {
        s.edgetimed = edges;
        const int faultsBefore = phaseFaults();
        // A load command and its data frame: 6 + 16 bits, two phases each.
        const double sent = best(words, [&](int i) {
            sendcmd(s, 2);  // Load Data for Program Memory
            senddata(s, static_cast<int16_t>(i & 0x3FFF));
            logClear();
        }) / (2 * (6 + 16));
        // A read command and the frame the chip sends back.
        const double received = best(words, [&](int) {
            sendcmd(s, 4);  // Read Data from Program Memory
            recvdata(s);
            logClear();
        }) / (2 * (6 + 16));
        std::printf("Clock phase, 1000 ns asked for, %s: sending %.1f ns, receiving %.1f ns "
                    "(frame boundaries included); phases under 1 us: %d\n",
                    edges ? "timed from the clock edges" : "held after every change", sent,
                    received, phaseFaults() - faultsBefore);
    }
    allpinslow(s);
    return 0;
}
