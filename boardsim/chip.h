// SPDX-License-Identifier: GPL-2.0-or-later
// A PIC as seen from its programming pins: the cells, and the
// programming-mode state machine that follows VDD, Vpp, the clock (RB6) and
// the data line (RB7) edge by edge. The chip's sizes, command set and times
// come from its row in models.h; the PIC16C84/F84/F83/F84A keep the
// behaviour described first, the newer families add their own below.
//
// Where the chip's documents leave room, the 16C84/F84/F83/F84A behave as
// follows:
// - A read frame drives 0 in its first period; the last period's 0 is let go
//   at the frame's last falling edge, so a sample taken after that edge sees
//   the released (pulled-up) line.
// - Command 5 gives the byte in bits 7:0 and zeros in bits 13:8.
// - Bulk erases 9 and 11 are armed until the next 8, which fills program
//   memory with the word last loaded by 0 or 2, and data memory with the
//   byte last loaded by 3 (loads for the two memories are latched apart; both
//   latches hold all ones on entry). Nothing but program memory (9) or data
//   memory (11) is touched.
// - The protection erase is 1, then 7 at once, then 8, with the counter on
//   the configuration word; elsewhere that 8 erases nothing.
// - A protected chip refuses every write and both bulk erases, ID and
//   configuration words included; only the protection erase opens it.
// - An 8 with nothing loaded since entry writes nothing.
// - Any clock edge before a programming cycle's 7 ms have passed, or Vpp
//   going away, abandons the write and counts as a timing fault.
// - A clock edge less than 1 µs after the previous one, or after Vpp rose,
//   is a short phase: recorded as a fault; the chip still takes the edge.
//
// The 16F627/628, 16F627A/628A/648A, 16F818/819, 16F87/88, 16F716, and
// the 28/40-pin and calibrated families after them:
// - A command outside the chip's set is an unknown command. Frames are as
//   above, except that the start and stop bits of a load frame are ignored
//   (programmers send them as 0 or as 1).
// - Latches: a load goes into the latch the counter's low bits choose (one
//   latch, four on the 818/819/87/88/716, 12F683 family, 12F617 and 16F616,
//   eight on the 16F87xA and 16F88x); a programming cycle writes the latches
//   of the counter's group, and a latch not loaded since the last cycle
//   leaves its word unchanged (with a single latch, an erase-and-program
//   cycle writes it all the same, as 0x3FFF). The 16F87xA and the 12F683
//   family write one word a cycle in configuration space. "Program only" cycles leave old AND
//   new; data bytes are always replaced (the EEPROM erases its byte itself).
// - Internally timed cycles (8 and 24 on the 627/628, 8 on the 62xA, the
//   self-timed erases) end after their time; a clock edge before is a timing
//   fault and the cycle does nothing. Externally timed cycles (24 and 8 on
//   the 818/819/87/88, 24 on the 716) need their end command (23, or 14), and
//   the first clock edge after the begin no earlier than the cycle's time;
//   too early, another command before the end, or Vpp going away is a timing
//   fault and the cycle does nothing. After the 716's 14 (and the 10 of the
//   later families) the next clock edge must wait TDIS.
// - Bulk erase of program memory follows the counter: from program space
//   program memory alone (refused under CP); from configuration space the
//   IDs and configuration words too, whatever the protection, but not a
//   calibration word in configuration space unless the counter is on it.
//   OSCCAL, being program word 0x3FF, goes with program memory, and the
//   band-gap bits with the configuration word. The 16F870-877's 1/7
//   sequence clears the chip on the configuration word, and in program space
//   the memory last loaded for (refused under CP, or CPD for data).
// - Protection is taken from the configuration word at entry: protected
//   program words (partly on the 627/628) read 0 and refuse writes, a
//   CPD-protected data memory reads 0 and refuses writes and its bulk erase,
//   and while any code protection holds, the ID and configuration words
//   refuse writes too. Bulk erase of program memory is refused under CP
//   except where it erases the configuration word as well.
// - Entry with VDD already on (a board without a VDD line) is refused when
//   the configuration selects the internal oscillator with MCLRE = 0, and
//   when LVP is set while PGM is high; Vpp raised before VDD always enters.
#pragma once
#include <array>
#include <cstdint>

#include "boardsim.h"
#include "models.h"

namespace boardsim {

// Chip kinds; the numbers are those of the board's exports (0 = empty socket).
enum Kind {
    EMPTY = ZAVSIM_EMPTY,
    PIC16C84 = ZAVSIM_16C84,
    PIC16F84 = ZAVSIM_16F84,
    PIC16F83 = ZAVSIM_16F83,
    PIC16F84A = ZAVSIM_16F84A,
    LAST_KIND = ZAVSIM_16F616
};

// The revision a chip with a device ID carries unless told otherwise.
constexpr int DEFAULT_REVISION = 1;

// Word 0x2006: the device ID plus the revision (0x0561 on a 16F84A); chips
// without one read 0x3FFF there.
uint16_t deviceId(int kind, int revision = DEFAULT_REVISION);

// Region numbers of the board's exports.
enum Region { PROGRAM = 0, ID = 1, CONFIG = 2, DATA = 3, CALIBRATION = 4 };

// The chip's non-volatile contents, sized for the largest chip; a chip uses
// only its first programWords / dataBytes, the rest stay blank and are never
// reachable.
struct Cells {
    std::array<uint16_t, 8192> program;
    std::array<uint16_t, 4> id;
    uint16_t config;
    uint16_t config2;  // 0x2008 on the 16F87/88 and 16F88x
    uint16_t calibration;  // the calibration word in configuration space
    std::array<uint8_t, 256> data;
};

int programWords(int kind);         // 1024, or 512 on the 16F83, ...
int dataBytes(int kind);            // 64, 128, 256, or 0
int configWords(int kind);          // 1, or 2 on the 16F87/88 and 16F88x
bool hasCalibrationWord(int kind);  // one in configuration space
uint16_t storedConfig(int kind, int32_t value);  // the bits the chip keeps
uint16_t storedConfig2(int kind, int32_t value);
bool protectedBy(int kind, uint16_t config);    // CP bits say protected
uint16_t withProtection(int kind, uint16_t config, bool on);
Cells blankCells(int kind);    // every cell erased, calibration too
Cells factoryCells(int kind);  // as the chip comes new: blank, with its calibration

// The levels the chip sees on its pins, and whether the PC holds the data
// line (then the chip cannot pull it).
// A board without a VDD line keeps VDD on; one without a PGM line holds PGM
// low.
struct Pins {
    bool vpp;
    bool clock;
    bool data;
    bool pcDrives;
    bool vdd = true;
    bool pgm = false;
};

// Where the chip reports what it understood (the board's event log).
class Events {
public:
    virtual ~Events() = default;
    virtual void chipEvent(int64_t now, int kind, int value) = 0;
};

// Event kinds and faults, as in the board's exports.
enum EventKind { EV_COMMAND = 0, EV_DATA_IN = 1, EV_DATA_OUT = 2, EV_WRITTEN = 3, EV_FAULT = 4 };
enum Fault {
    FAULT_TIMING = ZAVSIM_FAULT_TIMING,
    FAULT_UNKNOWN_COMMAND = ZAVSIM_FAULT_UNKNOWN_COMMAND,
    FAULT_BAD_FRAME = ZAVSIM_FAULT_BAD_FRAME,  // start/stop bit set, PC held the line, cut off
    FAULT_BAD_ENTRY = ZAVSIM_FAULT_BAD_ENTRY,
    FAULT_SHORT_PHASE = ZAVSIM_FAULT_SHORT_PHASE
};
// Values of EV_WRITTEN events for whole-region erases.
enum ErasedValue {
    ERASED_PROGRAM = ZAVSIM_ERASED_PROGRAM,
    ERASED_DATA = ZAVSIM_ERASED_DATA,
    ERASED_CHIP = ZAVSIM_ERASED_CHIP
};

// The programming cycle needs this long before the next command.
constexpr int64_t CYCLE_NS = 7'000'000;
// Every clock phase in programming mode needs at least this long.
constexpr int64_t PHASE_NS = 1'000;

class Chip {
public:
    Chip(int kind, Events& events, int revision = DEFAULT_REVISION);

    int kind() const { return kind_; }
    bool present() const { return kind_ != EMPTY; }

    // Feed the pin levels after a change at time now. Returns true when
    // programming mode ended in this call.
    bool update(const Pins& pins, int64_t now);
    // Take the pins' levels as they are, without acting on any edge (a chip
    // put into a live socket must see Vpp rise before it programs).
    void seat(const Pins& pins);
    // Complete a programming cycle whose time has come.
    void settle(int64_t now);

    // The chip's drive of the data line (only during a read frame).
    bool drives() const { return drive_; }
    bool driveLevel() const { return level_; }

    bool inProgrammingMode() const { return phase_ != Phase::Off; }
    int32_t address() const { return static_cast<int32_t>(pc_); }

    // Direct access to the cells (tests, the chip file). -1: no such cell.
    int32_t cell(int region, int index) const;
    void setCell(int region, int index, int32_t value);
    const Cells& cells() const { return cells_; }
    void setCells(const Cells& c, bool protectedNow);
    // A cell that keeps `value` whatever a write cycle or an erase does to
    // it (a word that fails to program), for the life of this chip.
    void setStuck(int region, int index, int32_t value);

    bool isProtected() const { return protected_; }
    void setProtected(bool on);
    int revision() const { return revision_; }
    void setRevision(int revision) { revision_ = revision; }

    // Set whenever the cells or the protection change; the board clears it
    // once the chip file is written.
    bool dirty = false;

private:
    enum class Phase { Off, Command, LoadFrame, ReadFrame };
    enum What : unsigned {
        WRITE_WORD = 1, WRITE_BYTE = 2, ERASE_PROGRAM = 4, ERASE_DATA = 8, ERASE_CHIP = 16,
        ERASE_ROW = 32, ERASE_IDS = 64, ERASE_CONFIG = 128, WRITE_GROUP = 256,
        FORCED = 512,  // the erase works whatever the protection
        ERASE_CALIBRATION = 1024
    };
    enum class Loaded { None, Program, Data };

    void event(int kind, int value) { events_.chipEvent(now_, kind, value); }
    void powered(const Pins& pins, bool vddFirst);
    void enter();
    void leave();
    void clockEdge(const Pins& pins, bool rising);
    void decode(unsigned code);
    void loaded(unsigned word);
    void startRead(uint16_t word);
    void beginCycle();
    void completeCycle();
    void increment();
    uint16_t programRead() const;   // what command 4 shifts out
    uint16_t dataRead() const;      // what command 5 shifts out
    void writeWord(uint32_t pc, uint16_t value);
    bool inConfigSpace() const { return pc_ >= 0x2000; }

    // The newer families.
    bool newer() const { return model_ && model_->family != Family::F84; }
    void decodeNewer(const Command& c);
    void loadedNewer(uint16_t word);
    void startCycle(unsigned what, int64_t ns, bool external, bool programOnly);
    void startArmedErase(bool external);
    void completeNewer();
    void writeGroup();
    void writeNewer(uint32_t pc, uint16_t value, bool programOnly);
    void eraseProgram();
    void eraseConfigSpace(bool ids);
    void eraseRow();
    unsigned armedEraseScope() const;
    unsigned bulkEraseScope() const;
    void guardFrom(uint16_t config);
    void openGuard();
    bool programOpen(unsigned index) const { return static_cast<int>(index) < cpFrom_; }
    bool codeProtected() const { return cpFrom_ < model_->programWords; }
    void resetLatches();
    void holdStuck();

    int kind_;
    const Model* model_;
    Events& events_;
    Cells cells_;
    bool protected_ = false;
    int cpFrom_ = 0;          // newer families: the first protected program word
    bool cpd_ = false;        // newer families: data memory closed
    int revision_;
    int64_t now_ = 0;
    struct Stuck {
        int region = -1;  // none
        int index = 0;
        int32_t value = 0;
    } stuck_;

    // Pins as last seen.
    bool vdd_ = true;
    bool vpp_ = false;
    bool clock_ = false;
    int64_t lastEdge_ = 0;    // the last clock edge, or Vpp rising

    // Programming mode.
    Phase phase_ = Phase::Off;
    uint32_t pc_ = 0;
    unsigned bits_ = 0;       // bits taken in the current command or frame
    uint32_t shift_ = 0;      // those bits, first in bit 0
    unsigned loadCommand_ = 0;
    uint16_t outWord_ = 0;
    bool contention_ = false; // the PC held the line during this read frame
    bool drive_ = false;
    bool level_ = false;

    uint16_t programLatch_ = 0x3FFF;
    uint8_t dataLatch_ = 0xFF;
    Loaded lastLoad_ = Loaded::None;
    bool after1_ = false;
    bool chipEraseArmed_ = false;
    bool eraseProgramArmed_ = false;
    bool eraseDataArmed_ = false;

    // The newer families' latches, chosen by the counter's low bits.
    std::array<uint16_t, 8> latches_{};
    unsigned latchLoaded_ = 0;  // bit i: latch i loaded since the last cycle
    int64_t quietUntil_ = 0;    // after an end command: no clock edge before

    struct Cycle {
        bool active = false;
        int64_t start = 0;
        unsigned what = 0;
        uint32_t pc = 0;
        uint16_t value = 0;
        int64_t ns = 0;            // newer families: the least time
        bool external = false;     // waits for the end command
        bool timeKept = false;     // externally timed: the first edge came late enough
        bool programOnly = false;  // old AND new
        std::array<uint16_t, 8> latches{};
        unsigned loaded = 0;
    } cycle_;
};

}  // namespace boardsim
