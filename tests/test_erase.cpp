// SPDX-License-Identifier: GPL-2.0-or-later
// The erase on the simulated board: the question, the command stream the chip
// decodes, the status lines, and a protected chip brought back to life.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/startup.h"
#include "devices/select.h"
#include "operations/blankcheck.h"
#include "operations/erase.h"
#include "operations/program.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

const std::vector<std::string> eraselines = {"Commanding PIC to erase ID,", "configuration, ",
                                             "program,", "data...", "DONE."};

class Erase : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setChip(ZAVSIM_16F84);
        startup(s);
        setdevice(s, 2);
        s.portaddr = 0x278;
    }

    bool erase(Answer answer) {
        rec.answers.push_back(answer);
        sim::board().logClear();
        sim::board().eventClear();
        sim::clearWaits();
        return erasechip(s, rec);
    }

    bool chipisblank() {
        auto& b = sim::board();
        for (int i = 0; i < 1024; ++i)
            if (b.read(0, i) != 0x3FFF) return false;
        for (int i = 0; i < 4; ++i)
            if (b.read(1, i) != 0x3FFF) return false;
        for (int i = 0; i < 64; ++i)
            if (b.read(3, i) != 0xFF) return false;
        return b.read(2, 0) == 0x3FFF;
    }

    State s;
    Recorder rec;
};

std::vector<int> eventsof(int kind) {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == kind) out.push_back(e.value);
    return out;
}

TEST_F(Erase, ConfirmedEraseWipesAProtectedChipWithLoadEraseBeginForEachBulkErase) {
    auto& b = sim::board();
    for (int i = 0; i < 1024; i += 7) b.write(0, i, i);
    b.write(1, 3, 0x55);
    for (int i = 0; i < 64; i += 3) b.write(3, i, i);
    b.setProtected(1);

    EXPECT_TRUE(erase(Answer::Yes));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "Are you sure you want to erase the PIC?");
    EXPECT_EQ(rec.boxes[0].title, "*ERASE*");
    EXPECT_EQ(rec.boxes[0].buttons, Buttons::YesNo);

    EXPECT_EQ(sim::commands(), (std::vector<int>{0, 6, 6, 6, 6, 6, 6, 6, 1, 7, 8, 1, 7,
                                                 2, 9, 8, 3, 11, 8}));
    EXPECT_EQ(eventsof(1), (std::vector<int>{0x3FFF, 0x3FFF, 0x3FFF}));
    EXPECT_TRUE(eventsof(4).empty()) << "the chip saw a fault";
    // Whole chip, then program memory, then data memory.
    EXPECT_EQ(eventsof(3), (std::vector<int>{-3, -1, -2}));
    EXPECT_TRUE(chipisblank());
    EXPECT_EQ(b.isProtected(), 0);

    EXPECT_EQ(rec.status, eraselines);
    EXPECT_EQ(rec.events, (std::vector<std::string>{
                              "box *ERASE*: Are you sure you want to erase the PIC?",
                              "status clear", "status add Commanding PIC to erase ID,",
                              "status add configuration, ", "status repaint", "Erasing 0/3",
                              "status add program,", "status repaint", "Erasing 1/3",
                              "status add data...", "status repaint", "Erasing 2/3",
                              "Erasing 3/3", "status add DONE."}));
    EXPECT_EQ(sim::sleeps(), (std::vector<int>{7, 7, 7, 7, 7}));
    EXPECT_EQ(b.timingFaults(), 0);
    EXPECT_EQ(b.inProgrammingMode(), 0);
    const auto w = sim::writes();
    EXPECT_EQ(w.back().port, 0x27A);
    EXPECT_EQ(w.back().value, 0x0F);
}

TEST_F(Erase, AnsweringNoSendsNothingAndLeavesTheStatusList) {
    rec.statusAdd("Earlier line");
    sim::board().write(0, 0, 0x123);
    EXPECT_FALSE(erase(Answer::No));
    EXPECT_EQ(rec.boxes.size(), 1u);
    EXPECT_TRUE(sim::accesses().empty());
    EXPECT_EQ(rec.status, std::vector<std::string>{"Earlier line"});
    EXPECT_EQ(sim::board().read(0, 0), 0x123);
}

TEST_F(Erase, ProtectedChipFailsAtZeroUntilErased) {
    for (int i = 0; i < 16; ++i) s.progmem[i] = static_cast<int16_t>(0x2800 + i);
    s.idmem[0] = 0x0A;
    s.datamem[0] = 0x5A;
    s.configmem[0] = 0x000D;  // code protection on
    s.progused = 16;
    s.idused = 1;
    s.dataused = 1;
    s.configused = 1;
    ASSERT_TRUE(program2(s, rec, modeprogram)) << ::testing::PrintToString(rec.events);

    // The protection took hold at the next entry: program memory reads zeros.
    rec = Recorder{};
    EXPECT_FALSE(program2(s, rec, modeprogram));
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0].title, "ERROR!");
    EXPECT_EQ(rec.boxes[0].text, "Failed at 0x0: Expecting 0x2800, found 0x0.");
    EXPECT_EQ(rec.boxes[1].title, "Protected?");
    EXPECT_EQ(rec.boxes[1].text, "The micro must be s/w protected, erase first.");
    EXPECT_EQ(rec.status,
              (std::vector<std::string>{"Program memory: ", "Programming...", "**ERROR!**"}));

    rec = Recorder{};
    ASSERT_TRUE(erase(Answer::Yes));
    EXPECT_TRUE(chipisblank());

    rec = Recorder{};
    ASSERT_TRUE(program2(s, rec, modeprogram));
    EXPECT_EQ(rec.status.front(), "SUCCESS!");
    EXPECT_EQ(sim::board().read(0, 15), 0x280F);
    EXPECT_EQ(sim::board().read(3, 0), 0x5A);
    EXPECT_EQ(sim::board().read(2, 0), 0x000D);
}

// Each way of erasing tells its steps, one before each wait and one at the
// end; the blank check after it, one a word.
TEST_F(Erase, EveryWayOfErasingCountsItsWaitsAndTheBlankCheckItsWords) {
    const struct {
        const char* chip;
        int kind, waits;
    } chips[] = {{"16F628", ZAVSIM_16F628, 3}, {"16F628A", ZAVSIM_16F628A, 2},
                 {"16F88", ZAVSIM_16F88, 1}, {"16F716", ZAVSIM_16F716, 1}};
    for (const auto& c : chips) {
        sim::board().setChip(c.kind);
        sim::board().write(0, 5, 0x1234);
        selectchip(s, *findchip(c.chip));
        rec = Recorder{};
        ASSERT_TRUE(erase(Answer::Yes)) << c.chip;
        std::vector<std::string> steps;
        for (const auto& e : rec.events)
            if (e.rfind("Erasing ", 0) == 0) steps.push_back(e);
        std::vector<std::string> expected;
        for (int i = 0; i <= c.waits; ++i)
            expected.push_back("Erasing " + std::to_string(i) + "/" + std::to_string(c.waits));
        EXPECT_EQ(steps, expected) << c.chip;
        EXPECT_EQ(rec.events.back(), "status add DONE.") << c.chip;

        rec = Recorder{};
        const BlankResult r = blankcheck(s, &rec);
        EXPECT_TRUE(r.blank) << c.chip;
        const std::string all = std::to_string(r.words);
        EXPECT_EQ(rec.events.front(), "Blank check 0/" + all) << c.chip;
        EXPECT_EQ(rec.events.back(), "Blank check " + all + "/" + all) << c.chip;
        EXPECT_EQ(rec.events.size(), static_cast<size_t>(r.words) + 1) << c.chip;
    }
    sim::board().setChip(ZAVSIM_16F84);
}

}  // namespace
