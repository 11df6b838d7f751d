// SPDX-License-Identifier: GPL-2.0-or-later
// Ctrl-C, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE in the middle of an operation. The signal handler only
// notes the signal; the waits, which every operation passes through at every
// clock phase, notice it and unwind the operation by throwing
// Interrupted, so the command line can put the board into its idle state
// (programming voltage off) before it exits. A chip is never left under Vpp.
#pragma once
#include "core/platform.h"

namespace cli {

struct Interrupted {};

// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE set the run's stop flag
// (core/stop.h), without SA_RESTART, so a read from the terminal returns at
// once; one the caller ignored stays ignored.
void installinterrupt();
bool interrupted();
void clearinterrupt();  // tests run several commands in one process

// Waits that throw Interrupted once the flag is set, before each clock phase
// and before and after each sleep, delegating to the waits they wrap (whose
// clock they read).
class InterruptWaits : public platform::Waits {
public:
    explicit InterruptWaits(platform::Waits& inner) : inner_(inner) {}
    int64_t nowNs() override { return inner_.nowNs(); }
    void holdUntil(int64_t deadlineNs) override;
    void sleepMs(int milliseconds) override;

private:
    platform::Waits& inner_;
};

}  // namespace cli
