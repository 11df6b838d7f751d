// SPDX-License-Identifier: GPL-2.0-or-later
// A burn of only the changed words on the simulated board: which words get a
// programming cycle, what the chip holds afterwards, and a protected chip
// failing exactly as a plain burn fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"
#include "image/hexreader.h"
#include "operations/onlychanged.h"
#include "operations/program.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

class OnlyChanged : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedPIC16F84(s);
    }

    void load(const char* fixture) {
        ASSERT_TRUE(loadhexfile(s, rec, std::string(FIXTURE_DIR) + "/" + fixture));
        sim::board().eventClear();
        rec = Recorder{};
    }

    // The addresses of the programming cycles the chip completed.
    static std::vector<int> written() {
        std::vector<int> out;
        for (const auto& e : sim::chipEvents())
            if (e.kind == 3) out.push_back(e.value);
        return out;
    }

    State s;
    Recorder rec;
    ChangedCount n;
};

TEST_F(OnlyChanged, ProgramsExactlyTheWordsThatDifferAndNoneTheSecondTime) {
    load("f84_blink_inhx32.hex");
    ASSERT_TRUE(program2(s, rec, modeprogram));
    load("f84_blink_changed_inhx32.hex");

    ASSERT_TRUE(programchanged(s, rec, n));
    EXPECT_EQ(written(), (std::vector<int>{4, 8, 12, 0x2102}));
    int begins = 0;
    for (int c : sim::commands()) begins += c == 8;
    EXPECT_EQ(begins, 4);
    EXPECT_EQ(n.programmed, 4);
    EXPECT_EQ(n.compared, 20 + 4 + 5 + 1);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(sim::board().read(0, i), i < s.progused ? s.progmem[i] : 0x3FFF) << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sim::board().read(1, i), s.idmem[i]);
    EXPECT_EQ(sim::board().read(2, 0), 0x3FF1);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(sim::board().read(3, i), i < s.dataused ? s.datamem[i] : 0xFF) << i;
    EXPECT_EQ(rec.status.front(), "SUCCESS!");
    EXPECT_EQ(sim::board().timingFaults(), 0);

    sim::board().eventClear();
    ASSERT_TRUE(programchanged(s, rec, n));
    for (int c : sim::commands()) ASSERT_NE(c, 8);
    EXPECT_EQ(n.programmed, 0);
    EXPECT_EQ(n.compared, 30);
    EXPECT_EQ(sim::board().inProgrammingMode(), 0);
}

TEST_F(OnlyChanged, ProtectedChipFailsAsAPlainBurnDoes) {
    load("f84_blink_inhx32.hex");
    sim::board().setProtected(1);
    ASSERT_FALSE(program2(s, rec, modeprogram));
    const Recorder burn = rec;

    rec = Recorder{};
    ASSERT_FALSE(programchanged(s, rec, n));
    EXPECT_EQ(rec.events, burn.events);
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].text, "Failed at 0x0: Expecting 0x2805, found 0x0.");
    EXPECT_EQ(rec.boxes[1].title, "Protected?");
    EXPECT_EQ(n.programmed, 1);
    EXPECT_EQ(n.compared, 1);
    EXPECT_EQ(sim::board().isProtected(), 1);
    EXPECT_TRUE(written().empty());
}

}  // namespace
