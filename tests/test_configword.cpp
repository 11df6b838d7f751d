// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration word editor's model: what each edit and each refresh
// leaves in the word, the boxes, the display and the used counter.
#include <gtest/gtest.h>

#include "core/state.h"
#include "settings/configword.h"

namespace {

std::string boxes(const ConfigEditor& e) {
    std::string text;
    for (int i = 13; i >= 0; --i) text += e.C[i];  // as the row reads, bit 13 first
    return text;
}

// An editor refreshed from `word`, the way a settings read or a HEX load
// leaves it; configused cleared afterwards so each test sees its own edit.
struct Editor : ::testing::Test {
    State s;
    ConfigEditor e;
    void show(int word) {
        s.configmem[0] = static_cast<int16_t>(word);
        e.updateC(s);
        s.configused = 0;
    }
    int word() const { return static_cast<uint16_t>(s.configmem[0]); }
};

TEST(ConfigHex, UpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(confighex(0x3FF3), "3FF3");
    EXPECT_EQ(confighex(0x001B), "1B");
    EXPECT_EQ(confighex(0), "0");
    EXPECT_EQ(confighex(static_cast<int16_t>(0xFFFF)), "FFFF");
    EXPECT_EQ(confighex(static_cast<int16_t>(0x8000)), "8000");
}

TEST_F(Editor, StartUpRefreshOfWordZeroChangesOnlyTheDisplay) {
    // The initial display "0000" never equals a refreshed text, so the word
    // is always marked as used at start-up; no check box changes state.
    ASSERT_EQ(e.cvalue, "0000");
    e.updateC(s);
    EXPECT_EQ(e.cvalue, "0");
    EXPECT_EQ(s.configused, 1);
    EXPECT_EQ(boxes(e), "00000000000000");
    EXPECT_EQ(e.osc, 0);
    EXPECT_TRUE(e.cCP);
    EXPECT_FALSE(e.cWDTE);
    EXPECT_FALSE(e.cPWRTE);
    EXPECT_EQ(word(), 0);
}

TEST_F(Editor, DoubleClickOnBit13LeavesTheCheckBoxesAlone) {
    show(0x3FF3);
    ASSERT_FALSE(e.cCP);
    e.C_DblClick(s, 13);
    EXPECT_EQ(word(), 0x1FF3);
    EXPECT_EQ(e.cvalue, "1FF3");
    EXPECT_EQ(boxes(e), "01111111110011");
    EXPECT_FALSE(e.cCP);
    EXPECT_EQ(s.configused, 1);
    e.C_DblClick(s, 13);
    EXPECT_EQ(word(), 0x3FF3);
}

TEST_F(Editor, DoubleClickOnBit2DoesNotTickWatchdog) {
    show(0x3FF3);
    e.C_DblClick(s, 2);
    EXPECT_EQ(word(), 0x3FF7);
    EXPECT_FALSE(e.cWDTE);  // until the next refresh
    e.updateC(s);
    EXPECT_TRUE(e.cWDTE);
    EXPECT_EQ(word(), 0x3FF7);
}

TEST_F(Editor, CopyProtectionSetsAllTenBitsTogether) {
    show(0x3FF3);
    e.cCP_Click(s, true);
    EXPECT_EQ(word(), 0x0003);
    EXPECT_EQ(e.cvalue, "3");
    EXPECT_EQ(boxes(e), "00000000000011");
    e.cCP_Click(s, false);
    EXPECT_EQ(word(), 0x3FF3);
    EXPECT_EQ(e.cvalue, "3FF3");
}

TEST_F(Editor, OscillatorOptionsWriteTheTwoLowBits) {
    show(0x3FF3);
    EXPECT_EQ(e.osc, 3);
    e.OSC_Click(s, 1);
    EXPECT_EQ(word(), 0x3FF1);
    e.OSC_Click(s, 2);
    EXPECT_EQ(word(), 0x3FF2);
    e.OSC_Click(s, 0);
    EXPECT_EQ(word(), 0x3FF0);
    EXPECT_EQ(e.cvalue, "3FF0");
    EXPECT_EQ(e.osc, 0);
}

TEST_F(Editor, PowerUpTimerIsTheStoredBitForEveryDevice) {
    // The editor reads no mask of the record's own: the box sets the stored
    // bit whatever the device's mask (the 16C84's 0x1F, the 16F84's 0x3FFF).
    for (int16_t mask : {int16_t(0x1F), int16_t(0x3FFF)}) {
        (void)mask;
        show(0x3FF3);
        e.cPWRTE_Click(s, true);
        EXPECT_EQ(word(), 0x3FFB);
        EXPECT_TRUE(e.cPWRTE);
    }
}

TEST_F(Editor, HandlersMarkTheWordUsedEvenWithoutAChange) {
    show(0x3FF3);
    e.OSC_Click(s, 3);  // already RC: same word, same display
    EXPECT_EQ(word(), 0x3FF3);
    EXPECT_EQ(s.configused, 1);
    s.configused = 0;
    e.cWDTE_Click(s, false);
    EXPECT_EQ(s.configused, 1);
}

TEST_F(Editor, RefreshNormalisesProtectionOnlyWhenTheBoxChanges) {
    // 0x3FE3: bit 4 clear, bit 5 set, so "Copy Protection" must be clear.
    e.cCP = true;
    s.configmem[0] = 0x3FE3;
    e.updateC(s);
    EXPECT_FALSE(e.cCP);
    EXPECT_EQ(word(), 0x3FF3);  // the box's handler rewrote bits 4 to 13
    EXPECT_EQ(e.cvalue, "3FF3");

    s.configmem[0] = 0x3FE3;  // the box is already clear now
    e.updateC(s);
    EXPECT_FALSE(e.cCP);
    EXPECT_EQ(word(), 0x3FE3);
    EXPECT_EQ(e.cvalue, "3FE3");
    EXPECT_EQ(boxes(e), "11111111100011");
}

TEST_F(Editor, Bit14IsShownButDroppedByTheNextEdit) {
    show(0x3FF3);
    s.configmem[0] = 0x7FF3;
    e.updateC(s);  // no check box changes: the word keeps bit 14
    EXPECT_EQ(e.cvalue, "7FF3");
    EXPECT_EQ(word(), 0x7FF3);
    EXPECT_EQ(boxes(e), "11111111110011");
    e.C_DblClick(s, 0);
    EXPECT_EQ(word(), 0x3FF2);
    EXPECT_EQ(e.cvalue, "3FF2");
}

TEST_F(Editor, Bit14IsDroppedAtOnceWhenACheckBoxChanges) {
    show(0x3FF3);
    s.configmem[0] = 0x7FF7;  // watchdog bit now set: cWDTE's handler runs
    e.updateC(s);
    EXPECT_TRUE(e.cWDTE);
    EXPECT_EQ(word(), 0x3FF7);
    EXPECT_EQ(e.cvalue, "3FF7");
}

TEST_F(Editor, AllOnesFromTheSettingsThenWatchdog) {
    // CWORD -1 at start-up: every box shows 1, the word keeps bits 14 and 15
    // until ticking the watchdog box recomputes it from the boxes.
    s.configmem[0] = -1;
    e.updateC(s);
    EXPECT_EQ(boxes(e), "11111111111111");
    EXPECT_EQ(e.cvalue, "3FFF");  // the RC option's handler already recomputed
    EXPECT_TRUE(e.cWDTE);         // changed state, so its handler ran
    e.cWDTE_Click(s, false);
    e.cWDTE_Click(s, true);
    EXPECT_EQ(word(), 0x3FFF);
    EXPECT_EQ(e.cvalue, "3FFF");
}

TEST_F(Editor, RefreshThatChangesNothingStillMarksTheWordUsed) {
    show(0x3FF3);
    e.updateC(s);
    EXPECT_EQ(s.configused, 1);
}

TEST_F(Editor, SetwordBringsEveryControlInLineWithoutNormalising) {
    show(0x3FF3);
    e.setword(s, 0x3FE5);  // XT, watchdog on, protection bits mixed
    EXPECT_EQ(word(), 0x3FE5);
    EXPECT_EQ(e.cvalue, "3FE5");
    EXPECT_EQ(s.configused, 1);
    EXPECT_EQ(e.osc, 1);
    EXPECT_TRUE(e.cWDTE);
    EXPECT_FALSE(e.cPWRTE);
    EXPECT_FALSE(e.cCP);

    s.configused = 0;
    e.setword(s, 0x3FE5);  // the same word again: still marked
    EXPECT_EQ(s.configused, 1);

    e.setword(s, static_cast<int16_t>(0xC00B));  // bits 14, 15 dropped
    EXPECT_EQ(word(), 0x000B);
    EXPECT_EQ(e.osc, 3);
    EXPECT_TRUE(e.cPWRTE);
    EXPECT_TRUE(e.cCP);
}

}  // namespace
