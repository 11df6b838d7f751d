// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for a full Burn pressed in the window (offscreen, simulated board,
// real waits): its wall time against the fixed waits it asks for, beside the
// same burn with no window at all (the floor: the protocol's own clock
// phases and the machine), run on the window's own thread, and run by the
// command line as a whole quibb9x process, the four taken in turn so that the
// machine's moods fall on each alike. A fifth run watches the event loop
// with a 1 ms timer for the longest time it goes without turning: that
// timer wakes the process a thousand times a second, which no window does,
// so its wall time is its own. "preempted" counts the times the threads were
// taken off the processor while they could run (a busy machine adds its
// own). Prints; never judges.
//
//   bench_window [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QTimer>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchsupport.h"
#include "bench/maxhex.h"
#include "bench/median.h"
#include "core/platform.h"
#include "operations/program.h"
#include "ui/mainwindow.h"

extern char** environ;

namespace {

using bench::median;

constexpr int base = 0x278;

struct Figures {
    double wallMs = 0;
    double longestStillMs = -1;  // the event loop's longest pause, when watched
    long long waitMs = 0;
    long preempted = 0;
    bool failed = false;
};

enum class Way { pressed, watched, inplace, nowindow };

long involuntaryswitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nivcsw;
}

// One full burn of a blank chip from the window's image.
Figures burn(MainWindow& w, Way way) {
    bench::simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F84);
    bench::CountingWaits waits;
    platform::installWaits(&waits);
    bool boxed = false;
    w.askBox = [&](const std::string&, const std::string&, Buttons buttons) {
        // The image's configuration word was set without the editor: Burn
        // asks before it burns it. Any other box means the burn failed.
        if (buttons == Buttons::YesNo) return Answer::Yes;
        boxed = true;
        return Answer::Ok;
    };

    QElapsedTimer clock;
    qint64 start = 0, last = 0, end = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop loop;
    QObject::connect(&w, &MainWindow::idle, &loop, [&] {
        end = clock.nsecsElapsed();
        loop.quit();
    });
    QTimer::singleShot(0, &w, [&] {
        start = last = clock.nsecsElapsed();
        if (way == Way::pressed || way == Way::watched) {
            w.bProgramar_Click();
            return;
        }
        if (way == Way::inplace) {
            boxed = !program2(w.state, w, modeprogram) || boxed;
        } else {
            bench::Quiet quiet;
            boxed = !program2(w.state, quiet, modeprogram);
        }
        end = clock.nsecsElapsed();
        loop.quit();
    });
    clock.start();
    if (way == Way::watched) tick.start();
    const long switchesbefore = involuntaryswitches();
    loop.exec();
    const long switches = involuntaryswitches() - switchesbefore;
    tick.stop();
    platform::installWaits(nullptr);

    Figures f;
    f.wallMs = static_cast<double>(end - start) / 1e6;
    if (way == Way::watched)
        f.longestStillMs = static_cast<double>(std::max(longest, end - last)) / 1e6;
    f.waitMs = waits.sleptMs;
    f.preempted = switches;
    f.failed = boxed;
    return f;
}

// `quibb9x burn` of the same image from a file, the whole process timed: its
// start-up, reading the file, the burn. It asks for the same waits as the
// window's burn of the same chip, which are given.
Figures commandline(const std::string& hexfile, long long waitMs) {
    char port[16];
    std::snprintf(port, sizeof port, "0x%X", base);
    std::vector<std::string> args = {QUIBB9X_PATH, "--simulate", "--port", port, "--device",
                                     "16F84", "--quiet", "burn", hexfile};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    Figures f;
    f.waitMs = waitMs;
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) {
        f.failed = true;
        posix_spawn_file_actions_destroy(&quiet);
        return f;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    f.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    f.preempted = usage.ru_nivcsw;
    f.failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    posix_spawn_file_actions_destroy(&quiet);
    return f;
}

void report(const char* label, const std::vector<Figures>& runs) {
    std::vector<double> wall, still;
    std::vector<long> preempted;
    long long waits = 0;
    bool failed = false;
    for (const Figures& f : runs) {
        wall.push_back(f.wallMs);
        if (f.longestStillMs >= 0) still.push_back(f.longestStillMs);
        preempted.push_back(f.preempted);
        waits = f.waitMs;
        failed = failed || f.failed;
    }
    const double w = median(wall);
    const double best = *std::min_element(wall.begin(), wall.end());
    char loopstill[32] = "-";
    if (!still.empty())
        std::snprintf(loopstill, sizeof loopstill, "%.1f (%.1f)", median(still),
                      *std::max_element(still.begin(), still.end()));
    std::printf("%-34s %9.1f %7.3f %7.3f %9lld %14s %10ld%s\n", label, w,
                w / static_cast<double>(waits), best / static_cast<double>(waits), waits,
                loopstill, median(preempted), failed ? "  (a burn failed)" : "");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char dir[] = "/tmp/quibb9x-benchwin-XXXXXX";  // no settings file here
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
    const std::string hexfile = std::string(dir) + "/max.hex";
    bench::writemaxhex(hexfile);
    setenv("QUIBB9X_SIM_CHIP", "16F84", 1);  // the command line's chip, blank
    bench::usesimulated16F84(SIMLIB_PATH, base);

    int qargc = 1;
    char name[] = "bench_window";
    char* qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    MainWindow w;
    w.findChild<QRadioButton*>("Option5")->click();  // LPT2
    w.findChild<QRadioButton*>("Option2")->click();  // PIC 16F84
    bench::fillimage(w.state);
    w.show();

    std::vector<Figures> pressed, nowindow, inplace, cli, watched;
    for (int r = 0; r < runs; ++r) {
        pressed.push_back(burn(w, Way::pressed));
        nowindow.push_back(burn(w, Way::nowindow));
        inplace.push_back(burn(w, Way::inplace));
        cli.push_back(commandline(hexfile, pressed.back().waitMs));
        watched.push_back(burn(w, Way::watched));
    }
    std::printf("Full Burn of a PIC16F84 (1024 program words, 4 ID, configuration, 64 data "
                "bytes), simulated board, real waits, median of %d runs (the best beside it)\n",
                runs);
    std::printf("%-34s %9s %7s %7s %9s %14s %10s\n", "", "wall ms", "ratio", "(best)",
                "waits ms", "loop still ms", "preempted");
    report("Burn pressed in the window", pressed);
    report("the burn alone, no window", nowindow);
    report("on the window's thread", inplace);
    report("quibb9x burn (whole process)", cli);
    report("pressed, loop watched each 1 ms", watched);
    unlink(hexfile.c_str());
    rmdir(dir);
    return 0;
}
