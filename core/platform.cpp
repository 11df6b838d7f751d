// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform.h"

#include <atomic>

#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

// Tells the processor that this is a busy wait (less power, and the other
// hardware thread of the core runs faster).
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// The kernel's scheduling attributes of a thread (no C library wraps them).
struct SchedAttr {
    uint32_t size;
    uint32_t policy;
    uint64_t flags;
    int32_t nice;
    uint32_t priority;
    uint64_t runtime;  // for the normal policy: the time slice asked for, in ns
    uint64_t deadline;
    uint64_t period;
};

// Each sleep ends with a burst of port work, and the next programming cycle
// waits for it. With busy processes beside it, a thread that wakes waits for
// their time slice to run out, unless it asks for short slices itself:
// Linux honours that from 6.12 on for any thread without privilege, and
// ignores it before. The thread's nice value and policy stay as they were.
void askforshortslices() {
    SchedAttr attr{};
    if (syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0 || attr.policy != SCHED_OTHER)
        return;
    attr.size = sizeof attr;
    attr.runtime = 100'000;  // the shortest the kernel grants
    syscall(SYS_sched_setattr, 0, &attr, 0);
}

// Sleeps end up to 50 µs late by default and a burn sleeps a thousand times:
// ask for the precise end, and for prompt wake-ups. Both settings are the
// thread's; a refusal changes nothing but the lateness.
bool wakepromptly() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    askforshortslices();
    return true;
}

// How early a sleep ends, to be on time despite the wake-up.
constexpr int64_t WAKE_EARLY_NS = 150'000;

class RealWaits : public Waits {
public:
    int64_t nowNs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
    void holdUntil(int64_t deadlineNs) override {
        while (nowNs() < deadlineNs) relax();
    }
    void sleepMs(int milliseconds) override { sleepMsSince(nowNs(), milliseconds); }
    void sleepMsSince(int64_t sinceNs, int milliseconds) override {
        static thread_local const bool prompt = wakepromptly();  // once per thread
        (void)prompt;
        // An absolute deadline, so a signal that interrupts the sleep does not
        // shorten the chip's programming cycle. Waking takes the system about
        // 0.1 ms (more on a busy machine), a thousand times in a burn: the
        // sleep ends a little early and the clock is watched for the rest.
        const int64_t deadline = sinceNs + milliseconds * 1'000'000LL;
        const int64_t wake = deadline - WAKE_EARLY_NS;
        const timespec until{static_cast<time_t>(wake / 1'000'000'000),
                             static_cast<long>(wake % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
        holdUntil(deadline);
    }
};

// A test installs its waits on one thread while an operation's worker
// thread reads them on another.
std::atomic<Waits*> installed{nullptr};

}  // namespace

Waits& realWaits() {
    static RealWaits real;
    return real;
}

Waits& waits() {
    Waits* w = installed.load(std::memory_order_acquire);
    return w ? *w : realWaits();
}
void installWaits(Waits* w) { installed.store(w, std::memory_order_release); }

std::string currentDirectory() {
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) return {};
    return buffer;
}

std::string systemDirectory() { return "/var/tmp"; }

std::string stateDirectory() {
    // A relative XDG_STATE_HOME is invalid under the XDG rules, and ignored.
    if (const char* x = std::getenv("XDG_STATE_HOME"); x && x[0] == '/') return x;
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/state";
    return {};
}

std::string temporaryDirectory() {
    if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
    return "/tmp/";
}

}  // namespace platform
