// SPDX-License-Identifier: GPL-2.0-or-later
// The walk's plans on a row with what the next chip families bring: 8192
// program words written eight to a cycle, CONFIG2 at 0x2008 and a factory
// calibration word at 0x2009 after it, 256 data bytes. The image holds them
// all; no file burns the calibration word and no blank check expects it
// erased, but a read-out shows it.
#include <gtest/gtest.h>

#include "devices/select.h"
#include "image/image.h"
#include "operations/walk.h"
#include "support/recorder.h"

namespace {

constexpr WriteCycle eightwords{.begin = 8, .waitus = 3000, .latches = 8};
constexpr ChipRow nextfamily{
    .name = "16F8K",
    .family = Family::f81x,
    .memories = {Memory{.kind = Kind::program, .address = 0x0000, .words = 8192, .write = eightwords},
                 Memory{.kind = Kind::id, .address = 0x2000, .words = 4},
                 Memory{.kind = Kind::config, .address = 0x2007, .words = 1},
                 Memory{.kind = Kind::config, .address = 0x2008, .words = 1, .mask = 0x0700},
                 Memory{.kind = Kind::calibration, .address = 0x2009, .words = 1,
                        .erase = Erase::spared},
                 Memory{.kind = Kind::data, .address = 0x2100, .words = 256, .mask = 0xFF,
                        .erased = 0xFF, .load = 3, .read = 5}},
};

std::vector<std::pair<int32_t, int16_t>> visits(const Plan& plan) {
    std::vector<std::pair<int32_t, int16_t>> out;
    for (const Visit& v : plan) out.emplace_back(v.memory->address, v.count);
    return out;
}

TEST(Walk, ARowOfTheNextFamiliesIsHeldAndPlannedWhole) {
    State s;
    selectchip(s, nextfamily);
    Recorder f;
    const int16_t word = 0x1234;
    for (const int32_t last : {0x1FFF, 0x2003, 0x2008, 0x21FF})
        EXPECT_EQ(stuffrecord(s, f, last, &word, 1), 1) << std::hex << last;
    EXPECT_TRUE(f.boxes.empty());
    EXPECT_EQ(s.progmem[0x1FFF], word);
    EXPECT_EQ(s.configmem[1], word);
    EXPECT_GE(s.configmem.size(), 3u);  // room for the calibration word a read-out shows
    EXPECT_EQ(s.datamem[0xFF], word);
    EXPECT_EQ(stuffrecord(s, f, 0x200A, &word, 1), 0);

    // The file's words as far as its counters go; the calibration word never.
    s.progused = 8192;
    s.idused = 4;
    s.configused = 3;
    s.dataused = 256;
    using V = std::vector<std::pair<int32_t, int16_t>>;
    EXPECT_EQ(visits(burnplan(s)),
              (V{{0x0000, 8192}, {0x2000, 4}, {0x2100, 256}, {0x2007, 1}, {0x2008, 1}}));
    EXPECT_EQ(visits(blankplan(s)),
              (V{{0x0000, 8192}, {0x2000, 4}, {0x2007, 1}, {0x2008, 1}, {0x2100, 256}}));
    cleararrays(s);
    EXPECT_EQ(visits(readoutplan(s)),
              (V{{0x0000, 8192}, {0x2000, 4}, {0x2100, 256}, {0x2007, 1}, {0x2008, 1}, {0x2009, 1}}));
    EXPECT_EQ(std::vector<int>({s.progused, s.idused, s.configused, s.dataused}),
              std::vector<int>({8192, 4, 3, 256}));
    // Only CONFIG1 is reached through a new entry and has its status line.
    for (const Visit& v : readoutplan(s))
        EXPECT_EQ(v.fresh, v.memory->address == 0x2007) << std::hex << v.memory->address;
    EXPECT_EQ(std::string(burnplan(s)[3].line), "Configuration memory: ");
    EXPECT_EQ(burnplan(s)[4].line, nullptr);
}

}  // namespace
