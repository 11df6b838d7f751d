// SPDX-License-Identifier: GPL-2.0-or-later
// The serial protocol: the exact control bytes of bits and frames, what the
// simulated chip decodes from them, and words programmed and read back end to
// end through the real dlopen binding.
#include <gtest/gtest.h>

#include <functional>

#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "support/chipfacts.h"
#include "support/portlog.h"
#include "support/simboard.h"

namespace {

constexpr int base = 0x278;
constexpr int control = base + 2;
constexpr int program = 0, datamemory = 3;  // the board's region numbers

std::vector<int> repeat(int value, int times) { return std::vector<int>(times, value); }
std::vector<int> join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class Protocol : public ::testing::Test {
protected:
    State s;
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setBase(base);
        sim::board().setChip(ZAVSIM_16F84);
        startup(s);
        setdevice(s, 2);
        s.portaddr = base;
        vppreset(s);
        clear();
    }
    void chip(int kind) {
        allpinslow(s);
        sim::board().setChip(kind);
        vppreset(s);
        clear();
    }
    void clear() {
        sim::board().logClear();
        sim::board().eventClear();
        sim::clearWaits();
    }
    std::vector<int> controls() { return portlog::bytesto(control); }
    // The data bits of the frame(s) just sent, as the chip would take them.
    std::vector<int> sentbits() { return portlog::bitsonfallingedges(controls(), 0x0B); }
    int16_t readprog() {
        sendcmd(s, cmd::readprog);
        return recvdata(s);
    }
    int16_t readdata() {
        sendcmd(s, cmd::readdata);
        return recvdata(s);
    }
    void increments(int n) {
        for (int i = 0; i < n; ++i) sendcmd(s, cmd::incaddr);
    }
};

}  // namespace

TEST_F(Protocol, SendbitWritesFourControlBytesAndOnlyOneSendsAOne) {
    sendbit(s, 1);
    EXPECT_EQ(controls(), (std::vector<int>{0x09, 0x08, 0x09, 0x0B}));
    for (int16_t b : {0, 2, -1}) {
        SCOPED_TRACE(b);
        clear();
        sendbit(s, b);
        EXPECT_EQ(controls(), (std::vector<int>{0x0B, 0x0A, 0x0B, 0x0B}));
        EXPECT_EQ(sim::holds(), 2);
    }
}

TEST_F(Protocol, CommandsGoOutLeastSignificantBitFirstInSixPeriods) {
    sendcmd(s, 6);
    EXPECT_EQ(controls().front(), 0x0B);  // takes the line first
    EXPECT_EQ(sentbits(), (std::vector<int>{0, 1, 1, 0, 0, 0}));
    clear();
    sendcmd(s, 9);
    EXPECT_EQ(sentbits(), (std::vector<int>{1, 0, 0, 1, 0, 0}));
    clear();
    sendcmd(s, 0xC9);  // bits 6 and 7 are not sent
    EXPECT_EQ(sentbits(), (std::vector<int>{1, 0, 0, 1, 0, 0}));
    EXPECT_EQ(sim::commands(), (std::vector<int>{9}));
    EXPECT_EQ(sim::board().timingFaults(), 0);
}

TEST_F(Protocol, DataFramesCarryFourteenBitsBetweenTwoZeros) {
    // Each frame follows a load command, so the chip takes it as data.
    std::vector<int> received;
    const auto frame = [&](int16_t word) {
        sendcmd(s, cmd::loadprog);
        clear();
        senddata(s, word);
        for (const auto& e : sim::chipEvents())
            if (e.kind == 1) received.push_back(e.value);
        return sentbits();
    };
    const std::vector<int> ones = join({{0}, repeat(1, 14), {0}});
    EXPECT_EQ(frame(0x3FFF), ones);
    EXPECT_EQ(frame(0x1B), join({{0, 1, 1, 0, 1, 1}, repeat(0, 9), {0}}));
    EXPECT_EQ(frame(0x7FFF), ones);
    EXPECT_EQ(frame(static_cast<int16_t>(0xFFFF)), ones);
    EXPECT_EQ(received, (std::vector<int>{0x3FFF, 0x1B, 0x3FFF, 0x3FFF}));

    // The caller's word goes out the same every time.
    const int16_t word = configdefault(s);
    const auto first = frame(word);
    EXPECT_EQ(frame(word), first);
    EXPECT_EQ(configdefault(s), 0x3FF3);
    EXPECT_EQ(received.back(), 0x3FF3);
}

TEST_F(Protocol, RecvdataReleasesTheLineAndClocksSixteenPeriods) {
    sendcmd(s, cmd::readprog);
    clear();
    EXPECT_EQ(recvdata(s), 0x3FFF);  // a blank chip
    std::vector<int> expected = {0x01};
    for (int i = 0; i < 16; ++i) expected.insert(expected.end(), {0x00, 0x01});
    EXPECT_EQ(controls(), expected);
    // One status read after every falling edge.
    int reads = 0;
    int lastcontrol = -1;
    for (const auto& a : sim::accesses()) {
        if (a.is_read) {
            EXPECT_EQ(a.port, base + 1);
            EXPECT_EQ(lastcontrol, 0x01);
            ++reads;
        } else {
            lastcontrol = a.value;
        }
    }
    EXPECT_EQ(reads, 16);

    clear();
    sendcmd(s, cmd::incaddr);
    EXPECT_EQ(controls().front(), 0x0B);  // the next command takes the line back

    // No board on the port: the busy input floats high, every bit reads 1.
    sim::board().setBoard(0);
    EXPECT_EQ(recvdata(s), 0x3FFF);
    // No port at all at the address: the bus reads 0xFF, every bit 0.
    s.portaddr = 0x3BC;
    EXPECT_EQ(recvdata(s), 0);
}

TEST_F(Protocol, ProgcycleLoadsBeginsAndWaitsSevenMilliseconds) {
    const int16_t word = 0x2ABC;
    progcycle(s, cmd::loadprog, word);
    EXPECT_EQ(word, 0x2ABC);
    EXPECT_EQ(sim::commands(), (std::vector<int>{2, 8}));
    EXPECT_EQ(sim::sleeps(), (std::vector<int>{7}));
    EXPECT_EQ(sim::board().read(program, 0), 0x2ABC);
    EXPECT_EQ(sim::board().timingFaults(), 0);
}

TEST_F(Protocol, WordsProgrammedReadBackInBothMemories) {
    const std::vector<int16_t> words = {0x0000, 0x3FFF, 0x1234, 0x2AAA, 0x1555, 0x0001, 0x2000};
    for (int16_t w : words) {
        progcycle(s, cmd::loadprog, w);
        EXPECT_EQ(readprog(), w);
        increments(1);
    }
    const std::vector<int16_t> bytes = {0x00, 0xFF, 0xA5, 0x5A, 0x01, 0x80};
    vppreset(s);
    for (int16_t b : bytes) {
        progcycle(s, cmd::loaddata, b);
        EXPECT_EQ(readdata() & 0xFF, b);
        increments(1);
    }
    // Again from a fresh entry, and in the chip itself.
    allpinslow(s);
    vppreset(s);
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(sim::board().read(program, static_cast<int>(i)), words[i]);
        EXPECT_EQ(readprog(), words[i]);
        increments(1);
    }
    vppreset(s);
    for (size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(sim::board().read(datamemory, static_cast<int>(i)), bytes[i]);
        EXPECT_EQ(readdata() & 0xFF, bytes[i]);
        increments(1);
    }
    EXPECT_EQ(sim::board().read(program, static_cast<int>(words.size())), 0x3FFF);
    EXPECT_EQ(sim::board().timingFaults(), 0);
}

TEST_F(Protocol, TheAddressCounterWrapsPastTheImplementedMemory) {
    struct Case {
        int kind, words;
    };
    for (const Case c : {Case{ZAVSIM_16F84, 1024}, Case{ZAVSIM_16F83, 512}, Case{ZAVSIM_16C84, 1024}}) {
        SCOPED_TRACE(c.kind);
        chip(c.kind);
        progcycle(s, cmd::loadprog, 0x0123);
        increments(c.words - 1);
        EXPECT_EQ(readprog(), 0x3FFF);  // the last word, still blank
        increments(1);
        EXPECT_EQ(readprog(), 0x0123);  // word 0 again
    }
    chip(ZAVSIM_16F84);
    progcycle(s, cmd::loaddata, 0x42);
    increments(64);
    EXPECT_EQ(readdata() & 0xFF, 0x42);
}

TEST_F(Protocol, AProtectedChipReadsZerosAndKeepsItsWords) {
    allpinslow(s);
    sim::board().write(program, 0, 0x1234);
    sim::board().write(datamemory, 0, 0x55);
    sim::board().setProtected(1);
    vppreset(s);
    EXPECT_EQ(readprog(), 0);
    EXPECT_EQ(readdata(), 0);
    progcycle(s, cmd::loadprog, 0x0ABC);
    progcycle(s, cmd::loaddata, 0xAA);
    EXPECT_EQ(sim::board().read(program, 0), 0x1234);
    EXPECT_EQ(sim::board().read(datamemory, 0), 0x55);
}

TEST_F(Protocol, ACommandBeforeTheCycleEndsIsCaughtAndTheWordIsLost) {
    sendcmd(s, cmd::loadprog);
    senddata(s, 0x0ABC);
    sendcmd(s, cmd::beginprog);
    sendcmd(s, cmd::incaddr);  // no 7 ms wait
    EXPECT_EQ(sim::board().timingFaults(), 1);
    EXPECT_EQ(sim::board().read(program, 0), 0x3FFF);

    const int at = sim::board().address();
    progcycle(s, cmd::loadprog, 0x0DEF);  // waited for properly this time
    EXPECT_EQ(sim::board().read(program, at), 0x0DEF);
    EXPECT_EQ(sim::board().timingFaults(), 1);
}

// The chips after the originals time their clock from the edges: the same
// bytes in the same order, each clock edge exactly a microsecond after the
// one before (the pause between frames included), the data line and its
// direction changed 100 ns after a falling edge, inside the low phase.
TEST_F(Protocol, EdgeTimedFramesKeepTheirBytesAndPutEveryEdgeAMicrosecondApart) {
    struct Case {
        const char* what;
        std::function<void(State&)> frames;
        int edges;
    };
    const std::vector<Case> cases = {
        {"load and data", [](State& st) { sendcmd(st, cmd::loadprog); senddata(st, 0x1B5A); }, 44},
        {"read and frame back", [](State& st) { sendcmd(st, cmd::readprog); recvdata(st); }, 44},
        {"two commands", [](State& st) { sendcmd(st, cmd::incaddr); sendcmd(st, cmd::incaddr); }, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        s.edgetimed = false;
        clear();
        c.frames(s);
        const auto held = portlog::writes();
        s.edgetimed = true;
        sim::advance(1'000'000);
        clear();
        c.frames(s);
        EXPECT_EQ(portlog::writes(), held);

        int64_t lastedge = -1, lastfall = -1, first = -1;
        int edges = 0, previous = 0x0B;
        for (const auto& a : sim::writes()) {
            if (first < 0) first = a.time_ns;
            const bool edge = ((a.value ^ previous) & 0x01) != 0;
            if (edge && lastedge >= 0) {
                EXPECT_EQ(a.time_ns - lastedge, 1000) << "edge " << edges;
            }
            if (!edge && lastfall >= 0) {
                EXPECT_GE(a.time_ns - lastfall, 100) << "after edge " << edges;
            }
            if (edge) {
                lastedge = a.time_ns;
                if (a.value & 0x01) lastfall = a.time_ns;
                ++edges;
            }
            previous = a.value;
        }
        EXPECT_EQ(edges, c.edges);
        // Nothing but the phases: the frames take a microsecond per edge.
        EXPECT_LE(sim::writes().back().time_ns - first, 1000 * edges);
        EXPECT_EQ(sim::board().phaseFaults(), 0);
    }
    EXPECT_EQ(sim::commands(), (std::vector<int>{6, 6}));
}
