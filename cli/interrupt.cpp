// SPDX-License-Identifier: GPL-2.0-or-later
#include "interrupt.h"

#include "core/stop.h"

namespace cli {
namespace {

void check() {
    if (stop::requested()) throw Interrupted{};
}

}  // namespace

void installinterrupt() { stop::catchsignals(); }

bool interrupted() { return stop::requested(); }
void clearinterrupt() {
    stop::clear();
    stop::forgetsignal();
}

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
