#include "platform.h"

#include <sys/prctl.h>
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
    void sleepMs(int milliseconds) override {
        // Sleeps end up to 50 µs late by default and a burn sleeps a thousand
        // times: ask for the precise end, once per thread (the setting is the
        // thread's; a refusal changes nothing but the lateness).
        static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
        (void)precise;
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        until.tv_sec += milliseconds / 1000;
        until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        // An absolute deadline, so a signal that interrupts the sleep does not
        // shorten the chip's programming cycle.
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
    }
};

Waits* installed = nullptr;

}  // namespace

Waits& realWaits() {
    static RealWaits real;
    return real;
}

Waits& waits() { return installed ? *installed : realWaits(); }
void installWaits(Waits* w) { installed = w; }

std::string currentDirectory() {
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) return {};
    return buffer;
}

std::string systemDirectory() { return "/var/tmp"; }

std::string temporaryDirectory() {
    if (const char* t = std::getenv("TMPDIR"); t && *t) return t;
    return "/tmp/";
}

}  // namespace platform
