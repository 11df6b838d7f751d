// SPDX-License-Identifier: GPL-2.0-or-later
#include "stop.h"

#include <signal.h>

#include <atomic>

namespace stop {
namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> flag{false};
std::atomic<int> first{0};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onsignal(int number) {
    int none = 0;
    first.compare_exchange_strong(none, number, std::memory_order_relaxed);
    flag.store(true, std::memory_order_relaxed);
}

constexpr int caught[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

}  // namespace

void request() { flag.store(true, std::memory_order_relaxed); }
bool requested() { return flag.load(std::memory_order_relaxed); }
void clear() { flag.store(false, std::memory_order_relaxed); }

void catchsignals() {
    struct sigaction action {};
    action.sa_handler = onsignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (const int number : caught) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) != 0) continue;
        if (before.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}

bool signalled() { return first.load(std::memory_order_relaxed) != 0; }
int signalnumber() { return first.load(std::memory_order_relaxed); }

void forgetsignal() { first.store(0, std::memory_order_relaxed); }

int exitstatus() {
    const int number = signalnumber();
    if (number == 0 || number == SIGINT || number == SIGTERM) return 130;
    return 128 + number;
}

}  // namespace stop
