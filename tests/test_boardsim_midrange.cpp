// SPDX-License-Identifier: GPL-2.0-or-later
// The 28/40-pin simulated chips (16F870-877, 16F873A-877A, 16F882-887) and
// the calibrated 8-, 14- and 20-pin ones (12F629/675, 16F630/676, 12F683,
// 16F684-690, 12F609/615/617, 16F610/616), driven with raw command
// sequences through the simulated board. The figures below are written from
// the chips' documents again, not taken from the board's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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
// space, as its programming document gives the sequences; and commands it
// does not have.
struct Way {
    const char* write;       // after the loads: writes the loaded latches
    const char* writeData;   // after a data load: writes the byte
    const char* eraseHere;   // from program space: program memory (the 873A's 31 data too)
    const char* eraseAll;    // from 0x2000: everything but a calibration word there
    const char* unknown;
};
const Way F87X{"24 w4", "8 w8", "2:3FFF 1 7 8 w8 1 7", "0:3FFF i7 1 7 8 w8 1 7", "9 11 10 17 23 31"};
const Way F87XA{"8 w10", "8 w10", "31 w10", "0:3FFF 31 w10", "1 7 10 17 22"};
const Way F88X{"8 w3", "8 w6", "9 w6", "0:3FFF 9 w6 11 w6", "1 7 14 22 23 31"};
const Way F629{"8 w3", "8 w6", "9 w6", "0:3FFF 9 w6 11 w6", "1 7 17 23 31"};
const Way F609{"24 w3 10 w0.1", "", "9 w6", "0:3FFF 9 w6", "3 5 8 11 17 23"};
const Way F617{"24 w3 10 w0.1", "", "9 w6", "0:3FFF 9 w6", "3 5 8 11 23"};

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
    {"12F617", ZAVSIM_12F617, 2048, 0, 0x1360, 0x0FFF, -1, 4, F617, 0x2008, 0x1E76, 0},
    {"16F610", ZAVSIM_16F610, 1024, 0, 0x2260, 0x03FF, -1, 1, F609, 0x2008, 0x1E88, 0},
    {"16F616", ZAVSIM_16F616, 2048, 0, 0x1240, 0x03FF, -1, 4, F617, 0x2008, 0x1E70, 0},
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
        setenv("QUIBB9X_SIM_CHIP", (std::string("pic ") + r.name).c_str(), 1);  // named as people write it
        sim::useSimulatedBoard();
        unsetenv("QUIBB9X_SIM_CHIP");
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
        // Configuration space a word at a time: ID 0, then the configuration
        // word after a Load Configuration of its own; ID 0 stays.
        run("+ 0:0123 " + std::string(r.way.write) + " - + 0:3FFF i7 2:" + hex(config & ~8) + " " + r.way.write +
            " - + 0:3FFF 4=0123 i7 4=" + hex(config & ~8) + " -");

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
        // Commands of other families are unknown and take no frame.
        const std::string unknown = r.way.unknown;
        run("+ " + unknown + " 4=3FFF -");
        EXPECT_EQ(faults(), Ints(std::count(unknown.begin(), unknown.end(), ' ') + 1, UNKNOWN));
    }
}

// CP1:CP0 twice, bits 13:12 and 5:4, a 0 in either copy counting: only the
// protected range reads 0. The 870-872 know no partial pattern.
TEST_F(Midrange, F87xPartialProtectionReadsZeroOnlyInItsRange) {
    const struct {
        int kind, words, config, from;
    } cases[] = {
        {ZAVSIM_16F877, 8192, 0x1BDF, 0x1000}, {ZAVSIM_16F877, 8192, 0x3BEF, 0x1F00},
        {ZAVSIM_16F877, 8192, 0x2BDF, 0},      {ZAVSIM_16F877, 8192, 0x0BCF, 0},
        {ZAVSIM_16F877, 8192, 0x3BFF, 8192},   {ZAVSIM_16F873, 4096, 0x2BFF, 0x0F00},
        {ZAVSIM_16F874, 4096, 0x1BFF, 0x0800}, {ZAVSIM_16F870, 2048, 0x1BDF, 0},
        {ZAVSIM_16F872, 2048, 0x3BEF, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.config));
        chip(c.kind, {{CONFIG, 0, c.config}});
        for (int i = 0; i < c.words; ++i) b().write(PROGRAM, i, 0x0AAA);
        if (c.from == c.words)
            run("+ i" + std::to_string(c.words - 1) + " 4=0AAA -");
        else if (c.from)
            run("+ i" + std::to_string(c.from - 1) + " 4=0AAA i1 4=0000 -");
        else
            run("+ 4=0000 -");
        EXPECT_EQ(b().isProtected(), c.from < c.words);
    }
    // Writes land below the range only; ID and configuration words and the
    // program-space erase are refused while any protection holds; the data
    // memory stays open without CPD. On the configuration word the 1/7
    // sequence clears everything.
    chip(ZAVSIM_16F877, {{CONFIG, 0, 0x1BDF}, {PROGRAM, 0x1000, 0x0BBB}, {DATA, 1, 0x11}});
    run("+ i4095 2:0555 24 w4 4=0555 i1 2:0666 24 w4 4=0000 i1 5=11 3:22 8 w8 2:3FFF 1 7 8 w8 1 7");
    run("- + 0:0123 8 w8 4=3FFF i7 2:3BFF 8 w8 4=1BDF -");
    EXPECT_EQ(Ints({b().read(PROGRAM, 0x0FFF), b().read(PROGRAM, 0x1000), b().read(DATA, 1)}),
              Ints({0x0555, 0x0BBB, 0x22}));
    EXPECT_EQ(written(), Ints({0x0FFF, 0x2101}));
    run("+ 0:3FFF i7 1 7 8 w8 1 7 -");
    EXPECT_EQ(Ints({b().read(PROGRAM, 0x1000), b().read(CONFIG, 0), b().isProtected()}), Ints({0x3FFF, 0x3BFF, 0}));
    EXPECT_EQ(written().back(), ZAVSIM_ERASED_CHIP);
    // CPD alone closes data memory and its 1/7 erase.
    chip(ZAVSIM_16F876, {{CONFIG, 0, 0x3AFF}, {DATA, 0, 0x44}, {PROGRAM, 0, 0x0100}});
    run("+ 5=0000 3:3FFF 1 7 8 w8 1 7 4=0100 2:3FFF 1 7 8 w8 1 7 4=3FFF -");
    EXPECT_EQ(b().read(DATA, 0), 0x44);
    EXPECT_EQ(faults(), Ints{});
}

// A calibration word of the configuration space survives a bulk erase
// issued from 0x2000 or from the word before it, even on a protected chip,
// and goes with one issued on it; it can then be written back.
TEST_F(Midrange, TheCalibrationWordFollowsTheCounterOfTheErase) {
    const struct {
        int kind, at, factory;
        const char* write;
    } cases[] = {{ZAVSIM_16F887, 0x2009, 0x2A57, "8 w3"},
                 {ZAVSIM_12F683, 0x2008, 0x1FA6, "8 w3"},
                 {ZAVSIM_16F610, 0x2008, 0x1E88, "24 w3 10 w0.1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.at));
        const std::string onIt = " i" + std::to_string(c.at - 0x2000);
        const std::string before = " i" + std::to_string(c.at - 0x2001);
        chip(c.kind);
        b().setProtected(1);
        run("+ 0:3FFF 9 w6 - + 0:3FFF" + before + " 9 w6 -");
        EXPECT_EQ(b().read(CALIBRATION, 0), c.factory);
        const Ints spared = written();
        EXPECT_EQ(std::count(spared.begin(), spared.end(), c.at), 0);
        b().eventClear();
        run("+ 0:3FFF" + onIt + " 4=" + hex(c.factory) + " 9 w6 4=3FFF");
        EXPECT_EQ(written().back(), c.at);
        EXPECT_EQ(b().read(CALIBRATION, 0), 0x3FFF);
        run("2:" + hex(c.factory) + " " + c.write + " 4=" + hex(c.factory) + " -");
        EXPECT_EQ(b().read(CALIBRATION, 0), c.factory);
        b().write(CALIBRATION, 0, 0x1234);
        run("+ 0:3FFF" + onIt + " 4=1234 -");
    }
    EXPECT_EQ(faults(), Ints{});
}

// OSCCAL (program word 0x3FF, a RETLW) goes with every bulk erase of
// program memory; the band-gap bits go with the configuration word when the
// erase is issued from 0x2000. Both can be written back, and a later
// configuration with BG = 11 (as assemblers write it) cannot set them.
TEST_F(Midrange, F629OsccalAndBandGapAreLostToABulkErase) {
    chip(ZAVSIM_12F629);
    EXPECT_EQ(Ints({b().read(CALIBRATION, 0), b().read(CALIBRATION, 1), b().read(CALIBRATION, 2)}),
              Ints({0x3494, 2, -1}));
    run("+ i1023 4=3494 9 w6 4=3FFF - + 0:3FFF i7 4=21FF -");  // from program space: BG stays
    EXPECT_EQ(Ints({b().read(CALIBRATION, 0), b().read(CALIBRATION, 1)}), Ints({0x3FFF, 2}));
    run("+ i1023 2:3494 8 w3 4=3494 - + 0:3FFF 9 w6 i7 4=31FF -");
    EXPECT_EQ(Ints({b().read(PROGRAM, 0x3FF), b().read(CALIBRATION, 1), b().read(CONFIG, 0)}),
              Ints({0x3FFF, 3, 0x31FF}));
    run("+ 0:3FFF i7 2:21FF 8 w3 2:3184 8 w3 4=2184 -");
    EXPECT_EQ(b().read(CALIBRATION, 1), 2);
    b().write(CALIBRATION, 1, 1);
    b().write(CALIBRATION, 0, 0x3480);
    EXPECT_EQ(Ints({b().read(CONFIG, 0), b().read(PROGRAM, 0x3FF)}), Ints({0x1184, 0x3480}));
    EXPECT_EQ(faults(), Ints{});
}

// Every timed cycle of the new families cut 10 µs short of the time its
// chip demands is a timing fault and does nothing; given the time, it works.
// Cycles that write begin at word or byte 0, erases find 0x0AAA there.
TEST_F(Midrange, ACycleCutShortOfItsTimeIsATimingFault) {
    const struct {
        int kind;
        const char* script;  // {t}: the wait
        double ms;
        int region;  // the cell the cycle changes; -1: the fault only (TDIS)
        bool erases;
    } cases[] = {
        {ZAVSIM_16F877, "2:0000 24 w{t} 6", 4, PROGRAM, false}, {ZAVSIM_16F877, "2:0000 8 w{t} 6", 8, PROGRAM, false},
        {ZAVSIM_16F877, "3:00 8 w{t} 6", 8, DATA, false}, {ZAVSIM_16F877, "3:00 24 w{t} 6", 4, DATA, false},
        {ZAVSIM_16F877, "2:3FFF 1 7 8 w{t} 6", 8, PROGRAM, true}, {ZAVSIM_16F877A, "2:0000 24 w{t} 23", 1, PROGRAM, false},
        {ZAVSIM_16F877A, "2:0000 8 w{t} 6", 10, PROGRAM, false}, {ZAVSIM_16F877A, "3:00 8 w{t} 6", 10, DATA, false},
        {ZAVSIM_16F877A, "31 w{t} 6", 10, PROGRAM, true}, {ZAVSIM_16F877A, "9 w{t} 6", 10, PROGRAM, true},
        {ZAVSIM_16F877A, "11 w{t} 6", 10, DATA, true}, {ZAVSIM_16F887, "2:0000 8 w{t} 6", 3, PROGRAM, false},
        {ZAVSIM_16F887, "3:00 8 w{t} 6", 6, DATA, false}, {ZAVSIM_16F887, "2:0000 24 w{t} 10", 2.5, PROGRAM, false},
        {ZAVSIM_16F887, "3:00 24 w{t} 10", 6, DATA, false}, {ZAVSIM_16F887, "2:0000 24 w2.5 10 w{t} 6", 0.1, -1, false},
        {ZAVSIM_16F887, "9 w{t} 6", 6, PROGRAM, true}, {ZAVSIM_16F887, "11 w{t} 6", 6, DATA, true},
        {ZAVSIM_16F887, "17 w{t} 6", 6, PROGRAM, true}, {ZAVSIM_12F675, "2:0000 8 w{t} 6", 3, PROGRAM, false},
        {ZAVSIM_12F675, "3:00 8 w{t} 6", 6, DATA, false}, {ZAVSIM_12F675, "2:0000 24 w{t} 10", 2, PROGRAM, false},
        {ZAVSIM_12F675, "9 w{t} 6", 6, PROGRAM, true}, {ZAVSIM_12F675, "11 w{t} 6", 6, DATA, true},
        {ZAVSIM_16F690, "2:0000 8 w{t} 6", 3, PROGRAM, false}, {ZAVSIM_16F690, "3:00 8 w{t} 6", 6, DATA, false},
        {ZAVSIM_16F690, "2:0000 24 w{t} 10", 3, PROGRAM, false}, {ZAVSIM_16F690, "2:0000 24 w3 10 w{t} 6", 0.1, -1, false},
        {ZAVSIM_16F690, "9 w{t} 6", 6, PROGRAM, true}, {ZAVSIM_16F690, "11 w{t} 6", 6, DATA, true},
        {ZAVSIM_16F690, "17 w{t} 6", 6, PROGRAM, true}, {ZAVSIM_12F617, "2:0000 24 w{t} 10", 3, PROGRAM, false},
        {ZAVSIM_12F617, "2:0000 24 w3 10 w{t} 6", 0.1, -1, false}, {ZAVSIM_12F617, "9 w{t} 6", 6, PROGRAM, true},
        {ZAVSIM_12F617, "17 w{t} 6", 6, PROGRAM, true},
    };
    for (const auto& c : cases) {
        for (const bool cut : {true, false}) {
            std::string script = c.script;
            const double wait = cut ? c.ms - 0.01 : c.ms;
            script.replace(script.find("{t}"), 3, std::to_string(wait));
            SCOPED_TRACE(script);
            chip(c.kind);
            if (c.erases) b().write(c.region, 0, 0x0AAA);
            const int before = c.region < 0 ? 0 : b().read(c.region, 0);
            run("+ " + script + " -");
            EXPECT_EQ(faults(), cut ? Ints{TIMING} : Ints{});
            if (c.region < 0) continue;
            const int after = c.erases ? (c.region == DATA ? 0xFF : 0x3FFF) : 0;
            EXPECT_EQ(b().read(c.region, 0), cut ? before : after);
        }
    }
}

// The board switches no VDD: every entry raises Vpp on a powered chip, and
// one that runs from its internal oscillator with MCLR tied inside has
// started its program by then. The 16F87x and 87xA have neither option.
TEST_F(Midrange, VddFirstEntryIsRefusedWithTheInternalOscillatorAndMclrOff) {
    const struct {
        int kind, blank;
    } chips[] = {{ZAVSIM_16F887, 0x3FFF}, {ZAVSIM_12F629, 0x31FF}, {ZAVSIM_16F684, 0x0FFF},
                 {ZAVSIM_12F615, 0x03FF}, {ZAVSIM_16F877, 0}, {ZAVSIM_16F877A, 0}};
    for (const auto& c : chips) {
        // FOSC 2:0 and MCLRE (bit 5): internal with I/O or CLKOUT and MCLR
        // off, internal with MCLR on, external RC with MCLR off.
        const int internalOff = (c.blank & ~0x27) | 4, clkoutOff = (c.blank & ~0x27) | 5;
        const int internalOn = (c.blank & ~0x07) | 4, externalOff = c.blank & ~0x20;
        for (const auto& [config, refused] : {std::pair{internalOff, true}, {clkoutOff, true},
                                              {internalOn, false}, {externalOff, false}}) {
            SCOPED_TRACE(hex(config));
            chip(c.kind, {{CONFIG, 0, config}});
            run("+ 6");
            const bool refuses = refused && c.blank;
            EXPECT_EQ(b().inProgrammingMode(), refuses ? 0 : 1);
            EXPECT_EQ(faults(), refuses ? Ints{BAD_ENTRY} : Ints{});
            run("-");
        }
    }
}

// The chip file keeps a configuration-space calibration word in a line of
// its own, and 8192 program words; a file without the word is refused.
TEST(MidrangeChipFile, TheCalibrationWordAndTheLargerMemoriesAreKept) {
    using namespace boardsim;
    Cells c = factoryCells(ZAVSIM_16F887), back{};
    c.program[8191] = 0x0FED;
    std::string text = formatChipFile(ZAVSIM_16F887, c, false), why;
    EXPECT_NE(text.find("program 8192\n"), std::string::npos);
    EXPECT_NE(text.find(" 0FED\nid 4\n3FFF 3FFF 3FFF 3FFF\nconfig 2\n3FFF 0700\ncalibration 1\n2A57\ndata 256\n"),
              std::string::npos);
    bool isProtected = true;
    ASSERT_TRUE(parseChipFile(text, ZAVSIM_16F887, back, isProtected, why)) << why;
    EXPECT_EQ(Ints({back.program[8191], back.calibration, isProtected}), Ints({0x0FED, 0x2A57, 0}));
    text.erase(text.find("calibration 1\n"), 19);
    EXPECT_FALSE(parseChipFile(text, ZAVSIM_16F887, back, isProtected, why));
    EXPECT_EQ(why, "line 521: expected 'calibration'");
}

}  // namespace
