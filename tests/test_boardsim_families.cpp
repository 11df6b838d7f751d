// SPDX-License-Identifier: GPL-2.0-or-later
// The newer simulated chips (16F627/628, 16F627A/628A/648A, 16F818/819,
// 16F87/88, 16F716), driven with raw command sequences through the simulated
// board as their programming documents give them; the chip model fed VDD and
// PGM directly, which this board has no lines for; and the chip file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "boardsim/chip.h"
#include "boardsim/chipfile.h"
#include "core/binding.h"
#include "support/simboard.h"
#include "support/simscript.h"

namespace {

constexpr int PROGRAM = 0, ID = 1, CONFIG = 2, DATA = 3;
constexpr int TIMING = ZAVSIM_FAULT_TIMING, UNKNOWN = ZAVSIM_FAULT_UNKNOWN_COMMAND;
using namespace simscript;

class Families : public ::testing::Test {
protected:
    void SetUp() override { sim::useSimulatedBoard(); }
    sim::Board& b() { return sim::board(); }
    // A fresh chip with some cells set: {region, index, value}.
    void chip(int kind, std::initializer_list<std::array<int, 3>> cells = {}) {
        b().setChip(kind);
        for (const auto& c : cells) b().write(c[0], c[1], c[2]);
        clear();
    }
    void clear() { b().eventClear(); }
};

TEST_F(Families, TheTableListsEveryChipWithItsOwnFigures) {
    const auto count = simExport<int32_t (*)()>("zavsimChipCount");
    const auto info = simExport<int32_t (*)(int32_t, zavsim_chipinfo*)>("zavsimChipInfo");
    zavsim_chipinfo c{};
    std::string names;
    for (int i = 0; i < count(); ++i)
        names += (info(i, &c) && c.kind == i + 1) ? c.name + std::string(" ") : "?";
    EXPECT_EQ(names,
              "PIC16C84 PIC16F84 PIC16F83 PIC16F84A PIC16F627 PIC16F628 PIC16F627A PIC16F628A "
              "PIC16F648A PIC16F818 PIC16F819 PIC16F87 PIC16F88 PIC16F716 "
              "PIC16F870 PIC16F871 PIC16F872 PIC16F873 PIC16F874 PIC16F876 PIC16F877 "
              "PIC16F873A PIC16F874A PIC16F876A PIC16F877A "
              "PIC16F882 PIC16F883 PIC16F884 PIC16F886 PIC16F887 "
              "PIC12F629 PIC12F675 PIC16F630 PIC16F676 "
              "PIC12F683 PIC16F684 PIC16F685 PIC16F687 PIC16F688 PIC16F689 PIC16F690 "
              "PIC12F609 PIC12F615 PIC12F617 PIC16F610 PIC16F616 ");
    EXPECT_EQ(info(ZAVSIM_16F616, &c), 0);
    info(ZAVSIM_16F648A - 1, &c);
    EXPECT_EQ(Ints({c.program_words, c.data_bytes, c.config_mask[0], c.device_id, c.latches}),
              Ints({4096, 256, 0x21FF, 0x1100, 1}));
    info(ZAVSIM_16F88 - 1, &c);
    EXPECT_EQ(Ints({c.config_words, c.config_address[1], c.config_blank[1], c.device_id_mask, c.latches}),
              Ints({2, 0x2008, 0x0003, 0x3FF0, 4}));
    info(ZAVSIM_16F716 - 1, &c);
    EXPECT_EQ(Ints({c.data_bytes, c.config_blank[0], c.refuses_vdd_first, c.command_count}),
              Ints({0, 0x20CF, 0, 7}));
    const zavsim_command* k = c.commands;  // 0, 2, 4, 6, then 24, 14, 9
    EXPECT_EQ(Ints({k[3].code, k[4].does, int(k[4].program_ns), k[5].code, int(k[5].program_ns),
                    k[6].self_timed}),
              Ints({6, ZAVSIM_DO_BEGIN_PROGRAM, 2'000'000, 14, 100'000, 1}));
    // Protection by CP pattern, entry order, latches in configuration
    // space, rows and calibration, for the program's rows to be held to.
    const auto fields = [&](int kind) {
        info(kind - 1, &c);
        return Ints({c.protected_from[0], c.protected_from[1], c.protected_from[2], c.protected_from[3],
                     c.cp_bits, c.cpd_bit, c.lvp_bit, c.vpp_first, c.config_latches, c.row_words, c.mclre_bit,
                     c.fosc_mask, c.fosc_internal, c.calibration, c.calibration_address,
                     c.calibration_factory, c.bandgap_mask, c.bandgap_factory});
    };
    EXPECT_EQ(fields(ZAVSIM_16F628), Ints({0, 0x200, 0x400, 2048, 0x3C00, 0x100, 0x80, 1, 1, 0, 0x20, 0x12, 0x10,
                                           0, 0, 0, 0, 0}));
    EXPECT_EQ(fields(ZAVSIM_16F877), Ints({0, 0x1000, 0x1F00, 8192, 0x3030, 0x100, 0x80, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                           0, 0}));
    EXPECT_EQ(fields(ZAVSIM_16F877A), Ints({0, 0, 0, 8192, 0x2000, 0x100, 0x80, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fields(ZAVSIM_16F887), Ints({0, 0, 0, 8192, 0x40, 0x80, 0x1000, 1, 8, 16, 0x20, 0x06, 0x04,
                                           ZAVSIM_CALIBRATION_WORD, 0x2009, 0x2A57, 0, 0}));
    EXPECT_EQ(fields(ZAVSIM_12F629), Ints({0, 0, 0, 1024, 0x80, 0x100, 0, 1, 1, 0, 0x20, 0x06, 0x04,
                                           ZAVSIM_CALIBRATION_OSCCAL, 0x3FF, 0x3494, 0x3000, 0x2000}));
    EXPECT_EQ(fields(ZAVSIM_16F616), Ints({0, 0, 0, 2048, 0x40, 0, 0, 1, 1, 16, 0x20, 0x06, 0x04,
                                           ZAVSIM_CALIBRATION_WORD, 0x2008, 0x1E70, 0, 0}));
}

TEST_F(Families, NamedByTheEnvironmentWithTheirRevision) {
    setenv("QUIBB9X_SIM_CHIP", "pic16f628a", 1);
    setenv("QUIBB9X_SIM_REVISION", "5", 1);
    b().reset();
    unsetenv("QUIBB9X_SIM_CHIP");
    unsetenv("QUIBB9X_SIM_REVISION");
    EXPECT_EQ(
        Ints({b().read(PROGRAM, 2047), b().read(PROGRAM, 2048), b().read(DATA, 127), b().read(CONFIG, 0)}),
        Ints({0x3FFF, -1, 0xFF, 0x21FF}));
    run("+ 0:3FFF i6 4=1065 -");
    simExport<void (*)(int32_t)>("zavsimSetRevision")(0x13);
    chip(ZAVSIM_16F818);
    run("+ 0:3FFF i6 4=04C3 -");  // four revision bits
    b().reset();
    chip(ZAVSIM_16F716);
    run("+ 0:3FFF i6 4=1141 -");
}

TEST_F(Families, F628EraseProgramWith8ProgramOnlyWith24) {
    chip(ZAVSIM_16F628);
    // 24 leaves old AND new; 8 erases first. Word 2048 is word 0, byte 128 byte 0.
    run("+ 2:1234 24 w8 4=1234 2:0FF0 24 w8 4=0230 2:0FF0 8 w13 4=0FF0 i2047 3:1A5 24 w8 i1 4=0FF0 5=FF");
    EXPECT_EQ(written(), Ints({0, 0, 0, 0x217F}));
    EXPECT_EQ(b().read(DATA, 127), 0xA5);
    EXPECT_TRUE(faults().empty());
    clear();
    run("2:0001 8 w12.9 2:0001 24 w7.9 6 10 23 31 14");
    EXPECT_EQ(faults(), Ints({TIMING, TIMING, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN}));
    EXPECT_EQ(b().read(PROGRAM, 0), 0x0FF0);
}

TEST_F(Families, F628PartialProtectionAndTheProtectionErase) {
    // CP1:CP0 = 01 in both copies: 0x200-0x7FF protected, data open.
    chip(ZAVSIM_16F628,
         {{PROGRAM, 0x1FF, 0x0111}, {PROGRAM, 0x200, 0x0222}, {DATA, 3, 0x33}, {CONFIG, 0, 0x15FF}});
    run("+ i511 4=0111 i1 4=0000 2:0000 8 w13 i3 5=33 2:3FFF 9 8 w5");  // write and bulk erase refused
    EXPECT_EQ(Ints({b().read(PROGRAM, 0x200), b().read(PROGRAM, 0x1FF)}), Ints({0x0222, 0x0111}));
    EXPECT_TRUE(written().empty());
    run("- + 0:3FFF i7 1 7 8 w13 1 7");
    EXPECT_EQ(written(), Ints{ZAVSIM_ERASED_CHIP});
    EXPECT_EQ(Ints({b().read(PROGRAM, 0x200), b().read(DATA, 3), b().read(CONFIG, 0)}),
              Ints({0x3FFF, 0xFF, 0x3DFF}));
    EXPECT_TRUE(faults().empty());
    // On a 627 the pattern 10 protects nothing, 01 0x200-0x3FF.
    chip(ZAVSIM_16F627, {{PROGRAM, 0x3FF, 0x0444}, {CONFIG, 0, 0x29FF}});
    run("+ i1023 4=0444 -");
    b().write(CONFIG, 0, 0x15FF);
    run("+ i1023 4=0000 i1 4=3FFF");
}

TEST_F(Families, F62xAProgramOnlyWith8AndTheLongerTimes) {
    chip(ZAVSIM_16F648A);
    run("+ 2:3F0F 8 w4 2:00FF 8 w4 4=000F i4095 3:5A 8 w6 3:A5 8 w6 i1 4=000F");
    EXPECT_EQ(b().read(DATA, 255), 0xA5);  // data bytes are replaced
    EXPECT_TRUE(faults().empty());
    run("2:0000 8 w3.9 6 3:00 8 w5.9 6 24 1 7 23 31");  // 4 ms, not 2.5; data 6 ms
    EXPECT_EQ(faults(), Ints({TIMING, TIMING, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN}));
    EXPECT_EQ(b().read(PROGRAM, 0), 0x000F);
}

TEST_F(Families, F62xAEraseScopesFollowTheCounter) {
    chip(ZAVSIM_16F628A, {{PROGRAM, 7, 7}, {ID, 1, 0x0AAA}, {DATA, 9, 0x99}, {CONFIG, 0, 0x3FFF}});
    EXPECT_EQ(b().read(CONFIG, 0), 0x21FF);  // bits 12:9 are not implemented
    b().write(CONFIG, 0, 0x01FF);            // CP on
    run("+ 4=0000 2:3FFF 9 w6");             // from program space, protected: refused
    EXPECT_EQ(b().read(PROGRAM, 7), 7);
    run("0:3FFF 9 w6 11 w6");  // from 0x2000: IDs and configuration too
    EXPECT_EQ(written(),
              Ints({ZAVSIM_ERASED_PROGRAM, 0x2000, 0x2001, 0x2002, 0x2003, 0x2007, ZAVSIM_ERASED_DATA}));
    EXPECT_EQ(Ints({b().read(ID, 1), b().read(DATA, 9), b().read(CONFIG, 0), b().isProtected()}),
              Ints({0x3FFF, 0xFF, 0x21FF, 0}));
    chip(ZAVSIM_16F628A, {{PROGRAM, 7, 7}, {ID, 1, 0x0AAA}});
    run("+ 9 w5.9 6");  // self-timed: cut short, nothing erased
    EXPECT_EQ(faults(), Ints{TIMING});
    EXPECT_EQ(b().read(PROGRAM, 7), 7);
    run("9 w6");  // from program space the IDs stay
    EXPECT_EQ(Ints({b().read(PROGRAM, 7), b().read(ID, 1)}), Ints({0x3FFF, 0x0AAA}));
    // CPD alone: data reads 0 and refuses writes and its erase.
    chip(ZAVSIM_16F627A, {{PROGRAM, 0, 0x1111}, {ID, 0, 0x0123}, {DATA, 0, 0x44}, {CONFIG, 0, 0x20FF}});
    run("+ 4=1111 5=0000 3:55 8 w6 11 w6 0:3FFF 4=0123 i7 4=20FF");
    EXPECT_EQ(b().read(DATA, 0), 0x44);
    EXPECT_TRUE(written().empty());
}

TEST_F(Families, F81xFourLatchesChosenByTheCounter) {
    chip(ZAVSIM_16F819);
    run("+ 2:0100 i1 2:0101 i1 2:0102 i1 2:0103 24 w2 23");  // words 0-3 in one cycle
    EXPECT_EQ(written(), Ints({0, 1, 2, 3}));
    clear();
    // One word a cycle: the other latches hold 0x3FFF. Data one byte a cycle.
    run("i2 2:0F0F 24 w2 23 2:00FF 24 w2 23 3:12 24 w2 23 3:21 24 w2 23 i2043 4=0100 i256 5=FF");
    EXPECT_EQ(written(), Ints({5, 5, 0x2105, 0x2105}));
    EXPECT_EQ(Ints({b().read(PROGRAM, 3), b().read(PROGRAM, 4), b().read(PROGRAM, 5), b().read(DATA, 5)}),
              Ints({0x0103, 0x3FFF, 0x000F, 0x21}));
    EXPECT_TRUE(faults().empty());
}

TEST_F(Families, F81xCyclesEndWithTheirEndCommand) {
    chip(ZAVSIM_16F818);
    // 23 too early (1 ms by one reading, 2 by another), another command
    // instead of 23, and Vpp gone before it.
    run("+ 2:0001 24 w1.9 23 2:0002 24 w3 6 2:0003 24 w3 -");
    EXPECT_EQ(faults(), Ints({TIMING, TIMING, TIMING}));
    EXPECT_TRUE(written().empty());
    for (int i = 0; i < 64; ++i) b().write(PROGRAM, i, i);
    clear();
    run("+ i40 8 w1 23");  // 8 alone erases the 32-word row at the counter
    EXPECT_EQ(written().size(), 32u);
    EXPECT_EQ(Ints({written().front(), b().read(PROGRAM, 31), b().read(PROGRAM, 32)}),
              Ints({32, 31, 0x3FFF}));
    clear();
    run("9 8 w2 23 11 8 w2 23 23 1 7 14 10");  // bulk erases; 23 alone is harmless
    EXPECT_EQ(written(), Ints({ZAVSIM_ERASED_PROGRAM, ZAVSIM_ERASED_DATA}));
    EXPECT_EQ(faults(), Ints(4, UNKNOWN));
}

TEST_F(Families, F81xChipEraseAndProtection) {
    chip(ZAVSIM_16F818, {{PROGRAM, 1, 1}, {ID, 2, 2}, {DATA, 3, 3}, {CONFIG, 0, 0x1EFF}});  // CP, CPD
    run("+ i1 4=0000 5=00 9 8 w2 23");  // reads 0; bulk erase refused
    EXPECT_EQ(b().read(PROGRAM, 1), 1);
    run("31 w8");  // chip erase from program space: program and data only
    EXPECT_EQ(Ints({b().read(PROGRAM, 1), b().read(DATA, 3), b().read(ID, 2), b().read(CONFIG, 0)}),
              Ints({0x3FFF, 0xFF, 2, 0x1EFF}));
    run("0:3FFF 31 w7.9 6 0:3FFF 31 w8");  // from 0x2000 everything, after TPROG4
    EXPECT_EQ(faults(), Ints{TIMING});
    EXPECT_EQ(Ints({b().read(ID, 2), b().read(CONFIG, 0), b().isProtected(), written().back()}),
              Ints({0x3FFF, 0x3FFF, 0, ZAVSIM_ERASED_CHIP}));
}

TEST_F(Families, F88SecondConfigurationWordAndLongerErases) {
    chip(ZAVSIM_16F88);
    EXPECT_EQ(b().read(CONFIG, 1), 0x0003);
    // The latch loaded at 0x2007 belongs to the group the counter left: only
    // 0x2008 is written. Bits 13:2 of CONFIG2 are not implemented.
    run("+ 0:3FFF i7 2:3F2F i1 2:3FFE 24 w2 23");
    EXPECT_EQ(written(), Ints{0x2008});
    run("0:3FFF i7 2:3F2F 24 w2 23 4=3F2F i1 4=0002 i1 4=3FFF");
    clear();
    run("9 8 w2 23 0:3FFF 31 w9.9 6 0:3FFF 31 w10");  // 10 ms, not the 818's 2 and 8
    EXPECT_EQ(faults(), Ints({TIMING, TIMING}));
    EXPECT_EQ(Ints({b().read(CONFIG, 0), b().read(CONFIG, 1), b().read(CONFIG, 2)}),
              Ints({0x3FFF, 0x0003, -1}));
}

TEST_F(Families, F716EndsWith14WaitsTdisAndErasesItsConfiguration) {
    chip(ZAVSIM_16F716);
    EXPECT_EQ(Ints({b().read(CONFIG, 0), b().read(DATA, 0)}), Ints({0x20CF, -1}));
    run("+ 2:2800 i1 2:2801 24 w2 14 w0.1 i2048 4=2801");  // word 2049 is word 1
    EXPECT_EQ(written(), Ints({0, 1}));
    EXPECT_TRUE(faults().empty());
    run("2:0000 24 w2 14 6 2:0000 24 w2 23 3 5 11 8 31");  // under TDIS; 23 is not its end
    EXPECT_EQ(faults(), Ints({TIMING, TIMING, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN, UNKNOWN}));
    // The bulk erase takes the configuration word always, lifting CP.
    chip(ZAVSIM_16F716, {{PROGRAM, 9, 9}, {ID, 0, 0x0100}, {CONFIG, 0, 0x00CF}});
    run("+ i9 4=0000 9 w6");  // from program space: program memory and configuration
    EXPECT_EQ(written(), Ints({ZAVSIM_ERASED_PROGRAM, 0x2007}));
    EXPECT_EQ(Ints({b().read(ID, 0), b().read(CONFIG, 0)}), Ints({0x0100, 0x20CF}));
    run("0:3FFF 9 w6");  // from 0x2000 the IDs too
    EXPECT_EQ(b().read(ID, 0), 0x3FFF);
    // IDs as one group of four, then the configuration word: open again.
    run("0:0011 i1 2:0022 i1 2:0033 i1 2:0044 24 w2 14 w0.1 i4 2:3FC7 24 w2 14");
    EXPECT_EQ(Ints({b().read(ID, 0), b().read(ID, 3), b().read(CONFIG, 0)}), Ints({0x11, 0x44, 0x20C7}));
    EXPECT_TRUE(faults().empty());
}

// The board has no VDD line: VDD is always on, every entry VDD-first.
TEST_F(Families, InternalOscillatorWithMclrOffRefusesVddFirstEntry) {
    // INTRC with I/O or with CLKOUT and MCLRE 0 refuse; MCLRE 1, an external
    // resistor, or a chip without internal oscillator (716, 84A) enter.
    const std::array<int, 3> cases[] = {
        {ZAVSIM_16F628A, 0x21DC, 0}, {ZAVSIM_16F628A, 0x21DD, 0}, {ZAVSIM_16F628A, 0x21FC, 1},
        {ZAVSIM_16F628A, 0x21DF, 1}, {ZAVSIM_16F628, 0x3DDC, 0},  {ZAVSIM_16F819, 0x3FDC, 0},
        {ZAVSIM_16F87, 0x3FDC, 0},   {ZAVSIM_16F716, 0x2000, 1},  {ZAVSIM_16F84A, 0, 1}};
    for (const auto& [kind, config, enters] : cases) {
        chip(kind, {{CONFIG, 0, config}});
        run("+ 6");
        EXPECT_EQ(b().inProgrammingMode(), enters) << kind << " " << config;
        EXPECT_EQ(faults(), enters ? Ints{} : Ints{ZAVSIM_FAULT_BAD_ENTRY});
        EXPECT_EQ(sim::commands().size(), enters ? 1u : 0u);
        run("-");
    }
}

struct Recorder : boardsim::Events {
    void chipEvent(int64_t, int kind, int) override { faults += kind == 4; }
    int faults = 0;
};

TEST(FamilyEntry, VppBeforeVddAlwaysEntersAndPgmHighBlocksEntry) {
    Recorder r;
    boardsim::Chip chip(ZAVSIM_16F628A, r);
    chip.setCell(CONFIG, 0, 0x21DC);  // internal oscillator, MCLR off, LVP on
    boardsim::Pins pins{false, false, false, true};
    pins.vdd = false;
    chip.seat(pins);
    int64_t t = 0;
    // Set VDD, Vpp (and PGM); whether the chip is in programming mode.
    auto set = [&](bool vdd, bool vpp, bool pgm = false) {
        pins.vdd = vdd, pins.vpp = vpp, pins.pgm = pgm;
        chip.update(pins, t += 10'000);
        return chip.inProgrammingMode();
    };
    EXPECT_FALSE(set(false, true));  // no power yet
    EXPECT_TRUE(set(true, true));    // Vpp first
    EXPECT_FALSE(set(false, true));  // power gone
    set(true, false);
    EXPECT_FALSE(set(true, true));  // VDD first: refused
    set(false, false);
    EXPECT_TRUE(set(true, true));  // both at once count as Vpp first
    set(true, false);
    chip.setCell(CONFIG, 0, 0x21FF);
    EXPECT_FALSE(set(true, true, true));  // PGM high with LVP set
    set(true, false, true);
    chip.setCell(CONFIG, 0, 0x217F);  // LVP off: RB4 is I/O
    EXPECT_TRUE(set(true, true, true));
    EXPECT_EQ(r.faults, 2);
}

TEST(FamilyChipFile, EachChipKeepsItsOwnSizes) {
    using namespace boardsim;
    Cells c = blankCells(ZAVSIM_16F88);
    c.program[4095] = 0x1234, c.config = 0x3F2F, c.config2 = 0x0002, c.data[255] = 0x5A;
    const std::string text = formatChipFile(ZAVSIM_16F88, c, true);
    EXPECT_EQ(text.find("quibb9x simulated chip, format 1\nchip PIC16F88\nprotected 1\nprogram 4096\n"), 0u);
    EXPECT_NE(text.find("1234\nid 4\n3FFF 3FFF 3FFF 3FFF\nconfig 2\n3F2F 0002\ndata 256\n"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 8), " 5A\nend\n");
    Cells back{};
    bool isProtected = false;
    std::string why;
    ASSERT_TRUE(parseChipFile(text, ZAVSIM_16F88, back, isProtected, why)) << why;
    EXPECT_EQ(Ints({isProtected, back.program[4095], back.config2, back.data[255]}),
              Ints({1, 0x1234, 2, 0x5A}));
    // The 716 has no data memory.
    const std::string f716 = formatChipFile(ZAVSIM_16F716, blankCells(ZAVSIM_16F716), false);
    EXPECT_EQ(f716.substr(f716.size() - 25), "config 1\n20CF\ndata 0\nend\n");
    EXPECT_TRUE(parseChipFile(f716, ZAVSIM_16F716, back, isProtected, why)) << why;
}

}  // namespace
