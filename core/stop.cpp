#include "stop.h"

#include <signal.h>

#include <atomic>

namespace stop {
namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> flag{false};
std::atomic<bool> bysignal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onsignal(int) {
    bysignal.store(true, std::memory_order_relaxed);
    flag.store(true, std::memory_order_relaxed);
}

}  // namespace

void request() { flag.store(true, std::memory_order_relaxed); }
bool requested() { return flag.load(std::memory_order_relaxed); }
void clear() { flag.store(false, std::memory_order_relaxed); }

void catchsignals() {
    struct sigaction action {};
    action.sa_handler = onsignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool signalled() { return bysignal.load(std::memory_order_relaxed); }

}  // namespace stop
