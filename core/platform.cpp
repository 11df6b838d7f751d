#include "platform.h"

#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

class RealWaits : public Waits {
public:
    void yield() override { sched_yield(); }
    void sleepMs(int milliseconds) override {
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
