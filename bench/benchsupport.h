// SPDX-License-Identifier: GPL-2.0-or-later
// What the benchmarks share: the simulated board's extra exports, looked up in
// the library the program itself bound, and a front end that shows nothing.
#pragma once
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/maxhex.h"
#include "boardsim/boardsim.h"
#include "core/binding.h"
#include "core/frontend.h"
#include "core/platform.h"
#include "core/state.h"

namespace bench {

template <typename Fn>
Fn simexport(const char* name) {
    void* sym = dlsym(binding::handle(), name);
    if (!sym) {
        std::fprintf(stderr, "benchmark: the simulated board lacks %s\n", name);
        std::_Exit(1);
    }
    return reinterpret_cast<Fn>(sym);
}

// Binds the program to the simulated board (the library file given) with a
// blank PIC16F84 at the given base address, keeping no chip file.
inline void usesimulated16F84(const char* library, int32_t base) {
    setenv("QUIBB9X_SIM_FILE", "", 1);
    binding::chooseLibrary(library);
    simexport<void (*)(int32_t)>("zavsimSetBase")(base);
    simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F84);
}

// The real waits, with the sleeps asked for added up, and the holds that
// are fixed waits of their own (a chip's waits under a millisecond) rather
// than clock phases: a phase is held from the stamp of a line change, at
// most a microsecond ahead of the last reading of the clock, while a fixed
// wait is asked for from a fresh reading. Telling them apart reads no clock.
class CountingWaits : public platform::Waits {
public:
    long long sleptMs = 0;
    int64_t heldNs = 0;
    int64_t lateNs = 0;  // how much longer the sleeps lasted than asked
    int64_t nowNs() override { return last_ = platform::realWaits().nowNs(); }
    void holdUntil(int64_t deadlineNs) override {
        if (deadlineNs - last_ > 2'000) heldNs += deadlineNs - last_;
        platform::realWaits().holdUntil(deadlineNs);
    }
    void sleepMs(int ms) override { sleepMsSince(nowNs(), ms); }
    void sleepMsSince(int64_t sinceNs, int ms) override {
        sleptMs += ms;
        platform::realWaits().sleepMsSince(sinceNs, ms);
        lateNs += nowNs() - sinceNs - ms * 1'000'000LL;
    }
    // Every fixed wait asked for, in seconds.
    double fixedseconds() const { return sleptMs / 1e3 + heldNs / 1e9; }

private:
    int64_t last_ = 0;
};

// The maximal file's image, as if it had been loaded.
inline void fillimage(State& s) {
    for (int i = 0; i < 1024; ++i) s.progmem[i] = programword(i);
    for (int i = 0; i < 4; ++i) s.idmem[i] = idword(i);
    for (int i = 0; i < 64; ++i) s.datamem[i] = databyte(i);
    s.configmem[0] = configword;
    s.progused = 1024;
    s.idused = 4;
    s.configused = 1;
    s.dataused = 64;
}

// Says nothing; a box means the pass failed, which the figures report.
class Quiet : public Frontend {
public:
    std::string lastbox;
    void statusClear() override {}
    void statusAdd(const std::string&) override {}
    void statusRepaint() override {}
    void fileListClear() override {}
    void fileListAdd(const std::string&) override {}
    void progressMax(int) override {}
    void progressValue(int) override {}
    Answer message(const std::string& text, const std::string&, Buttons) override {
        lastbox = text;
        return Answer::Ok;
    }
};

}  // namespace bench
