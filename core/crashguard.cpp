// SPDX-License-Identifier: GPL-2.0-or-later
#include "crashguard.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>

namespace crashguard {
namespace {

// Two plans, the one in force named by an index that is switched only once
// the other is complete: the handler never reads a plan half written.
Plan plans[2];
std::atomic<int> current{-1};  // -1: none yet
std::atomic<uint8_t> control{0}, data{0};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<uint8_t>::is_always_lock_free);

constexpr int signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

extern "C" void oncrash(int number) {
    // SA_RESETHAND put the default action back on entry.
    Write writes[6];
    const int n = safewrites(writes);
    const int at = current.load(std::memory_order_acquire);
    if (at >= 0 && plans[at].out)
        for (int i = 0; i < n; ++i) plans[at].out(writes[i].port, writes[i].value);
    // Delivered with the default action as the handler returns; a fault the
    // program made itself comes again at the same instruction.
    raise(number);
}

void altstack() {
    static thread_local bool done = false;
    if (done) return;
    done = true;
    // Made once per thread and kept for the thread's life.
    const size_t size = SIGSTKSZ > 65536 ? SIGSTKSZ : 65536;
    stack_t st{};
    st.ss_sp = std::malloc(size);
    if (!st.ss_sp) return;
    st.ss_size = size;
    if (sigaltstack(&st, nullptr) != 0) std::free(st.ss_sp);
}

}  // namespace

void install() {
    altstack();
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = oncrash;
    sigemptyset(&action.sa_mask);
    // Nothing else interrupts the board's last writes.
    for (const int number : signals) sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESETHAND | SA_ONSTACK;
    for (const int number : signals) {
        struct sigaction before {};
        if (sigaction(number, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
        sigaction(number, &action, nullptr);
    }
}

void arm(const Plan& p) {
    const int next = current.load(std::memory_order_relaxed) == 0 ? 1 : 0;
    plans[next] = p;
    current.store(next, std::memory_order_release);
}

void disarm() { arm(Plan{}); }

void controlwritten(uint8_t value) { control.store(value, std::memory_order_relaxed); }
void datawritten(uint8_t value) { data.store(value, std::memory_order_relaxed); }

int safewrites(Write (&out)[6]) {
    const int at = current.load(std::memory_order_acquire);
    if (at < 0 || !plans[at].out) return 0;
    const Plan& p = plans[at];
    uint8_t c = control.load(std::memory_order_relaxed);
    uint8_t d = data.load(std::memory_order_relaxed);
    int n = 0;
    const auto tocontrol = [&](uint8_t v) { out[n++] = {p.controlport, c = v}; };
    const auto todata = [&](uint8_t v) { out[n++] = {p.dataport, d = v}; };
    if (p.signalsoncontrol)
        tocontrol(static_cast<uint8_t>((c & p.keepcontrol) | (p.idlecontrol & ~p.keepcontrol)));
    if (p.signalsondata) todata(static_cast<uint8_t>((d & p.keepdata) | (p.idledata & ~p.keepdata)));
    if (p.vddcontrol.mask) tocontrol(p.vddcontrol.set(c, false));
    if (p.vdddata.mask) todata(p.vdddata.set(d, false));
    if (p.vppcontrol.mask) tocontrol(p.vppcontrol.set(c, false));
    if (p.vppdata.mask) todata(p.vppdata.set(d, false));
    return n;
}

}  // namespace crashguard
