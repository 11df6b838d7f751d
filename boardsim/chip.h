// A PIC16C84, PIC16F84, PIC16F84A or PIC16F83 as seen from its programming pins: the
// cells, and the programming-mode state machine that follows Vpp, the clock
// (RB6) and the data line (RB7) edge by edge.
//
// Where the chip's documents leave room, this chip behaves as follows:
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
#pragma once
#include <array>
#include <cstdint>

#include "boardsim.h"

namespace boardsim {

// Chip kinds; the numbers are those of the board's exports (0 = empty socket).
enum Kind {
    EMPTY = ZAVSIM_EMPTY,
    PIC16C84 = ZAVSIM_16C84,
    PIC16F84 = ZAVSIM_16F84,
    PIC16F83 = ZAVSIM_16F83,
    PIC16F84A = ZAVSIM_16F84A
};

// Word 0x2006: the 16F84A's device ID (0x0560 plus revision 1); the others
// have none and read 0x3FFF there.
uint16_t deviceId(int kind);

// Region numbers of the board's exports.
enum Region { PROGRAM = 0, ID = 1, CONFIG = 2, DATA = 3 };

// The chip's non-volatile contents. A 16F83 uses only the first 512 program
// words; the rest stay blank and are never reachable.
struct Cells {
    std::array<uint16_t, 1024> program;
    std::array<uint16_t, 4> id;
    uint16_t config;
    std::array<uint8_t, 64> data;
};

int programWords(int kind);         // 1024, or 512 on the 16F83
uint16_t storedConfig(int kind, int32_t value);  // the bits the chip keeps
bool protectedBy(int kind, uint16_t config);    // CP bits say protected
uint16_t withProtection(int kind, uint16_t config, bool on);
Cells blankCells(int kind);

// The levels the chip sees on its pins, and whether the PC holds the data
// line (then the chip cannot pull it).
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
    Chip(int kind, Events& events);

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

    bool isProtected() const { return protected_; }
    void setProtected(bool on);

    // Set whenever the cells or the protection change; the board clears it
    // once the chip file is written.
    bool dirty = false;

private:
    enum class Phase { Off, Command, LoadFrame, ReadFrame };
    enum What : unsigned { WRITE_WORD = 1, WRITE_BYTE = 2, ERASE_PROGRAM = 4, ERASE_DATA = 8, ERASE_CHIP = 16 };
    enum class Loaded { None, Program, Data };

    void event(int kind, int value) { events_.chipEvent(now_, kind, value); }
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

    int kind_;
    Events& events_;
    Cells cells_;
    bool protected_ = false;
    int64_t now_ = 0;

    // Pins as last seen.
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

    struct Cycle {
        bool active = false;
        int64_t start = 0;
        unsigned what = 0;
        uint32_t pc = 0;
        uint16_t value = 0;
    } cycle_;
};

}  // namespace boardsim
