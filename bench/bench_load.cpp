// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for a full burn of a PIC16F84 as people run it: the whole quibb9x
// process on the simulated board with real waits, alone, beside two and
// four busy processes (of its own session, and four of other sessions), and
// with --vcd. For each, the median wall time against the
// burn's fixed waits (1093 programming cycles of 7 ms, 3 entries into
// programming mode of 2 x 7 ms), the processor time of the process as a share
// of its wall time, and the load average before the runs: other work on the
// machine shows in every figure. Prints; never judges.
//
//   bench_load [--runs N]
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

#include "bench/maxhex.h"
#include "bench/median.h"

namespace {

using bench::median;
using bench::writemaxhex;

constexpr double FIXED_WAITS_MS = 1093 * 7 + 3 * 14;

// Processes that keep a processor each busy while they live: in the
// benchmark's own session, or each in a session of its own, as work started
// from another terminal is. Linux schedules each session as a group of its
// own (autogroup) where that is on: the busy processes of the burn's own
// session take the processor from it within its group.
class Busy {
public:
    Busy(int n, bool ownsession) {
        for (int i = 0; i < n; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                if (ownsession) setsid();
                alarm(600);  // never outlive a benchmark that died
                volatile unsigned long spins = 0;
                for (;;) spins = spins + 1;
            }
            if (child > 0) children_.push_back(child);
        }
    }
    ~Busy() {
        for (pid_t c : children_) kill(c, SIGKILL);
        for (pid_t c : children_) waitpid(c, nullptr, 0);
    }

private:
    std::vector<pid_t> children_;
};

double loadaverage() {
    double one = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &one) != 1) one = -1;
        std::fclose(f);
    }
    return one;
}

struct Run {
    double wallMs = 0;
    double cpuMs = 0;
    bool ok = false;
};

// quibb9x burn in a process of its own, its output discarded.
Run burn(const std::string& dir, bool vcd) {
    std::vector<std::string> args = {QUIBB9X_PATH, "--simulate", "--port", "0x278", "--device", "16F84"};
    if (vcd) args.insert(args.end(), {"--vcd", dir + "/burn.vcd"});
    args.insert(args.end(), {"burn", dir + "/max.hex"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::fflush(nullptr);  // nothing buffered goes out twice
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            std::_Exit(127);
        execv(argv[0], argv.data());
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    r.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));

    char name[] = "/tmp/quibb9x-bench-XXXXXX";
    if (!mkdtemp(name)) return 1;
    const std::string dir = name;
    if (chdir(dir.c_str()) != 0) return 1;
    setenv("QUIBB9X_SIM_FILE", "", 1);  // a blank chip in every run
    setenv("QUIBB9X_SIM_CHIP", "16F84", 1);
    unsetenv("QUIBB9X_SIM_PORT");
    writemaxhex(dir + "/max.hex");

    std::printf("Full burn of a PIC16F84, whole process, simulated board, real waits, "
                "median of %d runs; fixed waits %.0f ms\n", runs, FIXED_WAITS_MS);
    std::printf("%-26s %10s %8s %7s %10s %6s\n", "burn", "wall ms", "ratio", "CPU %", "VCD bytes",
                "load");
    struct Case {
        const char* label;
        int busy;
        bool ownsession;
        bool vcd;
    };
    for (const Case& c : {Case{"alone", 0, false, false}, Case{"beside 2 busy processes", 2, false, false},
                          Case{"beside 4 busy processes", 4, false, false},
                          Case{"beside 4, other sessions", 4, true, false},
                          Case{"with --vcd", 0, false, true}}) {
        const double load = loadaverage();
        std::vector<double> wall, cpu;
        int failed = 0;
        for (int r = 0; r < runs; ++r) {
            Busy busy(c.busy, c.ownsession);
            const Run run = burn(dir, c.vcd);
            wall.push_back(run.wallMs);
            cpu.push_back(100 * run.cpuMs / run.wallMs);
            failed += !run.ok;
        }
        struct stat st {};
        const long long vcdBytes = c.vcd && stat((dir + "/burn.vcd").c_str(), &st) == 0 ? st.st_size : 0;
        const double w = median(wall);
        std::printf("%-26s %10.1f %8.3f %7.1f %10lld %6.2f%s\n", c.label, w, w / FIXED_WAITS_MS,
                    median(cpu), vcdBytes, load, failed ? "  (some runs failed)" : "");
        std::fflush(stdout);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
