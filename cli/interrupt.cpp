#include "interrupt.h"

#include <signal.h>

#include "core/stop.h"

namespace cli {
namespace {

extern "C" void onsignal(int) { stop::request(); }

void check() {
    if (stop::requested()) throw Interrupted{};
}

}  // namespace

void installinterrupt() {
    struct sigaction action {};
    action.sa_handler = onsignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return stop::requested(); }
void clearinterrupt() { stop::clear(); }

void InterruptWaits::holdUntil(int64_t deadlineNs) {
    check();
    inner_.holdUntil(deadlineNs);
}

void InterruptWaits::sleepMs(int milliseconds) {
    check();
    inner_.sleepMs(milliseconds);
    check();
}

}  // namespace cli
