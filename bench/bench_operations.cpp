// Figures for a whole Burn and a whole Verify on the simulated board, with the
// program's real waits: wall time against the fixed waits a full Burn must
// spend (one 7 ms cycle per word, two per programming-mode entry). Prints;
// never judges.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace

int main() {
    constexpr int base = 0x278;
    bench::usesimulated16F84(SIMLIB_PATH, base);
    const auto timingFaults = simexport<int32_t (*)()>("zavsimTimingFaults");

    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = base;
    for (int i = 0; i < 1024; ++i) s.progmem[i] = static_cast<int16_t>((i * 0x9E5 + 1) & 0x3FFF);
    for (int i = 0; i < 4; ++i) s.idmem[i] = static_cast<int16_t>(0x100 + i);
    for (int i = 0; i < 64; ++i) s.datamem[i] = static_cast<int16_t>(i * 37 & 0xFF);
    s.configmem[0] = 0x3FF1;
    s.progused = 1024;
    s.idused = 4;
    s.configused = 1;
    s.dataused = 64;

    Quiet f;
    bool burnt = false, verified = false;
    const double burn = timed([&] { burnt = program2(s, f, modeprogram); });
    const double verify = timed([&] { verified = program2(s, f, modeverify); });
    const double waits = 1093 * 0.007 + 3 * 0.014;

    std::printf("Full Burn (1024 program words, 4 ID, configuration, 64 data bytes): %.3f s%s\n",
                burn, burnt ? "" : " FAILED");
    std::printf("  fixed waits (1093 x 7 ms + 3 resets x 14 ms): %.3f s, ratio %.3f\n", waits,
                burn / waits);
    std::printf("Full Verify: %.3f s%s\n", verify, verified ? "" : " FAILED");
    if (!f.lastbox.empty()) std::printf("  last box: %s\n", f.lastbox.c_str());
    std::printf("Programming cycles cut short: %d\n", timingFaults());
    return 0;
}
