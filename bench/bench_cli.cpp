// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for the program as people run it: the command line's burn, verify,
// read-hex and read-bin of a whole PIC16F84 on the simulated board with real
// waits, loading a HEX file that fills every region, and the window's
// start-up to its first event-loop turn (offscreen). Each is run several
// times, each run in a fresh process, and the median printed with the fixed
// waits it contains (the 7 ms sleeps asked for), their ratio, and the peak
// memory of the process. Prints; never judges.
//
// burn --only-changed runs as the whole quibb9x process, against a chip that
// holds the maximal file with 4 words changed, and one that holds it all.
//
//   bench_cli [--runs N] [burn|verify|read-hex|read-bin|load|startup|
//              only-changed|unchanged ...]
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "boardsim/boardsim.h"
#include "cli/commands.h"
#include "core/binding.h"
#include "core/platform.h"
#include "core/startup.h"
#include "image/hexreader.h"
#include "bench/benchsupport.h"
#include "bench/maxhex.h"
#include "bench/median.h"

namespace fs = std::filesystem;

namespace {

using bench::median;

using bench::Quiet;
using bench::simexport;

using bench::configword;
using bench::databyte;
using bench::idword;
using bench::programword;
using bench::writemaxhex;

struct Sample {
    double wallMs = 0;
    long long waitMs = 0;
    long maxrssKiB = 0;
    int status = 0;
};

// The chip as a burn of the maximal file leaves it, without the burn's time.
void fillchip() {
    auto write = simexport<void (*)(int32_t, int32_t, int32_t)>("zavsimWrite");
    for (int i = 0; i < 1024; ++i) write(0, i, programword(i));
    for (int i = 0; i < 4; ++i) write(1, i, idword(i));
    write(2, 0, configword);
    for (int k = 0; k < 64; ++k) write(3, k, databyte(k));
}

// A chip file holding the maximal file's image with its first `differ` of
// program words 0, 511, 1023 and data byte 63 cleared, written by the
// simulated board itself in a child process (the board stays unbound here).
void writechipfile(const std::string& path, int differ) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QUIBB9X_SIM_FILE", path.c_str(), 1);
        binding::chooseSimulated();
        fillchip();
        const int cells[4][2] = {{0, 0}, {0, 511}, {0, 1023}, {3, 63}};
        auto write = simexport<void (*)(int32_t, int32_t, int32_t)>("zavsimWrite");
        for (int i = 0; i < differ; ++i) write(cells[i][0], cells[i][1], 0);
        simexport<void (*)()>("zavsimSave")();
        std::_Exit(0);
    }
    waitpid(pid, nullptr, 0);
}

int climain(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    cli::Options o;
    std::string error;
    if (!cli::parseoptions(args, o, error)) return cli::usage(error);
    return cli::climain(static_cast<int>(args.size()), argv.data(), o);
}

// One run of an operation in this (child) process; the wall time covers the
// command as the program runs it, start-up and argument parsing included.
Sample runhere(const std::string& op, const std::string& dir) {
    const std::string maxhex = dir + "/max.hex";
    const std::vector<std::string> common = {"quibb9x", "--simulate", "--port", "0x278",
                                             "--device", "16F84"};
    bench::CountingWaits waits;
    platform::installWaits(&waits);
    std::vector<std::string> args = common;
    Sample s;
    if (op == "load") {
        State st;
        startup(st);
        setdevice(st, 2);
        Quiet quiet;
        const auto t0 = std::chrono::steady_clock::now();
        s.status = loadhexfile(st, quiet, maxhex) ? 0 : 1;
        s.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        return s;
    }
    if (op == "burn") args.insert(args.end(), {"burn", maxhex});
    if (op == "verify") args.insert(args.end(), {"verify", maxhex});
    if (op == "read-hex") args.insert(args.end(), {"read-hex", dir + "/dump.hex"});
    if (op == "read-bin") args.insert(args.end(), {"read-bin", dir + "/dump.bin"});
    if (op == "verify") {
        binding::chooseSimulated();
        fillchip();
    }
    const auto t0 = std::chrono::steady_clock::now();
    s.status = climain(args);
    s.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    s.waitMs = waits.sleptMs;
    return s;
}

// Runs one sample in a fresh process; the peak memory is that process's.
Sample sample(const std::string& op, const std::string& dir, const std::string& program) {
    const bool onlychanged = op == "only-changed" || op == "unchanged";
    if (onlychanged)
        fs::copy_file(dir + (op == "unchanged" ? "/same.txt" : "/four.txt"), dir + "/chip.txt",
                      fs::copy_options::overwrite_existing);
    int fds[2];
    if (pipe(fds) != 0) std::_Exit(1);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (op == "startup") {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(program.c_str(), program.c_str(), "--simulate", "--port", "lpt2",
                  "--quit-after-start", static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        if (onlychanged) {
            setenv("QUIBB9X_SIM_FILE", (dir + "/chip.txt").c_str(), 1);
            execl(program.c_str(), program.c_str(), "--simulate", "--port", "0x278", "--device",
                  "16F84", "--only-changed", "burn", (dir + "/max.hex").c_str(),
                  static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        Sample s = runhere(op, dir);
        if (write(fds[1], &s, sizeof s) != static_cast<ssize_t>(sizeof s)) std::_Exit(1);
        std::_Exit(0);
    }
    close(fds[1]);
    Sample s;
    const bool reported = read(fds[0], &s, sizeof s) == static_cast<ssize_t>(sizeof s);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!reported) {  // a program run: the whole process is the sample
        s.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        s.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    s.maxrssKiB = usage.ru_maxrss;
    // The waits such a run asks for: three entries into programming mode of
    // 2 x 7 ms, and 7 ms per programmed word.
    if (onlychanged) s.waitMs = 3 * 14 + (op == "only-changed" ? 4 * 7 : 0);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::vector<std::string> ops;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            ops.push_back(argv[i]);
    }
    if (ops.empty())
        ops = {"burn", "verify", "read-hex", "read-bin", "load", "startup", "only-changed",
               "unchanged"};

    // A directory of our own: no settings file, the temporary file, dumps.
    char name[] = "/tmp/quibb9x-bench-XXXXXX";
    if (!mkdtemp(name)) return 1;
    const std::string dir = name;
    if (chdir(dir.c_str()) != 0) return 1;
    setenv("TMPDIR", dir.c_str(), 1);
    setenv("QUIBB9X_SIM_FILE", "", 1);  // a blank chip in every run
    setenv("QUIBB9X_SIM_CHIP", "16F84", 1);
    unsetenv("QUIBB9X_SIM_PORT");
    writemaxhex(dir + "/max.hex");
    writechipfile(dir + "/four.txt", 4);
    writechipfile(dir + "/same.txt", 0);
    const std::string program = binding::executableDir() + "/quibb9x";

    std::printf("quibb9x command line and start-up on the simulated board, real waits, "
                "median of %d runs\n", runs);
    std::printf("%-22s %12s %14s %8s %12s\n", "operation", "wall ms", "fixed waits ms", "ratio",
                "peak RSS KiB");
    for (const auto& op : ops) {
        std::vector<double> wall;
        std::vector<long long> waits;
        long rss = 0;
        int failed = 0;
        for (int r = 0; r < runs; ++r) {
            const Sample s = sample(op, dir, program);
            wall.push_back(s.wallMs);
            waits.push_back(s.waitMs);
            rss = std::max(rss, s.maxrssKiB);
            if (s.status != 0) ++failed;
        }
        const double w = median(wall);
        const long long fixed = median(waits);
        char ratio[16] = "-";
        if (fixed > 0) std::snprintf(ratio, sizeof ratio, "%.3f", w / static_cast<double>(fixed));
        const std::string label =
            op == "burn" ? "burn (whole chip)" : op == "verify" ? "verify (whole chip)"
            : op == "load" ? "load maximal HEX" : op == "startup" ? "window start-up"
            : op == "only-changed" ? "only-changed, 4 words" : op == "unchanged"
            ? "only-changed, none" : op;
        std::printf("%-22s %12.1f %14lld %8s %12ld%s\n", label.c_str(), w, fixed, ratio, rss,
                    failed ? "  (some runs failed)" : "");
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
