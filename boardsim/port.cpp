// SPDX-License-Identifier: GPL-2.0-or-later
// The exports: the four port functions of the real library, over the
// simulated board, and the extra ones of boardsim.h for tests.
#include "board.h"

#include <cstring>

#include "boardsim.h"
#include "models.h"
#include "portlib/zavbit2.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Made at the first call of any export (the environment and the chip file
// are read then); its destructor writes the chip file at exit.
boardsim::Board& board() {
    static boardsim::Board b;
    return b;
}

}  // namespace

EXPORT int32_t zavSR(int32_t value, int32_t count) { return value >> (count & 31); }

EXPORT int32_t zavSL(int32_t value, int32_t count) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) << (count & 31));
}

EXPORT int32_t zavINP(int32_t port) { return board().inp(port); }
EXPORT void zavOUT(int32_t port, int32_t value) { board().out(port, value); }

EXPORT void zavsimReset(void) { board().reset(); }
EXPORT void zavsimSetChip(int32_t kind) { board().setChip(kind); }
EXPORT void zavsimSetBoard(int32_t present) { board().setPresent(present != 0); }
EXPORT void zavsimSetBase(int32_t base) { board().setBase(base); }
EXPORT int32_t zavsimBase(void) { return board().base(); }
EXPORT void zavsimSetRevision(int32_t revision) { board().setRevision(revision); }

EXPORT int32_t zavsimRead(int32_t region, int32_t index) { return board().chip().cell(region, index); }
EXPORT void zavsimWrite(int32_t region, int32_t index, int32_t value) {
    board().chip().setCell(region, index, value);
}
EXPORT void zavsimSetStuck(int32_t region, int32_t index, int32_t value) {
    board().chip().setStuck(region, index, value);
}
EXPORT int32_t zavsimProtected(void) { return board().chip().isProtected() ? 1 : 0; }
EXPORT void zavsimSetProtected(int32_t on) { board().chip().setProtected(on != 0); }
EXPORT int32_t zavsimInProgrammingMode(void) { return board().chip().inProgrammingMode() ? 1 : 0; }
EXPORT int32_t zavsimAddress(void) { return board().chip().address(); }

EXPORT int32_t zavsimLogSize(void) { return board().logSize(); }
EXPORT int32_t zavsimLogEntry(int32_t i, zavsim_access* out) {
    return out && board().logEntry(i, *out) ? 1 : 0;
}
EXPORT void zavsimLogClear(void) { board().logClear(); }

// A programming cycle whose time has passed is complete in the log too.
EXPORT int32_t zavsimEventCount(void) {
    board().chip();
    return board().eventCount();
}
EXPORT int32_t zavsimEvent(int32_t i, zavsim_event* out) {
    return out && board().eventEntry(i, *out) ? 1 : 0;
}
EXPORT void zavsimEventClear(void) { board().eventClear(); }
EXPORT int32_t zavsimTimingFaults(void) { return board().timingFaults(); }
EXPORT int32_t zavsimPhaseFaults(void) { return board().phaseFaults(); }

EXPORT void zavsimUseClock(int64_t (*now_ns)(void)) { board().useClock(now_ns); }
EXPORT void zavsimSave(void) { board().save(); }

EXPORT int32_t zavsimChipCount(void) { return boardsim::modelCount(); }
EXPORT int32_t zavsimChipInfo(int32_t i, zavsim_chipinfo* out) {
    if (!out || i < 0 || i >= boardsim::modelCount()) return 0;
    boardsim::describe(boardsim::modelAt(i), *out);
    return 1;
}
EXPORT int32_t zavsimSaveChip(void) { return board().save() ? 1 : 0; }

EXPORT int32_t zavsimChipFile(char* path, int32_t size) {
    const std::string& file = board().filePath();
    if (path && size > 0) {
        const size_t n = std::min(file.size(), static_cast<size_t>(size - 1));
        std::memcpy(path, file.data(), n);
        path[n] = '\0';
    }
    return board().fileUse();
}
