// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for the serial protocol on the simulated board, with the program's
// real waits: 1,000 programming steps against the 7 ms each of them must wait,
// 1,000 read frames, and the process's peak memory. Prints; never judges.
#include <dlfcn.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "boardsim/boardsim.h"
#include "core/binding.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "devices/select.h"
#include "bench/benchsupport.h"

namespace {

using bench::simexport;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main() {
    constexpr int steps = 1000;
    constexpr int frames = 1000;
    constexpr int base = 0x278;

    bench::usesimulated16F84(SIMLIB_PATH, base);
    const auto timingFaults = simexport<int32_t (*)()>("zavsimTimingFaults");
    const auto readChip = simexport<int32_t (*)(int32_t, int32_t)>("zavsimRead");

    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = base;
    vppreset(s);
    const Memory& program = *currentchip(s).find(Kind::program);
    const uint8_t increment = currentchip(s).increment;

    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    for (int i = 0; i < steps; ++i) {
        progcycle(s, program.load, static_cast<int16_t>(i & 0x3FFF));
        sendcmd(s, increment);
    }
    const double progTime = seconds(clock::now() - start);
    const double waits = steps * 0.007;

    vppreset(s);
    const auto readStart = clock::now();
    int wrong = 0;
    clock::duration inRecvdata{};
    for (int i = 0; i < frames; ++i) {
        sendcmd(s, program.read);
        const auto frameStart = clock::now();
        const int16_t word = recvdata(s);
        inRecvdata += clock::now() - frameStart;
        if (word != (i & 0x3FFF)) ++wrong;
        sendcmd(s, increment);
    }
    const double readTime = seconds(clock::now() - readStart);
    allpinslow(s);

    int stored = 0;
    for (int i = 0; i < steps; ++i) stored += readChip(0, i) == (i & 0x3FFF);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    std::printf("progcycle x %d (+ increment): %.3f s wall, %.3f s of fixed waits, ratio %.3f\n",
                steps, progTime, waits, progTime / waits);
    std::printf("  per step: %.3f ms, of which 7 ms wait; %.1f us outside the wait\n",
                progTime * 1000 / steps, (progTime - waits) * 1e6 / steps);
    std::printf("read command + recvdata x %d (+ increment): %.3f s wall, %.1f us per word\n",
                frames, readTime, readTime * 1e6 / frames);
    std::printf("  recvdata alone: %.3f s, %.1f us per frame\n", seconds(inRecvdata),
                seconds(inRecvdata) * 1e6 / frames);
    std::printf("words stored %d/%d, read back wrong %d, timing faults %d\n",
                stored, steps, wrong, timingFaults());
    std::printf("peak memory (ru_maxrss): %ld KiB\n", usage.ru_maxrss);
    return 0;
}
