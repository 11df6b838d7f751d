// SPDX-License-Identifier: GPL-2.0-or-later
// A full Burn on the simulated board with real waits, on the original board
// and on one that switches VDD (tait-classic): wall time against the sleeps
// the Burn asked for, which on the VDD board include each entry's power-off
// pause and its VDD-to-Vpp hold. Prints; never judges.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/benchsupport.h"
#include "core/startup.h"
#include "core/wiring.h"
#include "operations/program.h"

namespace {

void burnon(const char* board) {
    setenv("QUIBB9X_SIM_BOARD", board, 1);
    bench::simexport<void (*)()>("zavsimReset")();
    bench::simexport<void (*)(int32_t)>("zavsimSetBase")(0x278);
    bench::simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F84);
    bench::CountingWaits waits;
    platform::installWaits(&waits);
    State s;
    s.wiring = *builtinboard(board);
    startup(s);
    setdevice(s, 2);
    s.portaddr = 0x278;
    bench::fillimage(s);
    bench::Quiet f;
    waits.sleptMs = 0;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = program2(s, f, modeprogram);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    platform::installWaits(nullptr);
    std::printf("Full Burn on %s: %.3f s%s; sleeps asked for %.3f s, ratio %.3f\n", board, wall,
                ok ? "" : " FAILED", waits.sleptMs / 1e3, wall / (waits.sleptMs / 1e3));
}

}  // namespace

int main() {
    bench::usesimulated16F84(SIMLIB_PATH, 0x278);
    burnon("original");
    burnon("tait-classic");
    return 0;
}
