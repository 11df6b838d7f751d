// SPDX-License-Identifier: GPL-2.0-or-later
// Figures for a full Burn pressed in the window (offscreen, simulated board,
// real waits): the longest time the window's event loop goes without turning
// while the burn runs, and the burn's wall time against the fixed waits it
// asks for. The same burn is also run the way the window once ran it, on the
// window's own thread, for comparison. "preempted" counts the times the
// process's threads were taken off the processor while they could run (a
// busy machine adds its own). Prints; never judges.
//
//   bench_window [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRadioButton>
#include <QTimer>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/benchsupport.h"
#include "core/platform.h"
#include "operations/program.h"
#include "ui/mainwindow.h"

namespace {

struct Figures {
    double wallMs = 0;
    double longestStillMs = 0;  // the event loop's longest pause
    long long waitMs = 0;
    long preempted = 0;  // the process's threads taken off the processor while runnable
    bool failed = false;
};

long involuntaryswitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nivcsw;
}

// One full burn: pressed (worker thread) or run in place (window's thread).
Figures burn(MainWindow& w, bool pressed) {
    bench::simexport<void (*)(int32_t)>("zavsimSetChip")(ZAVSIM_16F84);  // blank again
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
        if (pressed) {
            w.bProgramar_Click();
            return;
        }
        boxed = !program2(w.state, w, modeprogram) || boxed;
        end = clock.nsecsElapsed();
        loop.quit();
    });
    clock.start();
    tick.start();
    const long switchesbefore = involuntaryswitches();
    loop.exec();
    const long switches = involuntaryswitches() - switchesbefore;
    tick.stop();
    longest = std::max(longest, end - last);
    platform::installWaits(nullptr);

    Figures f;
    f.wallMs = static_cast<double>(end - start) / 1e6;
    f.longestStillMs = static_cast<double>(longest) / 1e6;
    f.waitMs = waits.sleptMs;
    f.preempted = switches;
    f.failed = boxed;
    return f;
}

template <typename T>
T median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* label, const std::vector<Figures>& runs) {
    std::vector<double> wall, still;
    std::vector<long> preempted;
    long long waits = 0;
    bool failed = false;
    for (const Figures& f : runs) {
        wall.push_back(f.wallMs);
        still.push_back(f.longestStillMs);
        preempted.push_back(f.preempted);
        waits = f.waitMs;
        failed = failed || f.failed;
    }
    const double w = median(wall);
    std::printf("%-30s %10.1f %14lld %7.3f %12.1f %12.1f %10ld%s\n", label, w, waits,
                w / static_cast<double>(waits), median(still),
                *std::max_element(still.begin(), still.end()), median(preempted),
                failed ? "  (a burn failed)" : "");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char dir[] = "/tmp/quibb9x-benchwin-XXXXXX";  // no settings file here
    if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
    constexpr int base = 0x278;
    bench::usesimulated16F84(SIMLIB_PATH, base);

    int qargc = 1;
    char name[] = "bench_window";
    char* qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    MainWindow w;
    w.findChild<QRadioButton*>("Option5")->click();  // LPT2
    bench::fillimage(w.state);
    w.show();

    std::vector<Figures> pressed, inplace;
    for (int r = 0; r < runs; ++r) {
        pressed.push_back(burn(w, true));
        inplace.push_back(burn(w, false));
    }
    std::printf("Full Burn from the window (1024 program words, 4 ID, configuration, 64 data "
                "bytes), offscreen, real waits, median of %d runs\n", runs);
    std::printf("%-30s %10s %14s %7s %12s %12s %10s\n", "", "wall ms", "fixed waits ms", "ratio",
                "loop still ms", "(worst)", "preempted");
    report("Burn pressed (worker thread)", pressed);
    report("on the window's thread", inplace);
    rmdir(dir);
    return 0;
}
