// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated board and chip, driven through the program's own binding,
// line operations and protocol, and at the level of single port writes where
// a test needs traffic the program never sends.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/binding.h"
#include "core/detect.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "support/chipfacts.h"
#include "support/simboard.h"

namespace {

namespace fs = std::filesystem;

// The four export kinds the program needs, plus the few extras the file
// tests reach in a separately loaded copy of the board.
struct Port {
    int32_t (*inp)(int32_t);
    void (*out)(int32_t, int32_t);
    int32_t base = 0x278;
    int64_t step = 1000;  // virtual time before each change, as the lines keep

    // Control byte from pin levels, with the PC's inversions of bits 0, 1, 3.
    void pins(bool vpp, bool clock, bool data, bool pcDrives = true) {
        sim::advance(step);
        const int v = (clock ? 0 : 1) | (data ? 0 : 2) | (vpp ? 0 : 4) | (pcDrives ? 8 : 0);
        out(base + 2, v);
    }
    int pin11() { return (inp(base + 1) & 0x80) ? 0 : 1; }

    // Enter programming mode the way the chip asks: clock and data low, then Vpp.
    void enter() {
        pins(false, false, false);
        pins(true, false, false);
    }
    void leave() { pins(false, false, false); }
    // One bit, taken by the chip on the falling edge.
    void bit(int b) {
        pins(true, false, b);
        pins(true, true, b);
        pins(true, false, b);
        pins(true, false, false);
    }
    void command(int code) {
        for (int i = 0; i < 6; ++i) bit((code >> i) & 1);
    }
    void frame(int word) {
        bit(0);
        for (int i = 0; i < 14; ++i) bit((word >> i) & 1);
        bit(0);
    }
    // Sixteen periods with the line released; the bit is sampled after the
    // falling edge, as the program does.
    int receive() {
        int word = 0;
        for (int i = 0; i < 16; ++i) {
            pins(true, true, true, false);
            pins(true, false, true, false);
            if (i >= 1 && i <= 14) word |= pin11() << (i - 1);
        }
        return word;
    }
};

Port programPort() { return Port{&binding::zavINP, &binding::zavOUT}; }

std::vector<int> faults() {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 4) out.push_back(e.value);
    return out;
}

std::vector<int> written() {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 3) out.push_back(e.value);
    return out;
}

class BoardSim : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedBoard();
        s.portaddr = LPT2;
        startup(s);
        setdevice(s, 2);
        b().logClear();
        b().eventClear();
    }

    sim::Board& b() { return sim::board(); }
    int16_t readWord(uint8_t cmd) {
        sendcmd(s, cmd);
        return recvdata(s);
    }
    void increments(int n) {
        for (int i = 0; i < n; ++i) sendcmd(s, cmd::incaddr);
    }
    void toConfigSpace() {
        sendcmd(s, cmd::loadconfig);
        senddata(s, 0x3FFF);
    }

    State s;
};

// ---- the port and the board's wiring -------------------------------------

TEST_F(BoardSim, ReadBackNodeFollowsTheBoardTable) {
    allpinslow(s);
    EXPECT_EQ(datain(s), 0);
    EXPECT_EQ(binding::zavINP(0x279), static_cast<int8_t>(0xF8));  // pin 11 low, sign-extended
    vppon(s);
    clockup(s);
    dataup(s);
    EXPECT_EQ(datain(s), 0);  // driven high by the PC, yet the node reads low
    datareadable(s);
    dataup(s);
    EXPECT_EQ(datain(s), 1);
    EXPECT_EQ(binding::zavINP(0x279), 0x78);
    datawritable(s);
    dataup(s);
    EXPECT_EQ(datain(s), 0);
}

TEST_F(BoardSim, DetectionFindsTheBoardOnlyWhereItHangs) {
    EXPECT_EQ(detecthardware(s), 1);
    b().setChip(ZAVSIM_EMPTY);  // the test needs no chip
    EXPECT_EQ(detecthardware(s), 1);

    b().setBoard(0);
    b().logClear();
    EXPECT_EQ(detecthardware(s), 0);
    int reads = 0;
    for (const auto& a : sim::accesses()) {
        if (!a.is_read) continue;
        ++reads;
        EXPECT_EQ(a.value, 0x78);  // floating inputs: the first reading is already 1
    }
    EXPECT_EQ(reads, 1);

    b().setBoard(1);
    s.portaddr = LPT1;  // nothing answers there: an empty bus reads 0xFF
    EXPECT_EQ(detecthardware(s), 0);
    EXPECT_EQ(binding::zavINP(0x379), -1);
}

TEST_F(BoardSim, PortNumbersAndValuesKeepOnlyTheirLowBits) {
    binding::zavOUT(0x1027A, 0x10F);  // port 0x27A, value 0x0F
    binding::zavOUT(0x27A, 0x10B);    // 0x0B: Vpp on with clock and data low
    EXPECT_EQ(b().inProgrammingMode(), 1);
    binding::zavOUT(0x278, 0x55);
    EXPECT_EQ(binding::zavINP(0x278), 0x55);
    EXPECT_EQ(binding::zavINP(0x27A), 0x0B);
    EXPECT_EQ(binding::zavINP(0x300), -1);

    const auto log = sim::accesses();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].port, 0x27A);
    EXPECT_EQ(log[0].value, 0x0F);
    EXPECT_EQ(log[1].value, 0x0B);
    EXPECT_EQ(log[2].port, 0x278);
    EXPECT_EQ(log[2].is_read, 0);
    EXPECT_EQ(log[3].is_read, 1);
    EXPECT_EQ(log[5].port, 0x300);
    EXPECT_EQ(log[5].value, 0xFF);
    EXPECT_EQ(b().eventCount(), 0);
}

TEST_F(BoardSim, BaseAddressMovesTheBoard) {
    b().setBase(0x378);
    vppreset(s);  // still at 0x278: nothing there
    EXPECT_EQ(b().inProgrammingMode(), 0);
    s.portaddr = LPT1;
    vppreset(s);
    EXPECT_EQ(b().inProgrammingMode(), 1);
}

// ---- entering programming mode and decoding ------------------------------

TEST_F(BoardSim, EntryOnlyWithClockAndDataLow) {
    vppreset(s);
    EXPECT_EQ(b().inProgrammingMode(), 1);
    EXPECT_EQ(b().address(), 0);
    EXPECT_TRUE(faults().empty());

    Port p = programPort();
    p.leave();
    EXPECT_EQ(b().inProgrammingMode(), 0);
    p.pins(false, true, false);
    p.pins(true, true, false);  // Vpp rises with the clock high
    EXPECT_EQ(b().inProgrammingMode(), 0);
    p.pins(false, false, true);
    p.pins(true, false, true);  // with the data line high
    EXPECT_EQ(b().inProgrammingMode(), 0);
    EXPECT_EQ(faults(), (std::vector<int>{ZAVSIM_FAULT_BAD_ENTRY, ZAVSIM_FAULT_BAD_ENTRY}));

    // Clock edges without programming mode mean nothing to the chip.
    p.bit(1);
    p.bit(0);
    EXPECT_TRUE(sim::commands().empty());
}

TEST_F(BoardSim, CommandBitsAreTakenOnTheFallingEdge) {
    Port p = programPort();
    p.enter();
    // Data valid across the rising edge and dropped before the falling edge,
    // as a host would send for a chip that samples on the rising edge.
    auto risingEdgeBit = [&](int v) {
        p.pins(true, false, v);
        p.pins(true, true, v);
        p.pins(true, true, false);
        p.pins(true, false, false);
    };
    for (int i = 0; i < 6; ++i) risingEdgeBit((6 >> i) & 1);  // meant as "increment"
    EXPECT_EQ(sim::commands(), std::vector<int>{0});       // taken as "load configuration"

    p.leave();
    b().eventClear();
    vppreset(s);
    sendcmd(s, 6);
    sendcmd(s, 9);
    sendcmd(s, 0x3F + 0x40);  // only six bits go out
    EXPECT_EQ(sim::commands(), (std::vector<int>{6, 9, 0x3F}));
    EXPECT_EQ(faults(), std::vector<int>{ZAVSIM_FAULT_UNKNOWN_COMMAND});
    EXPECT_EQ(b().address(), 1);
}

TEST_F(BoardSim, ReadFramesArePresentedAfterTheRisingEdge) {
    b().write(0, 0, 0x2A55);
    Port p = programPort();
    p.enter();
    p.command(4);
    // Sample between the rising and the falling edge: the bit is already there.
    int word = 0;
    for (int i = 0; i < 16; ++i) {
        p.pins(true, true, true, false);
        const int bit = p.pin11();
        p.pins(true, false, true, false);
        if (i < 15) {
            EXPECT_EQ(p.pin11(), bit) << "period " << i;  // held past the falling edge
        }
        if (i == 0 || i == 15) {
            EXPECT_EQ(bit, 0);
        }
        if (i >= 1 && i <= 14) word |= bit << (i - 1);
    }
    EXPECT_EQ(word, 0x2A55);
    EXPECT_EQ(p.pin11(), 1);  // released after the frame, pulled high

    // A host that keeps driving the line reads the node low and the chip
    // cannot pull it: the frame is reported.
    b().eventClear();
    p.command(4);
    for (int i = 0; i < 16; ++i) {
        p.pins(true, true, false, true);
        EXPECT_EQ(p.pin11(), 0);
        p.pins(true, false, false, true);
    }
    EXPECT_EQ(faults(), std::vector<int>{ZAVSIM_FAULT_BAD_FRAME});
}

// ---- programming and reading both memories -------------------------------

TEST_F(BoardSim, ProgramAndReadBackBothMemories) {
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x1234);
    EXPECT_EQ(readWord(cmd::readprog), 0x1234);
    sendcmd(s, cmd::incaddr);
    progcycle(s, cmd::loadprog, static_cast<int16_t>(0x7FFF));  // bit 14 is not sent
    EXPECT_EQ(readWord(cmd::readprog), 0x3FFF);
    EXPECT_EQ(b().read(0, 0), 0x1234);
    EXPECT_EQ(b().read(0, 1), 0x3FFF);

    vppreset(s);
    increments(2);
    progcycle(s, cmd::loaddata, 0x1A5);  // the data latch keeps the low byte
    EXPECT_EQ(readWord(cmd::readdata), 0xA5);
    EXPECT_EQ(b().read(3, 2), 0xA5);
    EXPECT_EQ(b().read(0, 2), 0x3FFF);  // program memory untouched
    EXPECT_EQ(written(), (std::vector<int>{0, 1, 0x2102}));
    EXPECT_EQ(b().timingFaults(), 0);

    // What the chip understood of one programmed word, in order.
    b().eventClear();
    sendcmd(s, cmd::incaddr);
    progcycle(s, cmd::loaddata, 0x3C);
    readWord(cmd::readdata);
    std::vector<std::pair<int, int>> seen;
    for (const auto& e : sim::chipEvents()) seen.emplace_back(e.kind, e.value);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{
                        {0, 6}, {0, 3}, {1, 0x3C}, {0, 8}, {3, 0x2103}, {0, 5}, {2, 0x3C}}));
}

TEST_F(BoardSim, AWholeProgramMemoryLandsWordForWord) {
    vppreset(s);
    for (int i = 0; i < 1024; ++i) {
        progcycle(s, cmd::loadprog, static_cast<int16_t>((i * 37) & 0x3FFF));
        sendcmd(s, cmd::incaddr);
    }
    allpinslow(s);
    int wrong = 0;
    for (int i = 0; i < 1024; ++i) wrong += b().read(0, i) != ((i * 37) & 0x3FFF);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(b().timingFaults(), 0);
}

TEST_F(BoardSim, CountersWrapPastTheImplementedMemory) {
    // Word 1024 of a 16F84 is word 0: programming it overwrites word 0, and
    // its read-back passes.
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x0111);
    increments(1024);
    EXPECT_EQ(readWord(cmd::readprog), 0x0111);
    progcycle(s, cmd::loadprog, 0x0222);
    EXPECT_EQ(b().read(0, 0), 0x0222);

    b().setChip(ZAVSIM_16F83);
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x0333);
    increments(512);
    EXPECT_EQ(readWord(cmd::readprog), 0x0333);
    EXPECT_EQ(b().read(0, 511), 0x3FFF);
    EXPECT_EQ(b().read(0, 512), -1);

    vppreset(s);
    progcycle(s, cmd::loaddata, 0x42);
    increments(64);
    EXPECT_EQ(readWord(cmd::readdata), 0x42);
    progcycle(s, cmd::loaddata, 0x24);
    EXPECT_EQ(b().read(3, 0), 0x24);
}

TEST_F(BoardSim, ConfigurationSpace) {
    vppreset(s);
    toConfigSpace();
    EXPECT_EQ(b().address(), 0x2000);
    for (int i = 0; i < 8; ++i) {
        progcycle(s, cmd::loadprog, static_cast<int16_t>(0x100 + i));
        sendcmd(s, cmd::incaddr);
    }
    EXPECT_EQ(b().read(1, 0), 0x100);
    EXPECT_EQ(b().read(1, 3), 0x103);
    EXPECT_EQ(b().read(2, 0), 0x107);
    EXPECT_EQ(written(), (std::vector<int>{0x2000, 0x2001, 0x2002, 0x2003, 0x2007}));

    // Reserved words read 0x3FFF; the space repeats every 16 words and the
    // counter never leaves it.
    vppreset(s);
    toConfigSpace();
    std::vector<int> words;
    for (int i = 0; i < 17; ++i) {
        words.push_back(readWord(cmd::readprog));
        sendcmd(s, cmd::incaddr);
    }
    EXPECT_EQ(words, (std::vector<int>{0x100, 0x101, 0x102, 0x103, 0x3FFF, 0x3FFF, 0x3FFF, 0x107,
                                       0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF,
                                       0x3FFF, 0x100}));
    increments(0x2000);
    EXPECT_GE(b().address(), 0x2000);
    vppreset(s);
    EXPECT_EQ(b().address(), 0);
}

TEST_F(BoardSim, The16C84KeepsFiveConfigurationBits) {
    b().setChip(ZAVSIM_16C84);
    EXPECT_EQ(b().read(2, 0), 0x3FFF);
    vppreset(s);
    toConfigSpace();
    increments(7);
    progcycle(s, cmd::loadprog, 0x0A);
    EXPECT_EQ(readWord(cmd::readprog), 0x3FEA);
    EXPECT_EQ(b().isProtected(), 0);  // bit 4 is 0: protected from the next entry on
    vppreset(s);
    EXPECT_EQ(b().isProtected(), 1);
}

// ---- timing --------------------------------------------------------------

TEST_F(BoardSim, AProgrammingCycleCutShortWritesNothing) {
    vppreset(s);
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x1234);
    sendcmd(s, cmd::beginprog);
    platform::waits().sleepMs(6);  // a millisecond short
    sendcmd(s, cmd::incaddr);
    EXPECT_EQ(b().timingFaults(), 1);
    EXPECT_EQ(faults(), std::vector<int>{ZAVSIM_FAULT_TIMING});
    EXPECT_EQ(b().read(0, 0), 0x3FFF);

    // Vpp taken away before the cycle ends.
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x2345);
    sendcmd(s, cmd::beginprog);
    allpinslow(s);
    EXPECT_EQ(b().timingFaults(), 2);
    EXPECT_EQ(b().read(0, 1), 0x3FFF);
    EXPECT_TRUE(written().empty());

    // The full wait: written, even when nothing follows.
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x0345);
    EXPECT_EQ(b().read(0, 0), 0x0345);
    EXPECT_EQ(b().timingFaults(), 2);
}

TEST_F(BoardSim, ClockPhasesUnderOneMicrosecondAreFaultsInProgrammingMode) {
    Port p = programPort();
    p.step = 0;
    p.pins(false, true, false);  // outside programming mode no edge is timed
    p.pins(false, false, false);
    p.step = 1000;
    p.enter();
    p.command(6);  // every phase exactly 1 µs
    EXPECT_EQ(b().phaseFaults(), 0);
    p.step = 999;
    p.command(6);  // the data change lengthens only the low phases
    EXPECT_EQ(b().phaseFaults(), 6);
    EXPECT_EQ(sim::commands(), (std::vector<int>{6, 6}));  // the edges still count
    EXPECT_EQ(faults(), std::vector<int>(6, ZAVSIM_FAULT_SHORT_PHASE));

    // The first edge after Vpp rose is timed from the rise.
    p.leave();
    p.enter();
    p.step = 400;
    p.bit(0);
    EXPECT_EQ(b().phaseFaults(), 8);
    EXPECT_EQ(b().timingFaults(), 0);
}

TEST_F(BoardSim, OneProgrammingCycleOnRealTime) {
    sim::useRealTime();
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x2BCD);
    EXPECT_EQ(readWord(cmd::readprog), 0x2BCD);
    allpinslow(s);
    EXPECT_EQ(b().timingFaults(), 0);
    EXPECT_EQ(b().phaseFaults(), 0);
}

// ---- code protection and erasing -----------------------------------------

TEST_F(BoardSim, ProtectionTakesEffectAtTheNextEntry) {
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x1111);
    progcycle(s, cmd::loaddata, 0x22);
    toConfigSpace();
    progcycle(s, cmd::loadprog, 0x0ABC);  // ID word 0
    increments(7);
    progcycle(s, cmd::loadprog, 0x000F);  // every CP bit cleared
    EXPECT_EQ(b().isProtected(), 0);
    EXPECT_EQ(readWord(cmd::readdata), 0xFF);  // byte 7, still open in this session
    vppreset(s);
    EXPECT_EQ(b().isProtected(), 1);
    EXPECT_EQ(readWord(cmd::readprog), 0);
    EXPECT_EQ(readWord(cmd::readdata), 0);
    toConfigSpace();
    EXPECT_EQ(readWord(cmd::readprog), 0x0ABC);  // ID and configuration stay readable
    increments(7);
    EXPECT_EQ(readWord(cmd::readprog), 0x000F);
}

TEST_F(BoardSim, AProtectedChipRefusesWrites) {
    b().write(2, 0, 0x3FF3);
    b().setProtected(1);
    EXPECT_EQ(b().read(2, 0), 0x0003);
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x1234);
    progcycle(s, cmd::loaddata, 0x12);
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x0000);
    sendcmd(s, cmd::eraseprog);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    toConfigSpace();
    progcycle(s, cmd::loadprog, 0x0001);
    increments(7);
    progcycle(s, cmd::loadprog, 0x3FFF);  // cannot lift the protection
    vppreset(s);
    EXPECT_EQ(b().isProtected(), 1);
    EXPECT_TRUE(written().empty());
    EXPECT_EQ(b().read(0, 0), 0x3FFF);
    EXPECT_EQ(b().read(1, 0), 0x3FFF);
    EXPECT_EQ(b().timingFaults(), 0);
}

TEST_F(BoardSim, TheProtectionSequenceErasesEverything) {
    b().write(0, 5, 0x0123);
    b().write(1, 2, 0x0456);
    b().write(3, 7, 0x78);
    b().setProtected(1);
    vppreset(s);

    // Six increments leave the counter short of the configuration word.
    toConfigSpace();
    increments(6);
    sendcmd(s, 1);
    sendcmd(s, 7);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    EXPECT_EQ(b().isProtected(), 1);
    EXPECT_EQ(b().read(0, 5), 0x0123);

    vppreset(s);
    toConfigSpace();
    increments(7);
    sendcmd(s, 1);
    sendcmd(s, 7);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    sendcmd(s, 1);
    sendcmd(s, 7);
    EXPECT_EQ(b().isProtected(), 0);
    EXPECT_EQ(written(), std::vector<int>{ZAVSIM_ERASED_CHIP});
    EXPECT_EQ(b().read(0, 5), 0x3FFF);
    EXPECT_EQ(b().read(1, 2), 0x3FFF);
    EXPECT_EQ(b().read(2, 0), 0x3FFF);
    EXPECT_EQ(b().read(3, 7), 0xFF);
    // Open at once: the same session can program again.
    progcycle(s, cmd::loadprog, 0x3FF2);  // the counter is still at 0x2007
    EXPECT_EQ(readWord(cmd::readprog), 0x3FF2);
    EXPECT_EQ(b().read(2, 0), 0x3FF2);
    EXPECT_EQ(b().timingFaults(), 0);
}

TEST_F(BoardSim, BulkErasesTakeNoDataFrameOfTheirOwn) {
    for (int i = 0; i < 1024; ++i) b().write(0, i, i);
    for (int i = 0; i < 64; ++i) b().write(3, i, i);
    vppreset(s);

    // The old framing: 9 followed by a data frame and 8. The frame's bits
    // become commands of their own and the 8 is swallowed.
    progcycle(s, cmd::eraseprog, 0x3FFF);
    EXPECT_EQ(sim::commands(), (std::vector<int>{9, 62, 63, 7}));
    EXPECT_EQ(faults(), (std::vector<int>{ZAVSIM_FAULT_UNKNOWN_COMMAND, ZAVSIM_FAULT_UNKNOWN_COMMAND}));
    EXPECT_EQ(b().read(0, 100), 100);
    allpinslow(s);  // four bits still pending
    EXPECT_EQ(faults().back(), ZAVSIM_FAULT_BAD_FRAME);

    // Load, then the bare erase command, then begin programming.
    vppreset(s);
    b().eventClear();
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x3FFF);
    sendcmd(s, cmd::eraseprog);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    sendcmd(s, cmd::loaddata);
    senddata(s, 0x3FFF);
    sendcmd(s, cmd::erasedata);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    EXPECT_EQ(written(), (std::vector<int>{ZAVSIM_ERASED_PROGRAM, ZAVSIM_ERASED_DATA}));
    EXPECT_TRUE(faults().empty());
    int notblank = 0;
    for (int i = 0; i < 1024; ++i) notblank += b().read(0, i) != 0x3FFF;
    for (int i = 0; i < 64; ++i) notblank += b().read(3, i) != 0xFF;
    EXPECT_EQ(notblank, 0);

    // The erase writes the word last loaded.
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x0007);
    sendcmd(s, cmd::eraseprog);
    sendcmd(s, cmd::beginprog);
    delaymilli(s, 20);
    EXPECT_EQ(b().read(0, 1023), 0x0007);
}

// ---- the socket and the environment --------------------------------------

TEST_F(BoardSim, AnEmptySocketReadsOnes) {
    b().setChip(ZAVSIM_EMPTY);
    vppreset(s);
    EXPECT_EQ(b().inProgrammingMode(), 0);
    progcycle(s, cmd::loadprog, 0);
    EXPECT_EQ(readWord(cmd::readprog), 0x3FFF);
    EXPECT_EQ(readWord(cmd::readdata), 0x3FFF);
    EXPECT_EQ(b().read(0, 0), -1);
    EXPECT_EQ(b().eventCount(), 0);
}

class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar() {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST_F(BoardSim, ResetFollowsTheEnvironment) {
    {
        EnvVar chip("QUIBB9X_SIM_CHIP", "16f83");
        EnvVar port("QUIBB9X_SIM_PORT", "888");  // decimal 0x378
        EnvVar prot("QUIBB9X_SIM_PROTECTED", "1");
        b().reset();
        EXPECT_EQ(b().read(0, 512), -1);
        EXPECT_EQ(b().isProtected(), 1);
        EXPECT_EQ(b().read(2, 0), 0x000F);
        s.portaddr = LPT1;
        vppreset(s);
        EXPECT_EQ(b().inProgrammingMode(), 1);
    }
    {
        EnvVar chip("QUIBB9X_SIM_CHIP", "none");
        EnvVar board("QUIBB9X_SIM_BOARD", "none");
        EnvVar port("QUIBB9X_SIM_PORT", "0x378");
        b().reset();
        EXPECT_EQ(b().read(2, 0), -1);
        EXPECT_EQ(detecthardware(s), 0);
        EXPECT_EQ(b().logSize(), 3);
        EXPECT_EQ(binding::zavINP(0x379), 0x78);
    }
    b().write(0, 0, 0);
    b().reset();  // the environment as it was: a blank 16F84 at 0x278
    EXPECT_EQ(b().read(0, 0), 0x3FFF);
    EXPECT_EQ(b().read(0, 1023), 0x3FFF);
    EXPECT_EQ(b().isProtected(), 0);
    EXPECT_EQ(b().logSize(), 0);
}

// ---- the chip file, in copies of the board loaded afresh -----------------

// A copy of the library is a separate board with its own chip, reading the
// environment and the chip file at its first call.
class FreshBoard {
public:
    explicit FreshBoard(const fs::path& dir) {
        static int n = 0;
        copy_ = dir / ("board" + std::to_string(++n) + ".so");
        fs::copy_file(SIMLIB_PATH, copy_, fs::copy_options::overwrite_existing);
        handle_ = dlopen(copy_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) throw std::runtime_error(dlerror());
        port.inp = reinterpret_cast<int32_t (*)(int32_t)>(dlsym(handle_, "zavINP"));
        port.out = reinterpret_cast<void (*)(int32_t, int32_t)>(dlsym(handle_, "zavOUT"));
        read = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(dlsym(handle_, "zavsimRead"));
        write = reinterpret_cast<void (*)(int32_t, int32_t, int32_t)>(dlsym(handle_, "zavsimWrite"));
        isProtected = reinterpret_cast<int32_t (*)()>(dlsym(handle_, "zavsimProtected"));
        save = reinterpret_cast<void (*)()>(dlsym(handle_, "zavsimSave"));
        chipFile = reinterpret_cast<int32_t (*)(char*, int32_t)>(dlsym(handle_, "zavsimChipFile"));
    }
    // Where the chip is kept: 0 nowhere, 1 its file, 2 a copy; and the path.
    std::pair<int, std::string> kept() const {
        char path[512];
        const int use = chipFile(path, sizeof path);
        return {use, path};
    }
    ~FreshBoard() {
        dlclose(handle_);  // the board's destructor writes the file as at exit
        fs::remove(copy_);
    }
    // Program one word at the counter after entering; leave programming mode.
    void program(int loadcmd, int increments, int word) {
        port.enter();
        for (int i = 0; i < increments; ++i) port.command(6);
        port.command(loadcmd);
        port.frame(word);
        port.command(8);
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
        port.leave();
    }

    Port port{};
    int32_t (*read)(int32_t, int32_t) = nullptr;
    void (*write)(int32_t, int32_t, int32_t) = nullptr;
    int32_t (*isProtected)() = nullptr;
    void (*save)() = nullptr;
    int32_t (*chipFile)(char*, int32_t) = nullptr;

private:
    fs::path copy_;
    void* handle_ = nullptr;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ChipFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("boardsim-" + std::to_string(getpid()));
        fs::create_directories(dir);
        file = dir / "chip.txt";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir, file;
};

TEST_F(ChipFile, KeepsTheChipBetweenRunsEvenWhenKilled) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    EnvVar c("QUIBB9X_SIM_CHIP", "16F83");
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        FreshBoard board(dir);
        board.program(2, 3, 0x1234);  // program word 3
        board.program(3, 5, 0xA5);    // data byte 5
        kill(getpid(), SIGKILL);      // no destructor runs
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string text = slurp(file);
    const std::string head = "quibb9x simulated chip, format 1\nchip PIC16F83\nprotected 0\nprogram 512\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.find("program 512\n") + 12, 20), "3FFF 3FFF 3FFF 1234 ");
    EXPECT_NE(text.find("config 1\n3FFF\ndata 64\nFF FF FF FF FF A5 FF"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "end\n");
    EXPECT_FALSE(fs::exists(dir / ("chip.txt.tmp" + std::to_string(child))));

    FreshBoard again(dir);
    EXPECT_EQ(again.read(0, 3), 0x1234);
    EXPECT_EQ(again.read(3, 5), 0xA5);
    EXPECT_EQ(again.read(0, 0), 0x3FFF);
}

TEST_F(ChipFile, WrittenAtExitAndProtectionKept) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    EnvVar c("QUIBB9X_SIM_CHIP", "16C84");
    {
        FreshBoard board(dir);
        board.write(0, 1000, 0x0BAD);
        board.program(2, 0, 0x0001);
        board.write(2, 0, 0x3FEF);  // CP on
        EXPECT_EQ(board.isProtected(), 0);
        board.port.enter();  // protection latched here
        board.port.leave();
        EXPECT_EQ(board.isProtected(), 1);
        board.write(1, 3, 0x0777);  // after the last save: written at exit
    }
    FreshBoard again(dir);
    EXPECT_EQ(again.isProtected(), 1);
    EXPECT_EQ(again.read(0, 1000), 0x0BAD);
    EXPECT_EQ(again.read(0, 0), 0x0001);
    EXPECT_EQ(again.read(1, 3), 0x0777);
    EXPECT_EQ(again.read(2, 0), 0x3FEF);
}

TEST_F(ChipFile, AnUnusableFileGivesABlankChipAndIsKept) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    EnvVar c("QUIBB9X_SIM_CHIP", "16F84");
    const std::string damaged = "quibb9x simulated chip, format 1\nchip PIC16F84\nprotected 0\nprogram 1024\n3FFF 12G4\n";
    std::ofstream(file) << damaged;
    {
        testing::internal::CaptureStderr();
        FreshBoard board(dir);
        EXPECT_EQ(board.read(0, 0), 0x3FFF);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("line 5: '12G4' is not a valid value"), std::string::npos) << said;
        EXPECT_NE(said.find("blank chip"), std::string::npos);
        board.program(2, 0, 0x0055);
    }
    EXPECT_EQ(slurp(dir / "chip.txt.bad"), damaged);
    {
        FreshBoard board(dir);
        EXPECT_EQ(board.read(0, 0), 0x0055);
    }
    // A file for another kind of chip.
    EnvVar other("QUIBB9X_SIM_CHIP", "16F83");
    testing::internal::CaptureStderr();
    FreshBoard board(dir);
    EXPECT_EQ(board.read(0, 0), 0x3FFF);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("it holds a PIC16F84, the socket a PIC16F83"),
              std::string::npos);
}

// A chip file above 1 MiB is refused without being read; the
// copy written before the rename is the board's own, never a link planted
// at a name it might use.
TEST_F(ChipFile, BoundedReadAndExclusiveCopy) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    EnvVar c("QUIBB9X_SIM_CHIP", "16F84");
    std::ofstream(file) << std::string((1 << 20) + 1, ' ');
    testing::internal::CaptureStderr();
    {
        FreshBoard board(dir);
        EXPECT_EQ(board.read(0, 0), 0x3FFF);
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("chip.txt: larger than 1 MiB; starting with a blank chip"),
              std::string::npos);

    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path victim = dir / "victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, dir / ("chip.txt.tmp" + std::to_string(getpid())));
    {
        FreshBoard board(dir);
        board.program(2, 0, 0x0055);
    }
    EXPECT_EQ(slurp(victim), "precious");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>({"chip.txt", "chip.txt.lock",
                                               "chip.txt.tmp" + std::to_string(getpid()), "victim"}));
    FreshBoard again(dir);
    EXPECT_EQ(again.read(0, 0), 0x0055);
}

// Unset QUIBB9X_SIM_FILE and a folder given: one file for each kind of chip,
// so changing the kind in the socket loses none. Older shared files move to
// their chip's own file, unless that exists already.
TEST_F(ChipFile, OneFileForEachKindOfChipInTheFolder) {
    EnvVar f("QUIBB9X_SIM_FILE", nullptr);
    EnvVar d("QUIBB9X_SIM_DIR", dir.c_str());
    {
        EnvVar c("QUIBB9X_SIM_CHIP", "16F84");
        FreshBoard board(dir);
        board.program(2, 3, 0x1234);
        EXPECT_EQ(board.kept(), std::make_pair(1, (dir / "simulated-PIC16F84.txt").string()));
    }
    {
        EnvVar c("QUIBB9X_SIM_CHIP", "16F83");
        FreshBoard board(dir);
        EXPECT_EQ(board.read(0, 3), 0x3FFF);
        board.program(2, 3, 0x0555);
    }
    // The older files: a 16F84 whose own file exists stays; a 16C84 moves.
    const std::string c84 = slurp(dir / "simulated-PIC16F84.txt");
    std::string older = c84;
    older.replace(older.find("chip PIC16F84"), 13, "chip PIC16C84");
    std::ofstream(dir / "simulated-chip.txt") << c84;
    std::ofstream(dir / "simulated-chip.txt.bad") << older;
    testing::internal::CaptureStderr();
    {
        EnvVar c("QUIBB9X_SIM_CHIP", "16F84");
        FreshBoard board(dir);
        EXPECT_EQ(board.read(0, 3), 0x1234);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zavbit2sim: " + (dir / "simulated-chip.txt").string() + " holds a PIC16F84, but " +
                  (dir / "simulated-PIC16F84.txt").string() +
                  " exists already: the older file is left as it is; remove it, or keep it under another name\n"
                  "zavbit2sim: the PIC16C84 in " + (dir / "simulated-chip.txt.bad").string() + " is kept in " +
                  (dir / "simulated-PIC16C84.txt").string() + " from now on (one file for each kind of chip)\n");
    EXPECT_EQ(slurp(dir / "simulated-PIC16C84.txt"), older);
    EXPECT_EQ(slurp(dir / "simulated-chip.txt"), c84);
    EXPECT_FALSE(fs::exists(dir / "simulated-chip.txt.bad"));
    EnvVar c("QUIBB9X_SIM_CHIP", "16F83");
    FreshBoard board(dir);
    EXPECT_EQ(board.read(0, 3), 0x0555);
}

// One file named for every kind: a chip of another kind in it is set aside
// under that kind's name, and never over an earlier one.
TEST_F(ChipFile, AChipOfAnotherKindIsSetAsideUnderItsNameNeverOverAnother) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    for (const char* kind : {"16F84", "16F83", "16F84", "16F83"}) {
        EnvVar c("QUIBB9X_SIM_CHIP", kind);
        testing::internal::CaptureStderr();
        FreshBoard board(dir);
        board.program(2, 0, kind[4] == '4' ? 0x0084 : 0x0083);
        testing::internal::GetCapturedStderr();
    }
    const auto word0 = [](const fs::path& p) {
        const std::string text = slurp(p);
        return text.substr(text.find('\n', text.find("program ")) + 1, 4);
    };
    EXPECT_EQ(word0(dir / "chip.txt.PIC16F84"), "0084");
    EXPECT_EQ(word0(dir / "chip.txt.PIC16F83"), "0083");
    EXPECT_EQ(word0(dir / "chip.txt.PIC16F84.1"), "0084");
    EXPECT_NE(slurp(file).find("chip PIC16F83"), std::string::npos);
}

// A second run on a chip file in use waits for the first to end, or, asked
// to (the window), works on a copy of the chip as last saved, keeps nothing
// and says so.
TEST_F(ChipFile, ASecondRunTakesACopyWhenAskedAndKeepsNothing) {
    EnvVar f("QUIBB9X_SIM_FILE", file.c_str());
    EnvVar c("QUIBB9X_SIM_CHIP", "16F84");
    FreshBoard first(dir);
    first.program(2, 0, 0x0111);
    {
        EnvVar shared("QUIBB9X_SIM_SHARED", "copy");
        testing::internal::CaptureStderr();
        FreshBoard second(dir);
        EXPECT_EQ(second.read(0, 0), 0x0111);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "zavbit2sim: another run is using the simulated chip in " + file.string() +
                      "; this run works on a copy of it that is not kept\n");
        EXPECT_EQ(second.kept(), std::make_pair(2, file.string()));
        second.program(2, 1, 0x0222);
        second.save();
    }
    EXPECT_EQ(slurp(file).substr(slurp(file).find("program 1024\n") + 13, 9), "0111 3FFF");
    EXPECT_EQ(first.kept(), std::make_pair(1, file.string()));
}

}  // namespace
