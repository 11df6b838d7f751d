// SPDX-License-Identifier: GPL-2.0-or-later
// Burn, verify and read-out end to end on the simulated board: what lands in
// the chip, the order the regions are walked in, the status list, the boxes,
// and the port traffic after a mismatch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/detect.h"
#include "core/startup.h"
#include "operations/erase.h"
#include "operations/program.h"
#include "support/chipfacts.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

constexpr int32_t dataport = 0x278;
constexpr int32_t controlport = 0x27A;

const std::vector<std::string> burnsuccess = {
    "SUCCESS!", "Note:For production-grade work,", "     you should now verify the PIC",
    "     at the maximum and minimum", "     values of Vcc."};

// Device option number and the board's chip kind.
struct Device {
    int16_t option;
    int32_t kind;
    const char* name;
};
const Device devices[] = {{1, ZAVSIM_16C84, "16C84"},
                          {2, ZAVSIM_16F84, "16F84"},
                          {3, ZAVSIM_16F83, "16F83"}};

// Every cell a different word; some words carry bits above the chip's width
// to show that both the write and the compare are masked.
void fillimage(State& s, int seed) {
    for (int i = 0; i < progsize(s); ++i)
        s.progmem[i] = static_cast<int16_t>((i * 0x9E5 + seed * 0x111 + 1) & 0x3FFF);
    s.progmem[1] = static_cast<int16_t>(0xC123);
    for (int i = 0; i < 4; ++i) s.idmem[i] = static_cast<int16_t>(0x1230 + seed + i);
    for (int i = 0; i < 64; ++i) s.datamem[i] = static_cast<int16_t>((i * 37 + seed) & 0xFF);
    s.datamem[5] = 0x1AB;
    s.progused = progsize(s);
    s.idused = 4;
    s.dataused = 64;
    s.configused = 1;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override { select(devices[1]); }

    void select(const Device& d) {
        sim::useSimulatedBoard();
        sim::board().setChip(d.kind);
        s = State{};
        startup(s);
        setdevice(s, d.option);
        s.portaddr = 0x278;
        // Open chips: the CP bits set on every device.
        s.configmem[0] = static_cast<int16_t>(d.kind == ZAVSIM_16C84 ? 0x3FFF : 0x3FF1);
        fillimage(s, d.option);
        rec = Recorder{};
    }

    bool run(int16_t mode, WordSink* sink = nullptr) {
        sim::board().logClear();
        sim::board().eventClear();
        sim::clearWaits();
        return program2(s, rec, mode, sink);
    }

    int32_t chip(int region, int index) { return sim::board().read(region, index); }

    // What the chip must hold after a burn of the image.
    void expectchipholdsimage(int32_t kind) {
        for (int i = 0; i < s.progused; ++i)
            ASSERT_EQ(chip(0, i), s.progmem[i] & 0x3FFF) << "program word " << i;
        for (int i = s.progused; i < progsize(s); ++i)
            ASSERT_EQ(chip(0, i), 0x3FFF) << "untouched program word " << i;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(chip(1, i), i < s.idused ? s.idmem[i] & 0x3FFF : 0x3FFF) << "ID " << i;
        const int32_t config = kind == ZAVSIM_16C84 ? (s.configmem[0] & 0x1F) | 0x3FE0
                                                    : s.configmem[0] & 0x3FFF;
        EXPECT_EQ(chip(2, 0), config);
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(chip(3, i), i < s.dataused ? s.datamem[i] & 0xFF : 0xFF) << "data " << i;
    }

    State s;
    Recorder rec;
};

std::string hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

std::vector<int> written() {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 3) out.push_back(e.value);
    return out;
}

int faults() {
    int n = 0;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 4) ++n;
    return n;
}

std::vector<std::string> statusadds(const Recorder& r) {
    std::vector<std::string> out;
    for (const auto& e : r.events)
        if (e.rfind("status add ", 0) == 0) out.push_back(e.substr(11));
    return out;
}

// The port accesses after the last status read: after a mismatch nothing
// but the return to idle may follow the read-back of the failing word.
std::vector<std::pair<int32_t, int32_t>> afterlastread() {
    const auto log = sim::accesses();
    size_t last = 0;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].is_read) last = i;
    std::vector<std::pair<int32_t, int32_t>> out;
    for (size_t i = last + 1; i < log.size(); ++i) out.push_back({log[i].port, log[i].value});
    return out;
}

const std::vector<std::pair<int32_t, int32_t>> idleafterread = {
    {controlport, 0x05}, {dataport, 0x01}, {controlport, 0x0F}};

TEST_F(Program, BurnWritesEveryRegionOfEachDeviceAndVerifyPassesAfterwards) {
    for (const Device& d : devices) {
        SCOPED_TRACE(d.name);
        select(d);
        ASSERT_TRUE(run(modeprogram));
        expectchipholdsimage(d.kind);
        EXPECT_EQ(rec.status, burnsuccess);
        EXPECT_TRUE(rec.boxes.empty());
        EXPECT_EQ(rec.progressAt, 0);
        EXPECT_EQ(faults(), 0);
        EXPECT_EQ(sim::board().inProgrammingMode(), 0);
        // The configuration word is the last frame sent, in the device's width.
        int lastframe = -1;
        for (const auto& e : sim::chipEvents())
            if (e.kind == 1) lastframe = e.value;
        EXPECT_EQ(lastframe, d.kind == ZAVSIM_16C84 ? 0x1F : 0x3FF1);
        const auto w = sim::writes();
        ASSERT_GE(w.size(), 2u);
        EXPECT_EQ(w[w.size() - 1].port, controlport);
        EXPECT_EQ(w[w.size() - 1].value, 0x0F);
        EXPECT_EQ(w[w.size() - 2].port, dataport);
        EXPECT_EQ(w[w.size() - 2].value, 0x01);

        rec = Recorder{};
        ASSERT_TRUE(run(modeverify));
        EXPECT_EQ(rec.status, std::vector<std::string>{"SUCCESS!"});
        EXPECT_TRUE(rec.boxes.empty());
        EXPECT_TRUE(written().empty());
        for (int c : sim::commands()) ASSERT_NE(c, 8) << "verify programmed something";
    }
}

TEST_F(Program, RegionsGoProgramIdDataThenConfigurationWithARepaintAfterEachLine) {
    ASSERT_TRUE(run(modeprogram));
    std::vector<std::string> expected = {
        "status clear",
        "status add Program memory: ", "status repaint",
        "status add Programming...", "status repaint",
        "status add ID memory: ", "status repaint",
        "status add Programming...", "status repaint",
        "status add Data memory: ", "status repaint",
        "status add Programming...", "status repaint",
        "status add Configuration memory: ", "status repaint",
        "status add Programming...", "status repaint",
        "status clear"};
    for (const auto& line : burnsuccess) expected.push_back("status add " + line);
    EXPECT_EQ(rec.events, expected);

    // The configuration word is the last thing programmed, after the data.
    const auto order = written();
    ASSERT_EQ(order.size(), 1024u + 4 + 64 + 1);
    EXPECT_EQ(order[1023], 1023);
    EXPECT_EQ(order[1024], 0x2000);
    EXPECT_EQ(order[1028], 0x2100);
    EXPECT_EQ(order[1091], 0x213F);
    EXPECT_EQ(order[1092], 0x2007);
}

TEST_F(Program, ConfigurationWordLandsAt2007WhateverTheIdCount) {
    for (int16_t idcount : {0, 4}) {
        SCOPED_TRACE(idcount);
        select(devices[1]);
        s.progused = 2;
        s.idused = idcount;
        s.dataused = 1;
        s.configmem[0] = 0x3FF5;
        ASSERT_TRUE(run(modeprogram));
        std::vector<int> expected = {0, 1};
        for (int i = 0; i < idcount; ++i) expected.push_back(0x2000 + i);
        expected.push_back(0x2100);
        expected.push_back(0x2007);
        EXPECT_EQ(written(), expected);
        EXPECT_EQ(chip(2, 0), 0x3FF5);

        // Before the configuration pass: load configuration, then exactly seven
        // increments from 0x2000, then the load of the word.
        const auto cmds = sim::commands();
        const std::vector<int> expectedtail = {3, 8, 5, 6, 0, 6, 6, 6, 6, 6, 6, 6, 2, 8, 4, 6};
        ASSERT_GE(cmds.size(), expectedtail.size());
        EXPECT_EQ(std::vector<int>(cmds.end() - expectedtail.size(), cmds.end()), expectedtail);
    }
}

TEST_F(Program, EveryModeSendsTheDefaultWithEachLoadConfiguration) {
    ASSERT_TRUE(run(modeprogram));
    ASSERT_TRUE(run(modeverify));
    // Verify: the only frames the PC sends are the two load-configuration words.
    std::vector<int> in;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 1) in.push_back(e.value);
    EXPECT_EQ(in, (std::vector<int>{0x3FF3, 0x3FF3}));
}

TEST_F(Program, ProtectedImageWithDataBurnsAndReadsBackRight) {
    s.configmem[0] = 0x000D;  // every CP bit clear: protected, XT, watchdog on
    ASSERT_TRUE(run(modeprogram));
    EXPECT_EQ(rec.status, burnsuccess);
    expectchipholdsimage(ZAVSIM_16F84);
    EXPECT_EQ(faults(), 0);
}

// A Recorder that lets the test reach into the chip while a pass runs: the
// hook sees each progress step with the region line shown last.
class Tamper : public Recorder {
public:
    std::function<void(const std::string& region, int index)> onStep;
    std::string region;
    void statusAdd(const std::string& line) override {
        if (line.size() > 2 && line.compare(line.size() - 2, 2, ": ") == 0) region = line;
        Recorder::statusAdd(line);
    }
    void progressValue(int value) override {
        Recorder::progressValue(value);
        if (onStep) onStep(region, value);
    }
};

TEST_F(Program, VerifyStopsAtAChangedWordWithMaskedValuesAndNothingSentAfter) {
    ASSERT_TRUE(run(modeprogram));
    sim::board().write(0, 5, 0x0ABC);
    rec = Recorder{};
    EXPECT_FALSE(run(modeverify));
    EXPECT_EQ(rec.status,
              (std::vector<std::string>{"Program memory: ", "Verifying...", "**ERROR!**"}));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].title, "ERROR!");
    EXPECT_EQ(rec.boxes[0].text,
              "Failed at 0x5: Expecting 0x" + hex(s.progmem[5] & 0x3FFF) + ", found 0xABC.");
    EXPECT_EQ(rec.progressAt, 5);
    EXPECT_EQ(sim::commands().back(), 4);
    EXPECT_EQ(afterlastread(), idleafterread);

    // Data byte 5 holds 0x1AB in the image: shown, like the chip's, in 8 bits.
    sim::board().write(0, 5, s.progmem[5] & 0x3FFF);
    sim::board().write(3, 5, 0x3C);
    rec = Recorder{};
    EXPECT_FALSE(run(modeverify));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "Failed at 0x2105: Expecting 0xAB, found 0x3C.");
    EXPECT_EQ(statusadds(rec),
              (std::vector<std::string>{"Program memory: ", "Verifying...", "ID memory: ",
                                        "Verifying...", "Data memory: ", "Verifying...",
                                        "**ERROR!**"}));
    EXPECT_EQ(afterlastread(), idleafterread);
}

TEST_F(Program, ProtectedBoxOnlyForProgramWordZeroReadingZero) {
    struct Case {
        int region, index, value;
        std::vector<std::string> titles;
    };
    const Case cases[] = {{0, 0, 0, {"ERROR!", "Protected?"}},
                          {0, 0, 0x5, {"ERROR!"}},
                          {0, 1, 0, {"ERROR!"}},
                          {3, 0, 0, {"ERROR!"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.region * 100 + c.index);
        select(devices[1]);
        s.progused = 2;
        s.idused = 0;
        s.dataused = 1;
        s.configused = 0;
        ASSERT_TRUE(run(modeprogram));
        sim::board().write(c.region, c.index, c.value);
        rec = Recorder{};
        EXPECT_FALSE(run(modeverify));
        std::vector<std::string> titles;
        for (const auto& b : rec.boxes) titles.push_back(b.title);
        EXPECT_EQ(titles, c.titles);
    }
    EXPECT_EQ(rec.boxes[0].text, "Failed at 0x2100: Expecting 0x" + hex(s.datamem[0] & 0xFF) +
                                     ", found 0x0.");
}

TEST_F(Program, SixteenC84ConfigurationIsComparedInFiveBits) {
    select(devices[0]);
    ASSERT_TRUE(run(modeprogram));          // image 0x3FFF written as 0x1F
    EXPECT_EQ(chip(2, 0), 0x3FFF);
    sim::board().write(2, 0, 0x10);         // chip keeps 0x3FF0: still open
    rec = Recorder{};
    EXPECT_FALSE(run(modeverify));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "Failed at 0x2007: Expecting 0x1F, found 0x10.");
    EXPECT_EQ(rec.status.back(), "**ERROR!**");
}

TEST_F(Program, BurnStopsAtAWordTheChipRefusesAndSendsNothingAfter) {
    Tamper t;
    sim::board().write(1, 2, 0x0777);
    // From ID word 2 on, the chip refuses every write: ID 2 keeps its word.
    t.onStep = [](const std::string& region, int index) {
        if (region == "ID memory: " && index == 2) sim::board().setProtected(1);
    };
    sim::board().logClear();
    sim::board().eventClear();
    EXPECT_FALSE(program2(s, t, modeprogram, nullptr));
    ASSERT_EQ(t.boxes.size(), 1u);
    EXPECT_EQ(t.boxes[0].title, "ERROR!");
    EXPECT_EQ(t.boxes[0].text, "Failed at 0x2002: Expecting 0x1234, found 0x777.");
    EXPECT_EQ(t.status, (std::vector<std::string>{"Program memory: ", "Programming...",
                                                  "ID memory: ", "Programming...",
                                                  "**ERROR!**"}));
    EXPECT_EQ(afterlastread(), idleafterread);
}

TEST_F(Program, FullBurnWaitsOnceForEachWordAndTwiceForEachReset) {
    ASSERT_TRUE(run(modeprogram));
    const auto waits = sim::sleeps();
    EXPECT_EQ(waits.size(), 1093u + 6);
    for (int ms : waits) ASSERT_EQ(ms, 7);
    EXPECT_EQ(sim::board().timingFaults(), 0);
}

// Bytes by 1-based position, as the dump file gets them.
class Bytes : public WordSink {
public:
    explicit Bytes(const State& s) : s(s) {}
    std::map<int32_t, uint8_t> at;
    std::vector<int32_t> order;
    void put(int32_t address, int16_t word) override {
        const int32_t position = dumpposition(s, address);
        for (int32_t p : {position, position + 1}) {
            at[p] = static_cast<uint8_t>(p == position ? word & 0xFF : (word >> 8) & 0xFF);
            order.push_back(p);
        }
    }
    const State& s;
};

TEST_F(Program, ReadOutCoversTheWholeChipLowByteFirst) {
    ASSERT_TRUE(run(modeprogram));
    s.progused = 3;
    s.idused = 0;
    s.configused = 0;
    s.dataused = 2;
    rec = Recorder{};
    Bytes file(s);
    ASSERT_TRUE(run(modereadout, &file));
    EXPECT_EQ(s.progused, 1024);
    EXPECT_EQ(s.idused, 4);
    EXPECT_EQ(s.configused, 1);
    EXPECT_EQ(s.dataused, 64);
    EXPECT_EQ(rec.status, std::vector<std::string>{"SUCCESS!"});
    EXPECT_EQ(statusadds(rec)[1], "Saving...");
    EXPECT_TRUE(written().empty());

    EXPECT_EQ(file.order.size(), 2u * (1024 + 4 + 1 + 64));
    for (int i = 0; i < 1024; ++i) {
        const int word = s.progmem[i] & 0x3FFF;
        ASSERT_EQ(file.at[2 * i + 1], word & 0xFF) << i;
        ASSERT_EQ(file.at[2 * i + 2], word >> 8) << i;
    }
    EXPECT_EQ(file.at[0x2001], 0x32);         // ID word 0 = 0x1232
    EXPECT_EQ(file.at[0x2002], 0x12);
    EXPECT_EQ(file.at[0x2007], 0x35);         // ID word 3, low byte
    EXPECT_EQ(file.at[0x2008], 0xF1);         // the configuration's low byte over ID 3's high
    EXPECT_EQ(file.at[0x2009], 0x3F);
    EXPECT_EQ(file.at[0x2101], s.datamem[0] & 0xFF);
    EXPECT_EQ(file.at[0x2102], 0x00);
    EXPECT_EQ(file.at[0x210B], 0xAB);
    EXPECT_EQ(file.at.rbegin()->first, 0x2180);
}

// ---- on the real clock, where the chip checks every clock phase ----------

// A tenth of the image keeps a burn under a second of programming cycles.
void onrealclock(State& s) {
    sim::useRealTime();
    s.progused = 64;
    s.dataused = 8;
}

void expectnophasefaults(const char* what) {
    EXPECT_EQ(sim::board().phaseFaults(), 0) << what;
    EXPECT_EQ(sim::board().timingFaults(), 0) << what;
}

TEST_F(Program, NoClockPhaseUnderAMicrosecondInBurnVerifyEraseAndDetect) {
    onrealclock(s);
    ASSERT_TRUE(run(modeprogram));
    expectnophasefaults("burn");
    ASSERT_GT(sim::commands().size(), 250u);  // the chip took every frame
    ASSERT_TRUE(run(modeverify));
    expectnophasefaults("verify");
    rec.answers.push_back(Answer::Yes);
    ASSERT_TRUE(erasechip(s, rec));
    EXPECT_EQ(chip(0, 0), 0x3FFF);
    expectnophasefaults("erase");
    EXPECT_EQ(detecthardware(s), 1);
    expectnophasefaults("detect");
}

TEST_F(Program, ABurnBesideTwoBusyProcessesStaysCorrect) {
    onrealclock(s);
    std::vector<pid_t> busy;
    for (int i = 0; i < 2; ++i)
        if (const pid_t child = fork(); child == 0) {
            alarm(60);  // bounded even if this test dies
            for (volatile unsigned long spins = 0;;) spins = spins + 1;
        } else {
            busy.push_back(child);
        }
    const bool burnt = run(modeprogram);
    for (pid_t child : busy) kill(child, SIGKILL);
    for (pid_t child : busy) waitpid(child, nullptr, 0);
    ASSERT_EQ(busy.size(), 2u);
    ASSERT_TRUE(burnt);
    expectchipholdsimage(ZAVSIM_16F84);
    expectnophasefaults("burn under load");
}

}  // namespace
