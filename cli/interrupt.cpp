#include "interrupt.h"

#include <signal.h>

#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t flag = 0;

extern "C" void onsignal(int) { flag = 1; }

void check() {
    if (flag) throw Interrupted{};
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

bool interrupted() { return flag != 0; }
void clearinterrupt() { flag = 0; }

void InterruptWaits::yield() {
    check();
    inner_.yield();
}

void InterruptWaits::sleepMs(int milliseconds) {
    check();
    inner_.sleepMs(milliseconds);
    check();
}

}  // namespace cli
