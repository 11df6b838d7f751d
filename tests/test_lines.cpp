// SPDX-License-Identifier: GPL-2.0-or-later
// Line control: the exact bytes each line operation puts on the port, the
// composite sequences and their waits, and the data line read back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/binding.h"
#include "core/lines.h"
#include "core/platform.h"
#include "devices/select.h"
#include "support/portlog.h"
#include "support/simboard.h"

using Writes = std::vector<std::pair<int, int>>;

namespace {

constexpr int base = 0x278;
constexpr int control = base + 2;

class Lines : public ::testing::Test {
protected:
    State s;
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setBase(base);
        s.portaddr = base;
        s.ctrlshadow = 0x0F;
        sim::board().logClear();
    }
    // Runs op from the given control copy and returns what it wrote.
    template <typename Op>
    Writes from(int shadow, Op op) {
        s.ctrlshadow = static_cast<uint8_t>(shadow);
        sim::board().logClear();
        op(s);
        return portlog::writes();
    }
};

}  // namespace

TEST_F(Lines, EachLineChangeIsOneWriteOfTheWholeControlByte) {
    EXPECT_EQ(from(0x0F, clockup), (Writes{{control, 0x0E}}));
    EXPECT_EQ(from(0x0E, dataup), (Writes{{control, 0x0C}}));
    EXPECT_EQ(from(0x0C, clockdown), (Writes{{control, 0x0D}}));
    EXPECT_EQ(from(0x0D, datadown), (Writes{{control, 0x0F}}));
    EXPECT_EQ(from(0x0F, datareadable), (Writes{{control, 0x05}}));
    EXPECT_EQ(from(0x05, datawritable), (Writes{{control, 0x0F}}));
    EXPECT_EQ(from(0x00, datawritable), (Writes{{control, 0x0A}}));
    EXPECT_EQ(s.ctrlshadow, 0x0A);  // the copy follows every write
}

TEST_F(Lines, VppSwitchesWriteControlThenData) {
    EXPECT_EQ(from(0x0F, vppon), (Writes{{control, 0x0B}, {base, 0x00}}));
    EXPECT_EQ(from(0x0B, vppoff), (Writes{{control, 0x0F}, {base, 0x01}}));
    EXPECT_EQ(from(0x00, allpinslow), (Writes{{control, 0x04}, {base, 0x01}, {control, 0x0F}}));
    EXPECT_EQ(s.ctrlshadow, 0x0F);
}

TEST_F(Lines, VppresetHoldsClockAndDataLowAndWaitsBeforeAndAfterVpp) {
    sim::board().setChip(ZAVSIM_16F84);
    const std::vector<std::pair<int, Writes>> cases = {
        {0x0F, {{control, 0x0F}, {base, 0x01}, {control, 0x0F}, {control, 0x0F},
                {control, 0x0F}, {control, 0x0B}, {base, 0x00}}},
        {0x00, {{control, 0x04}, {base, 0x01}, {control, 0x0E}, {control, 0x0E},
                {control, 0x0F}, {control, 0x0B}, {base, 0x00}}},
        {0x05, {{control, 0x05}, {base, 0x01}, {control, 0x0F}, {control, 0x0F},
                {control, 0x0F}, {control, 0x0B}, {base, 0x00}}},
    };
    for (const auto& [start, expected] : cases) {
        SCOPED_TRACE(start);
        sim::clearWaits();
        EXPECT_EQ(from(start, vppreset), expected);
        EXPECT_EQ(sim::sleeps(), (std::vector<int>{7, 7}));
        EXPECT_TRUE(sim::board().inProgrammingMode());
        EXPECT_EQ(sim::board().address(), 0);

        // 7 ms between clock low and Vpp on, and after Vpp before anything else.
        clockup(s);
        const auto log = sim::accesses();
        ASSERT_EQ(log.size(), 8u);
        EXPECT_GE(log[5].time_ns - log[4].time_ns, 7'000'000);
        EXPECT_GE(log[7].time_ns - log[6].time_ns, 7'000'000);
        allpinslow(s);
    }
}

TEST_F(Lines, WaitsIgnoreTheirCountAndTouchNoPort) {
    sim::clearWaits();
    delaymilli(s, 25);
    delaymilli(s, 20);
    delaymilli(s, 1);
    EXPECT_EQ(sim::sleeps(), (std::vector<int>{7, 7, 7}));
    delay(1);
    delay(10);
    EXPECT_EQ(sim::holds(), 2);
    EXPECT_EQ(sim::sleeps().size(), 3u);
    EXPECT_TRUE(sim::accesses().empty());
}

// The original chips' waits last the programming time asked for; the other
// chips' entries keep their 7 ms.
TEST_F(Lines, TheOriginalChipsWaitTheirProgrammingTime) {
    struct Case {
        const char* chip;
        int16_t tprog;
        int waited;
    };
    for (const Case c : {Case{"16C84", 7, 7}, Case{"16C84", 10, 10}, Case{"16F84A", 20, 20},
                         Case{"16F83", 12, 12}, Case{"16F628A", 10, 7}, Case{"16F716", 20, 7}}) {
        SCOPED_TRACE(std::string(c.chip) + " " + std::to_string(c.tprog));
        selectchip(s, *findchip(c.chip));
        s.tprog = c.tprog;
        sim::clearWaits();
        delaymilli(s, 20);
        vppreset(s);
        EXPECT_EQ(sim::sleeps(), std::vector<int>(3, c.waited));
    }
}

TEST_F(Lines, DelayHoldsUntilAMicrosecondAfterTheLastLineChange) {
    clockup(s);
    const int64_t change = sim::nowNs();
    delay(1);
    EXPECT_EQ(sim::nowNs(), change + 1000);
    delay(2);  // a microsecond has passed already
    EXPECT_EQ(sim::nowNs(), change + 1000);

    // Time spent on the port after a change counts; a read is no change.
    dataup(s);
    const int64_t next = sim::nowNs();
    sim::advance(600);
    datain(s);
    delay(1);
    EXPECT_EQ(sim::nowNs(), next + 1000);
    sim::advance(5000);
    delay(10);
    EXPECT_EQ(sim::nowNs(), next + 6000);
    EXPECT_EQ(sim::holds(), 4);
}

// The real sleep lasts its full length from the moment given, and no longer
// from the call: a programming cycle whose sleep the window's hand-over
// delayed does not last that much longer.
TEST(RealWaits, ASleepCountsFromTheMomentGiven) {
    platform::Waits& real = platform::realWaits();
    int64_t start = real.nowNs() - 2'000'000;  // 2 ms ago
    real.sleepMsSince(start, 5);
    EXPECT_GE(real.nowNs() - start, 5'000'000);

    start = real.nowNs();
    real.sleepMsSince(start - 10'000'000'000, 2000);  // over long ago
    EXPECT_LT(real.nowNs() - start, 1'000'000'000);   // not two seconds from now
}

TEST_F(Lines, DatainReadsStatusAtBasePlusOne) {
    sim::board().setChip(ZAVSIM_16F84);
    // With the board on the port: released data line is pulled high, a driven
    // one reads low.
    datareadable(s);
    dataup(s);
    EXPECT_EQ(datain(s), 1);
    datawritable(s);
    dataup(s);
    EXPECT_EQ(datain(s), 0);
    EXPECT_EQ(sim::accesses().back().port, base + 1);
    EXPECT_EQ(sim::accesses().back().is_read, 1);

    // Nothing answers at an address without a port: 0xFF, bit 7 set, the
    // line reads 0. A port without a board leaves busy floating high: 1.
    s.portaddr = 0x3BC;
    EXPECT_EQ(datain(s), 0);
    EXPECT_EQ(sim::accesses().back().value, 0xFF);
    s.portaddr = base;
    sim::board().setBoard(0);
    EXPECT_EQ(datain(s), 1);
}

TEST_F(Lines, PortAddressesWrapAt16Bits) {
    s.portaddr = static_cast<int16_t>(0xFFFF);
    clockup(s);
    vppon(s);
    datain(s);
    const auto log = sim::accesses();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].port, 0x0001);
    EXPECT_EQ(log[2].port, 0xFFFF);
    EXPECT_EQ(log[3].port, 0x0000);
}

// Status bytes the board would never present: only bit 7 counts, inverted.
TEST(Datain, OnlyStatusBit7CountsInverted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            binding::chooseLibrary(PARTIALLIB_PATH);
            State s;
            s.portaddr = base;
            int wrong = 0;
            for (auto [status, expected] : {std::pair{"0x7F", 1}, {"0x00", 1}, {"0x80", 0}, {"0xFF", 0}}) {
                setenv("PARTIALLIB_STATUS", status, 1);
                if (datain(s) != expected) ++wrong;
            }
            std::exit(wrong);
        },
        ::testing::ExitedWithCode(0), "");
}
