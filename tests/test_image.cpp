// SPDX-License-Identifier: GPL-2.0-or-later
// The memory image: which records each region takes, what a refused record
// leaves behind, and the counters' high-water rule.
#include <gtest/gtest.h>

#include <numeric>

#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "image/image.h"
#include "support/chipfacts.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

class Image : public ::testing::Test {
protected:
    State s;
    Recorder f;
    void SetUp() override {
        // The 16F84's row, without touching the port.
        setdevice(s, 2);
    }
    int16_t store(int32_t address, std::vector<int16_t> words) {
        return stuffrecord(s, f, address, words.data(), static_cast<int32_t>(words.size()));
    }
    int16_t storeone(int32_t address, int16_t word = 0x1111) { return store(address, {word}); }
    std::vector<int16_t> arrays() const {
        std::vector<int16_t> all(std::begin(s.progmem), std::end(s.progmem));
        all.insert(all.end(), std::begin(s.idmem), std::end(s.idmem));
        all.insert(all.end(), std::begin(s.configmem), std::end(s.configmem));
        all.insert(all.end(), std::begin(s.datamem), std::end(s.datamem));
        return all;
    }
    int16_t counters(int i) const {
        const int16_t c[] = {s.progused, s.idused, s.configused, s.dataused};
        return c[i];
    }
};

}  // namespace

TEST_F(Image, EachRegionTakesExactlyTheChipsWords) {
    struct Case {
        int16_t device;
        int32_t last;      // the region's last word: accepted
        int region;        // 0 program, 1 ID, 2 configuration, 3 data
        int16_t used;      // the counter after the last word
    };
    for (const Case c : {Case{2, 0x03FF, 0, 1024}, Case{3, 0x01FF, 0, 512}, Case{2, 0x2003, 1, 4},
                         Case{2, 0x2007, 2, 1}, Case{2, 0x213F, 3, 64}}) {
        SCOPED_TRACE(c.last);
        s = State{};
        SetUp();
        setdevice(s, c.device);
        f.boxes.clear();
        EXPECT_EQ(storeone(c.last, 0x0AAA), 1);
        EXPECT_EQ(counters(c.region), c.used);
        EXPECT_TRUE(f.boxes.empty());

        // One word further is where the chip's counter wraps: refused.
        const auto before = arrays();
        EXPECT_EQ(storeone(c.last + 1, 0x0BBB), 0);
        ASSERT_EQ(f.boxes.size(), 1u);
        EXPECT_EQ(f.boxes[0].text, "Invalid address: 0x" + hexupper(c.last + 1));
        EXPECT_EQ(f.boxes[0].title, "");
        EXPECT_EQ(f.boxes[0].buttons, Buttons::Ok);
        EXPECT_EQ(counters(c.region), c.used);
        EXPECT_EQ(arrays(), before);  // nothing stored
    }
}

TEST_F(Image, RecordsPastTheLastWordAreRefusedWhole) {
    // 0x2005 and 0x2006 lie in the ID region's range but past its words; two
    // words at 0x2007 reach 0x2008.
    EXPECT_EQ(storeone(0x2005), 0);
    EXPECT_EQ(store(0x2007, {0x3FF1, 0x3FF2}), 0);
    EXPECT_EQ(s.configmem[0], 0);
    EXPECT_EQ(storeone(0x2009), 0);
    ASSERT_EQ(f.boxes.size(), 3u);
    EXPECT_EQ(f.boxes[0].text, "Invalid address: 0x2005");
    EXPECT_EQ(f.boxes[1].text, "Invalid address: 0x2008");
    EXPECT_EQ(f.boxes[2].text, "Invalid address: 0x2009");

    // The first five words would fit on the 16F83; none is stored.
    setdevice(s, 3);
    std::vector<int16_t> eight(8);
    std::iota(eight.begin(), eight.end(), 0x100);
    EXPECT_EQ(store(0x01FC, eight), 0);
    EXPECT_EQ(f.boxes.back().text, "Invalid address: 0x203");
    for (int i = 0x1FC; i <= 0x200; ++i) EXPECT_EQ(s.progmem[i], 0) << i;
    EXPECT_EQ(s.progused, 0);
}

TEST_F(Image, CountersAreHighWaterMarksAndOldWordsStay) {
    for (size_t i = 0; i < s.progmem.size(); ++i) s.progmem[i] = static_cast<int16_t>(0x2000 + i);
    std::vector<int16_t> zeros(8, 0);
    EXPECT_EQ(store(0, zeros), 1);
    EXPECT_EQ(store(16, zeros), 1);
    EXPECT_EQ(s.progused, 24);
    for (int i = 8; i < 16; ++i) EXPECT_EQ(s.progmem[i], 0x2000 + i) << i;

    // A lower record does not lower the mark; an empty record changes nothing.
    EXPECT_EQ(store(2, {0x3FFF}), 1);
    EXPECT_EQ(store(40, {}), 1);
    EXPECT_EQ(s.progused, 24);

    // A shorter second file: counter 10, its earlier words still held.
    std::vector<int16_t> hundred(100, 0x0111);
    cleararrays(s);
    EXPECT_EQ(store(0, hundred), 1);
    cleararrays(s);
    EXPECT_EQ(store(0, std::vector<int16_t>(10, 0x0222)), 1);
    EXPECT_EQ(s.progused, 10);
    EXPECT_EQ(s.progmem[10], 0x0111);
    EXPECT_EQ(s.progmem[99], 0x0111);

    // Words are kept as they came, bit 15 and all.
    EXPECT_EQ(store(0x2100, {static_cast<int16_t>(0xFFA5)}), 1);
    EXPECT_EQ(s.datamem[0], static_cast<int16_t>(0xFFA5));
}

TEST_F(Image, CleararraysResetsCountersOnly) {
    store(0, std::vector<int16_t>(1024, 0x0AAA));
    store(0x2000, {1, 2, 3, 4});
    store(0x2007, {0x3FF1});
    store(0x2100, std::vector<int16_t>(64, 0x00BB));
    cleararrays(s);
    EXPECT_EQ(s.progused + s.idused + s.configused + s.dataused, 0);
    EXPECT_EQ(s.progmem[1023], 0x0AAA);
    EXPECT_EQ(s.idmem[3], 4);
    EXPECT_EQ(s.configmem[0], 0x3FF1);
    EXPECT_EQ(s.datamem[63], 0xBB);
}

// Why a region must stop at the chip's last word: the chip's address counter
// wraps, so a 1025th program word is burnt over word 0.
TEST(ImageOnTheChip, Word1024LandsOnWord0) {
    sim::useSimulatedBoard();
    sim::board().setBase(0x278);
    sim::board().setChip(ZAVSIM_16F84);
    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = 0x278;
    vppreset(s);
    progcycle(s, cmd::loadprog, 0x0123);
    for (int i = 0; i < 1024; ++i) sendcmd(s, cmd::incaddr);
    progcycle(s, cmd::loadprog, 0x3210);
    sendcmd(s, cmd::readprog);
    EXPECT_EQ(recvdata(s), 0x3210);  // reading "word 1024" back passes...
    allpinslow(s);
    EXPECT_EQ(sim::board().read(0, 0), 0x3210);  // ...because word 0 was overwritten
}
