// SPDX-License-Identifier: GPL-2.0-or-later
#include "simboard.h"

#include <dlfcn.h>

#include <stdexcept>

#include "core/binding.h"
#include "core/startup.h"

namespace sim {
namespace {

int64_t virtualNow = 1'000'000'000;
std::vector<int> sleepLog;
int holdCount = 0;

int64_t readVirtualClock() { return virtualNow; }

// Time stands still but for the waits: a hold moves the clock to its
// deadline, a sleep by its length.
class VirtualWaits : public platform::Waits {
public:
    int64_t nowNs() override { return virtualNow; }
    void holdUntil(int64_t deadlineNs) override {
        ++holdCount;
        if (deadlineNs > virtualNow) virtualNow = deadlineNs;
    }
    void sleepMs(int ms) override {
        sleepLog.push_back(ms);
        virtualNow += static_cast<int64_t>(ms) * 1'000'000;
    }
};
VirtualWaits virtualWaits;

template <typename Fn>
void bind(Fn& slot, const char* name) {
    void* sym = dlsym(binding::handle(), name);
    if (!sym) throw std::runtime_error(std::string("simulated board lacks ") + name);
    slot = reinterpret_cast<Fn>(sym);
}

Board loaded{};
bool bound = false;

}  // namespace

Board& board() {
    if (!bound) {
        binding::chooseLibrary(SIMLIB_PATH);
        bind(loaded.reset, "zavsimReset");
        bind(loaded.setChip, "zavsimSetChip");
        bind(loaded.setBoard, "zavsimSetBoard");
        bind(loaded.setBase, "zavsimSetBase");
        bind(loaded.read, "zavsimRead");
        bind(loaded.write, "zavsimWrite");
        bind(loaded.setStuck, "zavsimSetStuck");
        bind(loaded.isProtected, "zavsimProtected");
        bind(loaded.setProtected, "zavsimSetProtected");
        bind(loaded.inProgrammingMode, "zavsimInProgrammingMode");
        bind(loaded.address, "zavsimAddress");
        bind(loaded.logSize, "zavsimLogSize");
        bind(loaded.logEntry, "zavsimLogEntry");
        bind(loaded.logClear, "zavsimLogClear");
        bind(loaded.eventCount, "zavsimEventCount");
        bind(loaded.event, "zavsimEvent");
        bind(loaded.eventClear, "zavsimEventClear");
        bind(loaded.timingFaults, "zavsimTimingFaults");
        bind(loaded.phaseFaults, "zavsimPhaseFaults");
        bind(loaded.useClock, "zavsimUseClock");
        bind(loaded.save, "zavsimSave");
        bound = true;
    }
    return loaded;
}

void useSimulatedBoard() {
    Board& b = board();
    b.reset();
    platform::installWaits(&virtualWaits);
    b.useClock(&readVirtualClock);
    clearWaits();
}

void useSimulatedPIC16F84(State& s) {
    useSimulatedBoard();
    startup(s);
    setdevice(s, 2);
    s.portaddr = 0x278;
}

void useRealTime() {
    board().useClock(nullptr);
    platform::installWaits(nullptr);
}

std::vector<zavsim_access> accesses() {
    std::vector<zavsim_access> out;
    const int32_t n = board().logSize();
    out.reserve(n);
    for (int32_t i = 0; i < n; ++i) {
        zavsim_access a{};
        board().logEntry(i, &a);
        out.push_back(a);
    }
    return out;
}

std::vector<zavsim_access> writes() {
    std::vector<zavsim_access> out;
    for (const auto& a : accesses())
        if (!a.is_read) out.push_back(a);
    return out;
}

std::vector<zavsim_event> chipEvents() {
    std::vector<zavsim_event> out;
    const int32_t n = board().eventCount();
    for (int32_t i = 0; i < n; ++i) {
        zavsim_event e{};
        board().event(i, &e);
        out.push_back(e);
    }
    return out;
}

std::vector<int> commands() {
    std::vector<int> out;
    for (const auto& e : chipEvents())
        if (e.kind == 0) out.push_back(e.value);
    return out;
}

std::vector<int> sleeps() { return sleepLog; }
int holds() { return holdCount; }
void clearWaits() {
    sleepLog.clear();
    holdCount = 0;
}
void advance(int64_t ns) { virtualNow += ns; }
int64_t nowNs() { return virtualNow; }

}  // namespace sim
