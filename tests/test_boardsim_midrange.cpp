// SPDX-License-Identifier: GPL-2.0-or-later
// The 28/40-pin simulated chips (16F870-877, 16F873A-877A, 16F882-887) and
// the calibrated 8-, 14- and 20-pin ones (12F629/675, 16F630/676, 12F683,
// 16F684-690, 12F609/615/617, 16F610/616), driven with raw command
// sequences through the simulated board. The figures below are written from
// the chips' documents again, not taken from the board's table.
#include <gtest/gtest.h>

#include <cstdio>

#include "boardsim/chip.h"
#include "boardsim/chipfile.h"
#include "support/simboard.h"
#include "support/simscript.h"

namespace {

using namespace simscript;
constexpr int PROGRAM = 0, ID = 1, CONFIG = 2, DATA = 3, CALIBRATION = 4;
constexpr int TIMING = ZAVSIM_FAULT_TIMING, UNKNOWN = ZAVSIM_FAULT_UNKNOWN_COMMAND,
              BAD_ENTRY = ZAVSIM_FAULT_BAD_ENTRY;

std::string hex(int v) {
    char s[16];
    std::snprintf(s, sizeof s, "%X", v);
    return s;
}

// How each family writes, and erases from program and from configuration
// space, as its programming document gives the sequences.
struct Way {
    const char* write;       // after the loads: writes the loaded latches
    const char* writeData;   // after a data load: writes the byte
    const char* eraseHere;   // from program space: program memory (the 873A's 31 data too)
    const char* eraseAll;    // from 0x2000: everything but a calibration word there
};
const Way F87X{"24 w4", "8 w8", "2:3FFF 1 7 8 w8 1 7", "0:3FFF i7 1 7 8 w8 1 7"};
const Way F87XA{"8 w10", "8 w10", "31 w10", "0:3FFF 31 w10"};
const Way F88X{"8 w3", "8 w6", "9 w6", "0:3FFF 9 w6 11 w6"};
const Way F629{"8 w3", "8 w6", "9 w6", "0:3FFF 9 w6 11 w6"};
const Way F609{"24 w3 10 w0.1", "", "9 w6", "0:3FFF 9 w6"};

// cal: the calibration word in configuration space (0x2008 or 0x2009), or
// the 629 family's OSCCAL; bg its band-gap bits as they come new.
struct Row {
    const char* name;
    int kind, words, bytes, id, config, config2, latches;
    const Way& way;
    int calAt, cal, bg;
};
const Row rows[] = {
    {"16F870", ZAVSIM_16F870, 2048, 64, 0x0D00, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F871", ZAVSIM_16F871, 2048, 64, 0x0D20, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F872", ZAVSIM_16F872, 2048, 64, 0x08E0, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F873", ZAVSIM_16F873, 4096, 128, 0x0960, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F874", ZAVSIM_16F874, 4096, 128, 0x0920, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F876", ZAVSIM_16F876, 8192, 256, 0x09E0, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F877", ZAVSIM_16F877, 8192, 256, 0x09A0, 0x3BFF, -1, 1, F87X, 0, 0, 0},
    {"16F873A", ZAVSIM_16F873A, 4096, 128, 0x0E40, 0x2FCF, -1, 8, F87XA, 0, 0, 0},
    {"16F874A", ZAVSIM_16F874A, 4096, 128, 0x0E60, 0x2FCF, -1, 8, F87XA, 0, 0, 0},
    {"16F876A", ZAVSIM_16F876A, 8192, 256, 0x0E00, 0x2FCF, -1, 8, F87XA, 0, 0, 0},
    {"16F877A", ZAVSIM_16F877A, 8192, 256, 0x0E20, 0x2FCF, -1, 8, F87XA, 0, 0, 0},
    {"16F882", ZAVSIM_16F882, 2048, 128, 0x2000, 0x3FFF, 0x0700, 8, F88X, 0x2009, 0x2B52, 0},
    {"16F883", ZAVSIM_16F883, 4096, 256, 0x2020, 0x3FFF, 0x0700, 8, F88X, 0x2009, 0x2B4E, 0},
    {"16F884", ZAVSIM_16F884, 4096, 256, 0x2040, 0x3FFF, 0x0700, 8, F88X, 0x2009, 0x2A5C, 0},
    {"16F886", ZAVSIM_16F886, 8192, 256, 0x2060, 0x3FFF, 0x0700, 8, F88X, 0x2009, 0x2B61, 0},
    {"16F887", ZAVSIM_16F887, 8192, 256, 0x2080, 0x3FFF, 0x0700, 8, F88X, 0x2009, 0x2A57, 0},
    {"12F629", ZAVSIM_12F629, 1024, 128, 0x0F80, 0x31FF, -1, 1, F629, 0x3FF, 0x3494, 2},
    {"12F675", ZAVSIM_12F675, 1024, 128, 0x0FC0, 0x31FF, -1, 1, F629, 0x3FF, 0x348C, 1},
    {"16F630", ZAVSIM_16F630, 1024, 128, 0x10C0, 0x31FF, -1, 1, F629, 0x3FF, 0x34A4, 2},
    {"16F676", ZAVSIM_16F676, 1024, 128, 0x10E0, 0x31FF, -1, 1, F629, 0x3FF, 0x347C, 0},
    {"12F683", ZAVSIM_12F683, 2048, 256, 0x0460, 0x0FFF, -1, 4, F88X, 0x2008, 0x1FA6, 0},
    {"16F684", ZAVSIM_16F684, 2048, 256, 0x1080, 0x0FFF, -1, 4, F88X, 0x2008, 0x1F9C, 0},
    {"16F685", ZAVSIM_16F685, 4096, 256, 0x04A0, 0x0FFF, -1, 4, F88X, 0x2008, 0x1FB2, 0},
    {"16F687", ZAVSIM_16F687, 2048, 256, 0x1320, 0x0FFF, -1, 4, F88X, 0x2008, 0x1FA0, 0},
    {"16F688", ZAVSIM_16F688, 4096, 256, 0x1180, 0x0FFF, -1, 4, F88X, 0x2008, 0x1F98, 0},
    {"16F689", ZAVSIM_16F689, 4096, 256, 0x1340, 0x0FFF, -1, 4, F88X, 0x2008, 0x1FAC, 0},
    {"16F690", ZAVSIM_16F690, 4096, 256, 0x1400, 0x0FFF, -1, 4, F88X, 0x2008, 0x1FA4, 0},
    {"12F609", ZAVSIM_12F609, 1024, 0, 0x2240, 0x03FF, -1, 1, F609, 0x2008, 0x1E7A, 0},
    {"12F615", ZAVSIM_12F615, 1024, 0, 0x2180, 0x03FF, -1, 1, F609, 0x2008, 0x1E82, 0},
    {"12F617", ZAVSIM_12F617, 2048, 0, 0x1360, 0x0FFF, -1, 4, F609, 0x2008, 0x1E76, 0},
    {"16F610", ZAVSIM_16F610, 1024, 0, 0x2260, 0x03FF, -1, 1, F609, 0x2008, 0x1E88, 0},
    {"16F616", ZAVSIM_16F616, 2048, 0, 0x1240, 0x03FF, -1, 4, F609, 0x2008, 0x1E70, 0},
};

class Midrange : public ::testing::Test {
protected:
    void SetUp() override { sim::useSimulatedBoard(); }
    sim::Board& b() { return sim::board(); }
    void chip(int kind, std::initializer_list<std::array<int, 3>> cells = {}) {
        b().setChip(kind);
        for (const auto& c : cells) b().write(c[0], c[1], c[2]);
        b().eventClear();
    }
};

// Sizes, device ID, the blank chip with its factory calibration, counter
// wrap, the latches, a word and a byte programmed and read back, the erase
// extents and protection: every new chip by its own figures.
TEST_F(Midrange, EveryChipByItsOwnFigures) {
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        chip(r.kind);
        const bool osccal = r.calAt == 0x3FF;
        const int config = osccal ? (r.config & 0x0FFF) | r.bg << 12 : r.config;
        EXPECT_EQ(Ints({b().read(PROGRAM, r.words - 1), b().read(PROGRAM, r.words), b().read(DATA, r.bytes),
                        b().read(CONFIG, 0), b().read(CONFIG, 1)}),
                  Ints({osccal ? r.cal : 0x3FFF, -1, -1, config, r.config2}));
        EXPECT_EQ(b().read(DATA, r.bytes - 1), r.bytes ? 0xFF : -1);
        EXPECT_EQ(b().read(CALIBRATION, 0), r.calAt ? r.cal : -1);
        // Configuration space as read through the pins; the revision is 1.
        std::string space = "+ 0:3FFF 4=3FFF i6 4=" + hex(r.id | 1) + " i1 4=" + hex(config);
        if (r.config2 >= 0) space += " i1 4=" + hex(r.config2);
        if (r.calAt >= 0x2008) space += (r.calAt == 0x2009 && r.config2 < 0 ? " i2 4=" : " i1 4=") + hex(r.cal);
        run(space + " -");

        // Word 0 written, then read at the counter's wrap; byte 0 likewise.
        run("+ 2:1234 " + std::string(r.way.write) + " i" + std::to_string(r.words) + " 4=1234");
        if (r.bytes) run("3:5A " + std::string(r.way.writeData) + " i" + std::to_string(r.bytes) + " 5=5A");
        EXPECT_EQ(b().read(PROGRAM, 0), 0x1234);
        EXPECT_EQ(b().read(DATA, 0), r.bytes ? 0x5A : -1);

        // The latches of the first group at 8, one cycle; the next group untouched.
        b().eventClear();
        std::string loads = "- + i8";
        for (int i = 0; i < r.latches; ++i) loads += (i ? " i1 2:" : " 2:") + hex(0x100 + i);
        run(loads + " " + r.way.write + " - + i8 i" + std::to_string(r.latches - 1) + " 4=" +
            hex(0x100 + r.latches - 1) + " i1 4=3FFF -");
        Ints group;
        for (int i = 0; i < r.latches; ++i) group.push_back(8 + i);
        EXPECT_EQ(written(), group);

        // From program space the erase leaves the IDs; from 0x2000 it takes
        // everything, protection included, and keeps a calibration word of
        // the configuration space (the 629 family loses OSCCAL and BG).
        b().write(ID, 0, 0x0123);
        run(std::string("+ ") + r.way.eraseHere + " -");
        EXPECT_EQ(Ints({b().read(PROGRAM, 8), b().read(ID, 0)}), Ints({0x3FFF, 0x0123}));
        b().write(PROGRAM, 5, 0x0555);
        b().setProtected(1);
        run("+ i5 4=0000 -");
        EXPECT_EQ(b().isProtected(), 1);
        run(std::string("+ ") + r.way.eraseAll + " -");
        EXPECT_EQ(Ints({b().read(PROGRAM, 5), b().read(ID, 0), b().read(CONFIG, 0), b().read(DATA, 0),
                        b().isProtected()}),
                  Ints({0x3FFF, 0x3FFF, r.config, r.bytes ? 0xFF : -1, 0}));
        EXPECT_EQ(Ints({b().read(CALIBRATION, 0), b().read(CALIBRATION, 1)}),
                  osccal ? Ints({0x3FFF, 3}) : Ints({r.calAt ? r.cal : -1, -1}));
        EXPECT_EQ(faults(), Ints{});
    }
}

}  // namespace
