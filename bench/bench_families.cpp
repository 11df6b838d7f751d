// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for every programming family on the simulated board with real
// waits: for a chip of each, a full burn (every program word, the IDs, the
// configuration word(s) and every data byte) through the command line
// in-process, its wall time against its floor: the fixed waits it asked for
// (the erase, every write cycle, the entries into programming mode) plus a
// microsecond for every clock phase it needs (every clock edge the board
// saw); and --only-changed as the whole quibb9x process on a full PIC16F648A
// that differs from the file in 4 words. Prints; never judges.
//
// Beside the ratio, how long the burn waited for a processor that other
// processes held (the kernel's run delay), and the ratio without that wait:
// on a shared machine the first moves with the others' work, the second is
// the program's. Each burn's figures are those of its median run (of 3
// unless told).
//
//   bench_families [--runs N] [burn|only-changed ...]
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/benchsupport.h"
#include "bench/maxhex.h"
#include "bench/median.h"
#include "cli/commands.h"
#include "tests/support/runcli.h"
#include "devices/chiptable.h"

namespace fs = std::filesystem;

namespace {

using bench::simexport;

struct Chip {
    const char* name;
    int32_t kind;
};
const Chip chips[] = {{"16F84", ZAVSIM_16F84},     {"16F628", ZAVSIM_16F628},
                      {"16F628A", ZAVSIM_16F628A}, {"16F648A", ZAVSIM_16F648A},
                      {"16F819", ZAVSIM_16F819},   {"16F88", ZAVSIM_16F88},
                      // The 12F629 family's 16F676: it has every register of
                      // its kin, so no word of the file is taken for a use of
                      // one it lacks.
                      {"16F716", ZAVSIM_16F716},   {"16F676", ZAVSIM_16F676},
                      {"16F877", ZAVSIM_16F877},   {"16F877A", ZAVSIM_16F877A},
                      {"16F887", ZAVSIM_16F887},   {"16F690", ZAVSIM_16F690},
                      {"12F609", ZAVSIM_12F609},   {"16F616", ZAVSIM_16F616}};

using bench::programword;
const auto record = bench::hexrecord;

// Every word of the chip in use; the configuration leaves protection off.
std::string fullfile(const ChipRow& row) {
    std::string text;
    for (int a = 0; a < row.words(Kind::program); a += 8) {
        std::vector<int> w;
        for (int i = a; i < a + 8; ++i) w.push_back(programword(i));
        text += record(2 * a, w);
    }
    text += record(0x4000, {1, 2, 3, 4});
    // The configuration words only: a calibration word after them is the
    // chip's own.
    std::vector<int> config = {row.config(0).mask};
    if (row.words(Kind::config) > 1) config.push_back(row.config(1).mask);
    text += record(0x400E, config);
    for (int k = 0; k < row.words(Kind::data); k += 8) {
        std::vector<int> w;
        for (int i = k; i < k + 8; ++i) w.push_back((i * 13 + 5) & 0xFF);
        text += record(0x4200 + 2 * k, w);
    }
    return text + ":00000001FF\n";
}

std::string writefile(const fs::path& dir, const ChipRow& row) {
    const fs::path p = dir / (std::string(row.name) + ".hex");
    std::ofstream(p) << fullfile(row);
    return p.string();
}

int runcli(const std::vector<std::string>& args) {
    cli::Options o;
    std::string error;
    if (!cli::parseoptions(args, o, error)) return 2;
    return runcaptured(o).status;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The clock edges in the board's log: control or data writes that moved
// the clock pin (pin 1 on the board these runs use, control bit 0).
long long clockedges(int32_t control) {
    const auto size = simexport<int32_t (*)()>("zavsimLogSize");
    const auto entry = simexport<int32_t (*)(int32_t, zavsim_access*)>("zavsimLogEntry");
    long long edges = 0;
    int previous = -1;
    for (int32_t i = 0, n = size(); i < n; ++i) {
        zavsim_access a{};
        entry(i, &a);
        if (a.is_read || a.port != control) continue;
        if (previous >= 0 && ((a.value ^ previous) & 0x01)) ++edges;
        previous = a.value;
    }
    return edges;
}

// How long this thread has waited for a processor while it could run (the
// kernel's run delay): time other processes took, not the program's.
double runqueueseconds() {
    std::ifstream in("/proc/thread-self/schedstat");
    long long oncpu = 0, waited = 0;
    in >> oncpu >> waited;
    return waited / 1e9;
}

struct Burn {
    int status = 0;
    double wall = 0, waits = 0, late = 0, queued = 0;
    long long phases = 0;
    int timing = 0, shortphases = 0;
    bool operator<(const Burn& o) const { return wall - waits < o.wall - o.waits; }
};

void burns(const fs::path& dir, int runs) {
    std::printf("full burn against its floor: the fixed waits asked for + 1 us per clock phase; "
                "median of %d runs\n", runs);
    std::printf("  %-10s %5s %8s %8s %8s %8s %7s %7s %7s %8s %7s %6s %6s\n", "chip", "exit",
                "waits s", "phases", "floor s", "wall s", "/floor", "/waits", "late s", "queued s",
                "-queued", "timing", "short");
    const auto logClear = simexport<void (*)()>("zavsimLogClear");
    const auto timingFaults = simexport<int32_t (*)()>("zavsimTimingFaults");
    const auto phaseFaults = simexport<int32_t (*)()>("zavsimPhaseFaults");
    for (const Chip& c : chips) {
        const ChipRow& row = *findchip(c.name);
        const std::string file = writefile(dir, row);
        std::vector<Burn> all;
        for (int r = 0; r < runs; ++r) {
            simexport<void (*)(int32_t)>("zavsimSetChip")(c.kind);
            const int timingBefore = timingFaults(), shortBefore = phaseFaults();
            logClear();
            bench::CountingWaits waits;
            platform::installWaits(&waits);
            const double queuedBefore = runqueueseconds();
            const auto start = std::chrono::steady_clock::now();
            Burn b;
            b.status = runcli({"quibb9x", "--device", c.name, "--port", "0x278", "burn", file});
            b.wall = seconds(start);
            b.queued = runqueueseconds() - queuedBefore;
            platform::installWaits(nullptr);
            b.phases = clockedges(0x278 + 2);
            b.waits = waits.fixedseconds();
            b.late = waits.lateNs / 1e9;
            b.timing = timingFaults() - timingBefore;
            b.shortphases = phaseFaults() - shortBefore;
            all.push_back(b);
        }
        const Burn b = bench::median(all);
        const double floor = b.waits + b.phases * 1e-6;
        std::printf("  PIC%-7s %5d %8.3f %8lld %8.3f %8.3f %7.3f %7.3f %7.3f %8.3f %7.3f %6d %6d\n",
                    c.name, b.status, b.waits, b.phases, floor, b.wall, b.wall / floor,
                    b.wall / b.waits, b.late, b.queued, (b.wall - b.queued) / floor, b.timing,
                    b.shortphases);
        std::fflush(stdout);
    }
}

// The whole process: a chip file holding the full image with 4 words
// erased, which --only-changed programs back.
void onlychanged(const fs::path& dir) {
    const ChipRow& row = *findchip("16F648A");
    const std::string file = writefile(dir, row);
    setenv("QUIBB9X_SIM_CHIP", "16F648A", 1);
    simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F648A);
    if (runcli({"quibb9x", "--device", "16F648A", "--port", "0x278", "burn", file}) != 0) {
        std::printf("only-changed: the first burn failed\n");
        return;
    }
    auto write = simexport<void (*)(int32_t, int32_t, int32_t)>("zavsimWrite");
    for (int i : {10, 1000, 2000, 4000}) write(0, i, 0x3FFF);
    simexport<void (*)()>("zavsimSave")();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(QUIBB9X_PATH, "quibb9x", "--simulate", "--device", "16F648A", "--port", "0x278",
              "burn", "--only-changed", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::printf("only-changed, whole process, full PIC16F648A with 4 words changed: exit %d  %.3f s\n",
                WEXITSTATUS(status), seconds(start));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> what(argv + 1, argv + argc);
    int runs = 3;
    if (what.size() >= 2 && what[0] == "--runs") {
        runs = std::max(1, std::atoi(what[1].c_str()));
        what.erase(what.begin(), what.begin() + 2);
    }
    if (what.empty()) what = {"burn", "only-changed"};
    const fs::path dir = fs::temp_directory_path() / ("quibb9x-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The simulated chip is kept in a file of the run's own, which the whole
    // quibb9x process of the --only-changed figure reads.
    setenv("QUIBB9X_SIM_FILE", (dir / "chip.txt").c_str(), 1);
    binding::chooseLibrary(SIMLIB_PATH);
    simexport<void (*)(int32_t)>("zavsimSetBase")(0x278);
    for (const auto& w : what) {
        if (w == "burn") burns(dir, runs);
        if (w == "only-changed") onlychanged(dir);
    }
    fs::remove_all(dir);
    return 0;
}
