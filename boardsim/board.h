// SPDX-License-Identifier: GPL-2.0-or-later
// The PC's parallel-port registers, the programming board wired to them, the
// chip in its socket, and the logs of what went over the port.
//
// Registers: data at the base, status at base+1, control at base+2; other
// ports are an empty bus (reads 0xFF). Reading data or control gives the
// byte last written; they start as a PC leaves them, data 0x00, control 0x0C
// (Vpp off). Status bits 6:3 read 1 (inputs floating), 2:0 read 0, bit 7 is
// the inverse of pin 11 (0x78 with pin 11 high, 0xF8 with it low); the
// board's data-in pin shows the read-back node. With no board on the port
// every status input floats high: 0x78, which reads as a data line that is
// high while the PC drives it on the original board, so detection fails at
// once (and on other boards too: the read-back never changes).
//
// QUIBB9X_SIM_BOARD names the board's wiring (one of wirings.h's boards) or
// a board file; 0 or none: nothing on the port.
//
// The chip is kept between runs in QUIBB9X_SIM_FILE when that is set (empty:
// nowhere), otherwise in QUIBB9X_SIM_DIR, one file per kind of chip
// (chipFileName). One run at a time has a chip file: a second run on it
// waits for the first to end, or with QUIBB9X_SIM_SHARED=copy works on a copy
// of the chip as last saved and keeps nothing.
//
// QUIBB9X_SIM_LEVELS_FD names an open file descriptor: after every port
// write the board writes to it, with write(2) and nothing buffered, one byte
// of the chip's pin levels (ZAVSIM_LEVEL_* of boardsim.h), so that a test
// sees the last levels even of a process that dies.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "boardsim.h"
#include "chip.h"
#include "wirings.h"

namespace boardsim {

// What the environment asks for (re-read by every reset).
struct Setup {
    int kind = PIC16F84;
    bool board = true;
    BoardWiring wiring = originalBoard();
    uint16_t base = 0x278;
    bool protect = false;
    int revision = DEFAULT_REVISION;
};
Setup setupFromEnvironment();

// Status byte: the inputs other than busy float high (bits 6:3 set, 2:0 read
// 0); bit 7 is the inverse of pin 11. With no board pin 11 floats high too.
constexpr uint8_t STATUS_IDLE = 0x78;

// Keep at most this many entries; a full burn is about 1.5 million accesses.
constexpr size_t ACCESS_LOG_LIMIT = 4'000'000;
constexpr size_t EVENT_LOG_LIMIT = 1'000'000;

class Board final : public Events {
public:
    Board();
    ~Board() override;

    void reset();
    int32_t inp(int32_t port);
    void out(int32_t port, int32_t value);

    void setChip(int kind);
    void setPresent(bool present);
    void setBase(int32_t base);
    int32_t base() const { return base_; }
    void setRevision(int32_t revision);
    void useClock(int64_t (*clock)()) { clock_ = clock; }

    // The chip with any finished programming cycle completed.
    Chip& chip();

    int32_t logSize() const { return static_cast<int32_t>(accesses_.size()); }
    bool logEntry(int32_t i, zavsim_access& out) const;
    void logClear() { accesses_.clear(); }
    int32_t eventCount() const { return static_cast<int32_t>(events_.size()); }
    bool eventEntry(int32_t i, zavsim_event& out) const;
    void eventClear() { events_.clear(); }
    int32_t timingFaults() const { return timingFaults_; }
    int32_t phaseFaults() const { return phaseFaults_; }

    // Write the chip file (when there is one).
    // True when the chip is in its file now (or none is kept).
    bool save();

    // Where the chip is kept (zavsimChipFile).
    enum FileUse { NO_FILE = 0, OWN_FILE = 1, COPY_OF_FILE = 2 };
    FileUse fileUse() const;
    const std::string& filePath() const { return path_; }

    void chipEvent(int64_t now, int kind, int value) override;

private:
#pragma pack(push, 4)
    struct Access {
        int64_t time;
        uint32_t packed;  // port << 16 | read << 8 | value
    };
#pragma pack(pop)

    int64_t now() const;
    Pins pins() const;
    uint8_t status() const;
    void feed(int64_t now);
    void log(int64_t now, uint16_t port, uint8_t value, bool read);
    void newChip(int kind);
    void chooseFile();
    void adoptOlderFiles();
    void loadFile();
    void lockFile();
    bool keepAside();
    void reseat();

    Setup setup_;
    bool present_ = true;
    BoardWiring wiring_ = originalBoard();
    uint16_t base_ = 0x278;
    int revision_ = DEFAULT_REVISION;
    uint8_t data_ = 0x00;     // power-on values of a PC's port
    uint8_t control_ = 0x0C;
    std::unique_ptr<Chip> chip_;
    int64_t (*clock_)() = nullptr;
    int32_t timingFaults_ = 0;
    int32_t phaseFaults_ = 0;

    std::vector<Access> accesses_;
    std::vector<zavsim_event> events_;

    std::string path_;          // the chip file; empty: none
    std::string dir_;           // the folder of one file per chip kind, or empty
    int fileKind_ = EMPTY;      // the kind whose file path_ is
    std::string asideTo_;       // the file was unusable: moved here before it is overwritten
    bool copy_ = false;         // another run has the file: this chip is never saved
    bool saveFailed_ = false;   // said once that the file cannot be written
    int lockFd_ = -1;           // PATH.lock, held for the run: one run per chip file
    bool vppBefore_ = false;    // Vpp as the last port write left it (QUIBB9X_SIM_SOCKET)
    int levelsFd_ = -1;         // QUIBB9X_SIM_LEVELS_FD
};

}  // namespace boardsim
