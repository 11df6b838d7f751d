// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for the chips after the 16F84A on the simulated board with real
// waits: for one chip of each family, a full burn (every program word, the
// IDs, the configuration word(s) and every data byte) through the command
// line in-process, its wall time against the fixed waits it asked for (the
// erase, every write cycle, the entries) and against its floor: those waits
// plus 1 µs for every clock phase; and --only-changed as the whole quibb9x process
// on a full PIC16F648A that differs from the file in 4 words. Prints; never
// judges.
//
//   bench_families [burn|only-changed ...]
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
const Chip chips[] = {{"16F628", ZAVSIM_16F628}, {"16F648A", ZAVSIM_16F648A},
                      {"16F819", ZAVSIM_16F819}, {"16F88", ZAVSIM_16F88},
                      {"16F716", ZAVSIM_16F716}, {"16F877", ZAVSIM_16F877},
                      {"16F877A", ZAVSIM_16F877A}, {"16F887", ZAVSIM_16F887},
                      {"16F690", ZAVSIM_16F690}, {"12F609", ZAVSIM_12F609},
                      {"16F616", ZAVSIM_16F616}};

// The real waits, each kind added up: sleeps, the holds of a write cycle's
// sub-millisecond part and of the entry, and the clock phases (a hold of at
// most 1 µs from the last line change), which count 1 µs each in the floor.
class FloorWaits : public platform::Waits {
public:
    int64_t waitedNs = 0;
    int64_t phases = 0;
    int64_t nowNs() override { return platform::realWaits().nowNs(); }
    void holdUntil(int64_t deadlineNs) override {
        const int64_t asked = deadlineNs - nowNs();
        if (asked > 1000) waitedNs += asked;
        else ++phases;
        platform::realWaits().holdUntil(deadlineNs);
    }
    void sleepMs(int ms) override {
        waitedNs += int64_t{ms} * 1'000'000;
        platform::realWaits().sleepMs(ms);
    }
    void sleepMsSince(int64_t sinceNs, int ms) override {
        waitedNs += int64_t{ms} * 1'000'000;
        platform::realWaits().sleepMsSince(sinceNs, ms);
    }
    double floorSeconds() const { return (waitedNs + phases * 1000) / 1e9; }
};

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

void burns(const fs::path& dir) {
    std::printf("full burn, wall time against the fixed waits asked for and the floor\n"
                "(the waits and 1 us for every clock phase)\n");
    for (const Chip& c : chips) {
        const ChipRow& row = *findchip(c.name);
        const std::string file = writefile(dir, row);
        simexport<void (*)(int32_t)>("zavsimSetChip")(c.kind);
        FloorWaits waits;
        platform::installWaits(&waits);
        const auto start = std::chrono::steady_clock::now();
        const int status = runcli({"quibb9x", "--device", c.name, "--port", "0x278", "burn", file});
        const double wall = seconds(start);
        platform::installWaits(nullptr);
        const int faults = simexport<int32_t (*)()>("zavsimTimingFaults")();
        const double waited = waits.waitedNs / 1e9;
        std::printf("  PIC%-8s exit %d  %7.3f s wall  %7.3f s waits (%.3f)  %7.3f s floor, %lld phases"
                    "  ratio %.3f  timing faults %d\n",
                    c.name, status, wall, waited, wall / waited, waits.floorSeconds(),
                    static_cast<long long>(waits.phases), wall / waits.floorSeconds(), faults);
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
    if (what.empty()) what = {"burn", "only-changed"};
    const fs::path dir = fs::temp_directory_path() / ("quibb9x-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    // The simulated chip is kept in a file of the run's own, which the whole
    // quibb9x process of the --only-changed figure reads.
    setenv("QUIBB9X_SIM_FILE", (dir / "chip.txt").c_str(), 1);
    binding::chooseLibrary(SIMLIB_PATH);
    simexport<void (*)(int32_t)>("zavsimSetBase")(0x278);
    for (const auto& w : what) {
        if (w == "burn") burns(dir);
        if (w == "only-changed") onlychanged(dir);
    }
    fs::remove_all(dir);
    return 0;
}
