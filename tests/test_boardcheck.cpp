// SPDX-License-Identifier: GPL-2.0-or-later
// The board check and the voltage test on the simulated board: exact port
// traffic, the verdict boxes, and what the status list shows while each box
// is open.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "core/lines.h"
#include "core/startup.h"
#include "core/wiring.h"
#include "operations/boardcheck.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

constexpr int32_t D = 0x278;  // data register
constexpr int32_t S = 0x279;  // status register
constexpr int32_t C = 0x27A;  // control register

// Port accesses as (port, value); reads as (port, -1).
using Access = std::pair<int32_t, int32_t>;

std::vector<Access> traffic() {
    std::vector<Access> out;
    for (const auto& a : sim::accesses()) out.push_back({a.port, a.is_read ? -1 : a.value});
    return out;
}

class BoardCheck : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedPIC16F84(s);
        allpinslow(s);  // idle on this port: control 0x0F
        sim::board().logClear();
    }

    State s;
    Recorder rec;
};

TEST_F(BoardCheck, BoardFoundAfterTwoReadingsAndNothingRestored) {
    EXPECT_EQ(checkhardware(s, rec), 1);
    EXPECT_EQ(traffic(), (std::vector<Access>{{C, 0x0F}, {C, 0x0D}, {S, -1}, {C, 0x05}, {C, 0x05},
                                              {S, -1}}));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "QUIBB H/W Successfully detected on port!");
    EXPECT_EQ(rec.boxes[0].title, "SUCCESS!");
    EXPECT_EQ(rec.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(rec.events.size(), 1u) << "the status list was touched";
}

TEST_F(BoardCheck, NoBoardIsACautionAfterTheFirstReading) {
    sim::board().setBoard(0);
    EXPECT_EQ(checkhardware(s, rec), 0);
    EXPECT_EQ(traffic(), (std::vector<Access>{{C, 0x0F}, {C, 0x0D}, {S, -1}}));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "QUIBB H/W not found (This may be ok on some systems).");
    EXPECT_EQ(rec.boxes[0].title, "CAUTION!");
    // The box does not say where it looked: one status line before it does.
    EXPECT_EQ(rec.events, (std::vector<std::string>{
                              "status add quibb9x: no board answers at port 0x278 (board 'original': "
                              "vpp = !16 !2, clock = 1, dataout = 14, datadir = !17, datain = 11)",
                              "box CAUTION!: QUIBB H/W not found (This may be ok on some systems)."}));
}

// What the person sees and what the board holds while a box is open.
struct Snapshot {
    std::string title;
    std::vector<std::string> status;
    size_t writes;
    int32_t control;
    int32_t data;
    bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& x, std::ostream* os) {
    *os << "{" << x.title << ", " << ::testing::PrintToString(x.status) << ", " << x.writes
        << " writes, C " << x.control << ", D " << x.data << "}";
}

TEST_F(BoardCheck, VoltageTestShowsOneTestAtATimeWithTheBoardInItsState) {
    sim::board().setChip(ZAVSIM_EMPTY);
    rec.statusAdd("an earlier line");
    std::vector<Snapshot> seen;
    rec.onBox = [&](const Box& box) {
        Snapshot x{box.title, rec.status, 0, -1, -1};
        for (const auto& a : sim::writes()) {
            ++x.writes;
            (a.port == C ? x.control : x.data) = a.value;
        }
        seen.push_back(x);
    };
    troubleshoot(s, rec);

    const std::string lead = "(conect (-) tester lead to pin 5)";
    const std::vector<Snapshot> expected = {
        {"TROUBLESHOOT", {}, 0, -1, -1},
        {"OK?",
         {"TEST A:", lead, "Socket pin 4       < 0.8 V", "Socket pin 12      < 0.8 V",
          "Socket pin 13      < 0.8 V", "Socket pin 14      4.75 to 5.25 V",
          "Junction D1,D2,R1  < 0.8 V"},
         3, 0x0F, 0x01},
        {"OK?",
         {"TEST B:", lead, "Socket pin 4       12.0 - 14.0 V", "Socket pin 12      > 4.0 V",
          "Socket pin 13      > 4.0 V", "Junction D1,D2,R1  < 0.8 V"},
         7, 0x08, 0x00},
        {"OK?", {"TEST C:", lead, "Verify that the junction of", "D1, D2, and R1 is < 0.8 V."},
         16, 0x0D, 0x01},
        {"", {"TEST D:", lead, "Verify that the junction of", "D1, D2, and R1 is now > 4 V."},
         21, 0x05, 0x01},
    };
    EXPECT_EQ(seen, expected);
    ASSERT_EQ(rec.boxes.size(), 5u);
    EXPECT_EQ(rec.boxes[0].text, "Ensure programmer is powered and no PIC in socket");
    for (int i = 1; i < 4; ++i) EXPECT_EQ(rec.boxes[i].text, "Continue...");
    EXPECT_EQ(rec.boxes[4].text, "This completes the voltage test sequence.");
    for (const auto& b : rec.boxes) EXPECT_EQ(b.buttons, Buttons::Ok);
    EXPECT_TRUE(rec.status.empty());

    EXPECT_EQ(traffic(), (std::vector<Access>{
                             {C, 0x0F}, {D, 0x01}, {C, 0x0F},                         // A
                             {C, 0x0B}, {D, 0x00}, {C, 0x0A}, {C, 0x08},              // B
                             {C, 0x0C}, {D, 0x01}, {C, 0x0D}, {C, 0x05}, {C, 0x05},   // C
                             {D, 0x01}, {C, 0x0F}, {C, 0x0F}, {C, 0x0D},
                             {C, 0x0D}, {D, 0x01}, {C, 0x0F}, {C, 0x05}, {C, 0x05},   // D
                             {C, 0x05}, {D, 0x01}, {C, 0x0F}}));                      // idle
}

}  // namespace

namespace {

// Tests A to D measure a powered board, as the original always is: a board
// that switches VDD has it on while each test's box is open (Vpp only in
// test B), and both off at the end.
TEST(BoardTest, ABoardThatSwitchesVddHasItOnForEveryTest) {
    setenv("QUIBB9X_SIM_BOARD", "tait-classic", 1);
    sim::useSimulatedBoard();
    State s;
    s.wiring = *builtinboard("tait-classic");
    startup(s);
    s.portaddr = 0x278;
    Recorder rec;
    uint8_t data = 0x00, control = 0x0C;
    auto levels = [&] {
        for (const auto& a : sim::writes()) (a.port == D ? data : control) = static_cast<uint8_t>(a.value);
        sim::board().logClear();
        return std::string(lineon(s.wiring, LINE_VDD, data, control) ? "VDD" : "-") + "/" +
               (lineon(s.wiring, LINE_VPP, data, control) ? "VPP" : "-");
    };
    std::vector<std::string> seen;
    sim::board().logClear();
    rec.onBox = [&](const Box& box) {
        if (box.title != "TROUBLESHOOT") seen.push_back(levels());
    };
    troubleshoot(s, rec);
    seen.push_back(levels());
    unsetenv("QUIBB9X_SIM_BOARD");
    EXPECT_EQ(seen, (std::vector<std::string>{"VDD/-", "VDD/VPP", "VDD/-", "VDD/-", "-/-"}));
}

}  // namespace
