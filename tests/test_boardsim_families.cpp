// The newer simulated chips (16F627/628, 16F627A/628A/648A, 16F818/819,
// 16F87/88, 16F716), driven with raw command sequences through the simulated
// board, as their programming documents give them; and the chip model fed
// pin levels directly where the board has no line for it (VDD, PGM).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "boardsim/chip.h"
#include "boardsim/chipfile.h"
#include "core/binding.h"
#include "support/simboard.h"

namespace {

constexpr int64_t MS = 1'000'000;
constexpr int PROGRAM = 0, ID = 1, CONFIG = 2, DATA = 3;

// Raw traffic: pin levels as control bytes, one microsecond before each.
struct Pic {
    void pins(bool vpp, bool clock, bool data, bool pcDrives = true) {
        sim::advance(1000);
        binding::zavOUT(0x27A, (clock ? 0 : 1) | (data ? 0 : 2) | (vpp ? 0 : 4) | (pcDrives ? 8 : 0));
    }
    void enter() {
        pins(false, false, false);
        pins(true, false, false);
    }
    void leave() { pins(false, false, false); }
    void bit(int b) {
        pins(true, false, b);
        pins(true, true, b);
        pins(true, false, b);
        pins(true, false, false);
    }
    void command(int code) {
        for (int i = 0; i < 6; ++i) bit((code >> i) & 1);
    }
    // Start and stop bits sent as 1, as some programmers do: these chips
    // ignore them.
    void load(int code, int word) {
        command(code);
        bit(1);
        for (int i = 0; i < 14; ++i) bit((word >> i) & 1);
        bit(1);
    }
    int read(int code) {
        command(code);
        int word = 0;
        for (int i = 0; i < 16; ++i) {
            pins(true, true, true, false);
            pins(true, false, true, false);
            const int pin11 = (binding::zavINP(0x279) & 0x80) ? 0 : 1;
            if (i >= 1 && i <= 14) word |= pin11 << (i - 1);
        }
        return word;
    }
    void increments(int n) {
        for (int i = 0; i < n; ++i) command(6);
    }
    void wait(int64_t ns) { sim::advance(ns); }
    // Counter to 0x2000 + offset with a load configuration of 0x3FFF.
    void toConfig(int offset = 0) {
        load(0, 0x3FFF);
        increments(offset);
    }
};

template <typename Fn>
Fn simExport(const char* name) {
    sim::board();
    return reinterpret_cast<Fn>(dlsym(binding::handle(), name));
}

std::vector<int> eventsOf(int kind) {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == kind) out.push_back(e.value);
    return out;
}
std::vector<int> faults() { return eventsOf(4); }
std::vector<int> written() { return eventsOf(3); }

class Families : public ::testing::Test {
protected:
    void SetUp() override { sim::useSimulatedBoard(); }
    void chip(int kind) {
        b().setChip(kind);
        clear();
    }
    void clear() {
        b().eventClear();
        b().logClear();
    }
    // A cycle that ends itself: the begin, then its time.
    void cycle(int begin, int64_t ns) {
        p.command(begin);
        p.wait(ns);
    }
    // An externally timed cycle: begin, time, end.
    void external(int begin, int64_t ns, int end) {
        p.command(begin);
        p.wait(ns);
        p.command(end);
    }
    sim::Board& b() { return sim::board(); }
    Pic p;
};

// ---- the table and the environment -----------------------------------------

TEST_F(Families, TheTableListsEveryChipWithItsOwnFigures) {
    const auto count = simExport<int32_t (*)()>("zavsimChipCount");
    const auto info = simExport<int32_t (*)(int32_t, zavsim_chipinfo*)>("zavsimChipInfo");
    ASSERT_TRUE(count && info);
    ASSERT_EQ(count(), 14);
    zavsim_chipinfo c{};
    EXPECT_EQ(info(14, &c), 0);
    std::vector<std::string> names;
    for (int i = 0; i < count(); ++i) {
        ASSERT_EQ(info(i, &c), 1);
        EXPECT_EQ(c.kind, i + 1);
        names.push_back(c.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"PIC16C84", "PIC16F84", "PIC16F83", "PIC16F84A", "PIC16F627",
                                               "PIC16F628", "PIC16F627A", "PIC16F628A", "PIC16F648A",
                                               "PIC16F818", "PIC16F819", "PIC16F87", "PIC16F88", "PIC16F716"}));

    auto command = [](const zavsim_chipinfo& row, int code) {
        for (int i = 0; i < row.command_count; ++i)
            if (row.commands[i].code == code) return row.commands[i];
        return zavsim_command{-1, -1, 0, 0, 0, 0};
    };
    info(ZAVSIM_16F648A - 1, &c);
    EXPECT_EQ(c.family, ZAVSIM_FAMILY_16F62XA);
    EXPECT_EQ(c.program_words, 4096);
    EXPECT_EQ(c.data_bytes, 256);
    EXPECT_EQ(c.config_mask[0], 0x21FF);
    EXPECT_EQ(c.device_id, 0x1100);
    EXPECT_EQ(command(c, 8).does, ZAVSIM_DO_PROGRAM);
    EXPECT_EQ(command(c, 8).program_ns, 4 * MS);
    EXPECT_EQ(command(c, 8).data_ns, 6 * MS);
    EXPECT_EQ(command(c, 24).code, -1);

    info(ZAVSIM_16F88 - 1, &c);
    EXPECT_EQ(c.config_words, 2);
    EXPECT_EQ(c.config_address[1], 0x2008);
    EXPECT_EQ(c.config_blank[1], 0x0003);
    EXPECT_EQ(c.device_id_mask, 0x3FF0);
    EXPECT_EQ(c.latches, 4);
    EXPECT_EQ(command(c, 31).program_ns, 10 * MS);
    EXPECT_EQ(command(c, 24).does, ZAVSIM_DO_BEGIN_PROGRAM);
    EXPECT_EQ(command(c, 23).does, ZAVSIM_DO_END_PROGRAM);

    info(ZAVSIM_16F716 - 1, &c);
    EXPECT_EQ(c.data_bytes, 0);
    EXPECT_EQ(c.config_blank[0], 0x20CF);
    EXPECT_EQ(c.refuses_vdd_first, 0);
    EXPECT_EQ(command(c, 3).code, -1);
    EXPECT_EQ(command(c, 14).program_ns, 100'000);
}

TEST_F(Families, NamedByTheEnvironmentWithTheirRevision) {
    setenv("QUIBB9X_SIM_CHIP", "pic16f628a", 1);
    setenv("QUIBB9X_SIM_REVISION", "5", 1);
    b().reset();
    unsetenv("QUIBB9X_SIM_CHIP");
    unsetenv("QUIBB9X_SIM_REVISION");
    EXPECT_EQ(b().read(PROGRAM, 2047), 0x3FFF);
    EXPECT_EQ(b().read(PROGRAM, 2048), -1);
    EXPECT_EQ(b().read(DATA, 127), 0xFF);
    EXPECT_EQ(b().read(CONFIG, 0), 0x21FF);
    p.enter();
    p.toConfig(6);
    EXPECT_EQ(p.read(4), 0x1065);
    p.leave();

    // Only the revision bits take it: four on the 818.
    simExport<void (*)(int32_t)>("zavsimSetRevision")(0x13);
    chip(ZAVSIM_16F818);
    p.enter();
    p.toConfig(6);
    EXPECT_EQ(p.read(4), 0x04C3);
    p.leave();
    b().reset();
    chip(ZAVSIM_16F84A);  // the default revision, 1
    p.enter();
    p.toConfig(6);
    EXPECT_EQ(p.read(4), 0x0561);
    chip(ZAVSIM_16F716);
    p.enter();
    p.toConfig(6);
    EXPECT_EQ(p.read(4), 0x1141);
}

// ---- 16F627/628 ----------------------------------------------------------------

TEST_F(Families, F628ErasesWith8AndOnlyProgramsWith24) {
    chip(ZAVSIM_16F628);
    p.enter();
    p.load(2, 0x1234);
    cycle(24, 8 * MS);
    EXPECT_EQ(p.read(4), 0x1234);
    p.load(2, 0x0FF0);
    cycle(24, 8 * MS);  // program only: old AND new
    EXPECT_EQ(p.read(4), 0x0230);
    p.load(2, 0x0FF0);
    cycle(8, 13 * MS);  // erase, then program
    EXPECT_EQ(p.read(4), 0x0FF0);
    p.increments(2047);
    p.load(3, 0x1A5);
    cycle(24, 8 * MS);  // data byte 127: the counter's low seven bits
    EXPECT_EQ(b().read(DATA, 127), 0xA5);
    p.increments(1);    // word 2048 is word 0
    EXPECT_EQ(p.read(4), 0x0FF0);
    EXPECT_EQ(p.read(5), 0xFF);  // byte 128 is byte 0
    EXPECT_EQ(written(), (std::vector<int>{0, 0, 0, 0x217F}));
    EXPECT_TRUE(faults().empty());

    // Each cycle's own time: 8 needs 13 ms, 24 needs 8 ms.
    clear();
    p.load(2, 0x0001);
    cycle(8, 12 * MS);
    p.load(2, 0x0001);
    cycle(24, 7 * MS + 900'000);
    p.command(6);
    EXPECT_EQ(faults(), (std::vector<int>{ZAVSIM_FAULT_TIMING, ZAVSIM_FAULT_TIMING}));
    EXPECT_EQ(b().read(PROGRAM, 0), 0x0FF0);

    // Commands of other families are unknown here.
    clear();
    for (int code : {10, 23, 31, 14}) p.command(code);
    EXPECT_EQ(faults(), std::vector<int>(4, ZAVSIM_FAULT_UNKNOWN_COMMAND));
}

TEST_F(Families, F628PartialProtectionAndTheProtectionErase) {
    chip(ZAVSIM_16F628);
    b().write(PROGRAM, 0x1FF, 0x0111);
    b().write(PROGRAM, 0x200, 0x0222);
    b().write(DATA, 3, 0x33);
    b().write(CONFIG, 0, 0x15FF);  // CP1:CP0 = 01 in both copies: 0x200-0x7FF
    EXPECT_EQ(b().read(CONFIG, 0), 0x15FF);
    p.enter();
    p.increments(0x1FF);
    EXPECT_EQ(p.read(4), 0x0111);
    p.increments(1);
    EXPECT_EQ(p.read(4), 0);  // protected: reads 0, refuses writes
    p.load(2, 0x0000);
    cycle(8, 13 * MS);
    p.increments(3);
    EXPECT_EQ(p.read(5), 0x33);  // CPD is off
    EXPECT_EQ(b().read(PROGRAM, 0x200), 0x0222);
    // A bulk erase is refused under protection.
    p.load(2, 0x3FFF);
    p.command(9);
    cycle(8, 5 * MS);
    EXPECT_EQ(b().read(PROGRAM, 0x1FF), 0x0111);
    EXPECT_TRUE(written().empty());

    // 1, 7, 8 on the configuration word erase everything.
    p.leave();
    p.enter();
    p.toConfig(7);
    p.command(1);
    p.command(7);
    cycle(8, 13 * MS);
    p.command(1);
    p.command(7);
    EXPECT_EQ(written(), std::vector<int>{ZAVSIM_ERASED_CHIP});
    EXPECT_EQ(b().read(PROGRAM, 0x200), 0x3FFF);
    EXPECT_EQ(b().read(DATA, 3), 0xFF);
    EXPECT_EQ(b().read(CONFIG, 0), 0x3DFF);  // bit 9 is not implemented
    EXPECT_TRUE(faults().empty());

    // On a 627 the pattern 10 protects nothing; 01 protects 0x200-0x3FF.
    chip(ZAVSIM_16F627);
    b().write(PROGRAM, 0x3FF, 0x0444);
    b().write(CONFIG, 0, 0x29FF);
    p.enter();
    p.increments(0x3FF);
    EXPECT_EQ(p.read(4), 0x0444);
    b().write(CONFIG, 0, 0x15FF);
    p.leave();
    p.enter();
    p.increments(0x3FF);
    EXPECT_EQ(p.read(4), 0);
}

// ---- 16F627A/628A/648A ---------------------------------------------------------

TEST_F(Families, F62xA8OnlyProgramsAndTakesTheLongerTime) {
    chip(ZAVSIM_16F648A);
    p.enter();
    p.load(2, 0x3F0F);
    cycle(8, 4 * MS);
    p.load(2, 0x00FF);
    cycle(8, 4 * MS);
    EXPECT_EQ(p.read(4), 0x000F);
    p.increments(4095);
    p.load(3, 0x5A);
    cycle(8, 6 * MS);  // data bytes are replaced
    p.load(3, 0xA5);
    cycle(8, 6 * MS);
    EXPECT_EQ(b().read(DATA, 255), 0xA5);
    p.increments(1);
    EXPECT_EQ(p.read(4), 0x000F);  // 4096 words, then word 0 again
    EXPECT_TRUE(faults().empty());

    // 2.5 ms by one document, 4 ms by the later one: the chip asks 4.
    p.load(2, 0x0000);
    cycle(8, 3 * MS);
    p.command(6);
    p.load(3, 0x00);
    cycle(8, 5 * MS);
    p.command(6);
    EXPECT_EQ(faults(), (std::vector<int>{ZAVSIM_FAULT_TIMING, ZAVSIM_FAULT_TIMING}));
    EXPECT_EQ(b().read(PROGRAM, 0), 0x000F);

    // No program-only 24, no set-up commands, no end command.
    clear();
    for (int code : {24, 1, 7, 23, 31}) p.command(code);
    EXPECT_EQ(faults(), std::vector<int>(5, ZAVSIM_FAULT_UNKNOWN_COMMAND));
}

TEST_F(Families, F62xAEraseScopesFollowTheCounter) {
    chip(ZAVSIM_16F628A);
    b().write(PROGRAM, 7, 0x0007);
    b().write(ID, 1, 0x0AAA);
    b().write(DATA, 9, 0x99);
    b().write(CONFIG, 0, 0x3FFF);  // bits 12:9 are not implemented
    EXPECT_EQ(b().read(CONFIG, 0), 0x21FF);
    b().write(CONFIG, 0, 0x01FF);  // CP on
    p.enter();
    EXPECT_EQ(p.read(4), 0);
    p.load(2, 0x3FFF);
    cycle(9, 6 * MS);  // from program space, and protected: refused
    EXPECT_EQ(b().read(PROGRAM, 7), 0x0007);

    // From configuration space the IDs and the configuration word go too.
    p.toConfig();
    cycle(9, 6 * MS);
    cycle(11, 6 * MS);
    EXPECT_EQ(written(), (std::vector<int>{ZAVSIM_ERASED_PROGRAM, 0x2000, 0x2001, 0x2002, 0x2003,
                                           0x2007, ZAVSIM_ERASED_DATA}));
    EXPECT_EQ(b().read(ID, 1), 0x3FFF);
    EXPECT_EQ(b().read(DATA, 9), 0xFF);
    EXPECT_EQ(b().read(CONFIG, 0), 0x21FF);
    EXPECT_EQ(b().isProtected(), 0);

    // Self-timed: a command before TERA is over erases nothing.
    p.leave();
    b().write(PROGRAM, 7, 0x0007);
    b().write(ID, 1, 0x0AAA);
    clear();
    p.enter();
    p.command(9);
    p.wait(5 * MS);
    p.command(6);
    EXPECT_EQ(faults(), std::vector<int>{ZAVSIM_FAULT_TIMING});
    EXPECT_EQ(b().read(PROGRAM, 7), 0x0007);
    cycle(9, 6 * MS);  // unprotected, from program space: the IDs stay
    EXPECT_EQ(b().read(PROGRAM, 7), 0x3FFF);
    EXPECT_EQ(b().read(ID, 1), 0x0AAA);
}

TEST_F(Families, F62xAProtectedDataReadsZeroAndConfigurationStaysReadable) {
    chip(ZAVSIM_16F627A);
    b().write(PROGRAM, 0, 0x1111);
    b().write(ID, 0, 0x0123);
    b().write(DATA, 0, 0x44);
    b().write(CONFIG, 0, 0x20FF);  // CPD on, CP off
    p.enter();
    EXPECT_EQ(p.read(4), 0x1111);
    EXPECT_EQ(p.read(5), 0);
    p.load(3, 0x55);
    cycle(8, 6 * MS);
    cycle(11, 6 * MS);  // refused too
    EXPECT_EQ(b().read(DATA, 0), 0x44);
    p.toConfig();
    EXPECT_EQ(p.read(4), 0x0123);
    p.increments(7);
    EXPECT_EQ(p.read(4), 0x20FF);
    EXPECT_TRUE(written().empty());
}

// ---- 16F818/819 and 16F87/88 -----------------------------------------------------

TEST_F(Families, F81xFourLatchesChosenByTheCounter) {
    chip(ZAVSIM_16F819);
    p.enter();
    p.load(2, 0x0100);
    for (int i = 1; i < 4; ++i) {
        p.increments(1);
        p.load(2, 0x0100 + i);
    }
    external(24, 2 * MS, 23);  // the counter is on word 3: words 0-3 go
    EXPECT_EQ(written(), (std::vector<int>{0, 1, 2, 3}));
    // One word a cycle works too: the other latches hold 0x3FFF.
    clear();
    p.increments(2);  // word 5
    p.load(2, 0x0F0F);
    external(24, 2 * MS, 23);
    p.load(2, 0x00FF);
    external(24, 2 * MS, 23);
    EXPECT_EQ(written(), (std::vector<int>{5, 5}));
    EXPECT_EQ(b().read(PROGRAM, 3), 0x0103);
    EXPECT_EQ(b().read(PROGRAM, 4), 0x3FFF);
    EXPECT_EQ(b().read(PROGRAM, 5), 0x000F);  // program only
    // Data: one byte a cycle, replaced.
    p.load(3, 0x12);
    external(24, 2 * MS, 23);
    p.load(3, 0x21);
    external(24, 2 * MS, 23);
    EXPECT_EQ(b().read(DATA, 5), 0x21);
    p.increments(2048 - 5);
    EXPECT_EQ(p.read(4), 0x0100);  // word 2048 is word 0
    p.increments(256);
    EXPECT_EQ(p.read(5), 0xFF);    // byte 2048 + 256 is byte 0
    EXPECT_TRUE(faults().empty());
}

TEST_F(Families, F81xCyclesEndWithTheirEndCommand) {
    chip(ZAVSIM_16F818);
    p.enter();
    p.load(2, 0x0001);
    external(24, 1 * MS, 23);  // 1 ms by one reading, 2 ms by another: too early
    p.load(2, 0x0002);
    p.command(24);
    p.wait(3 * MS);
    p.command(6);              // not ended
    p.load(2, 0x0003);
    p.command(24);
    p.wait(3 * MS);
    p.leave();                 // Vpp gone before the end
    EXPECT_EQ(faults(), std::vector<int>(3, ZAVSIM_FAULT_TIMING));
    EXPECT_TRUE(written().empty());
    EXPECT_EQ(b().read(PROGRAM, 0), 0x3FFF);

    // A row of 32 words: 8 alone erases the row at the counter, 1 ms.
    for (int i = 0; i < 64; ++i) b().write(PROGRAM, i, i);
    clear();
    p.enter();
    p.increments(40);
    external(8, 1 * MS, 23);
    EXPECT_EQ(written().size(), 32u);
    EXPECT_EQ(written().front(), 32);
    EXPECT_EQ(b().read(PROGRAM, 31), 31);
    EXPECT_EQ(b().read(PROGRAM, 32), 0x3FFF);
    EXPECT_EQ(b().read(PROGRAM, 63), 0x3FFF);
    // Bulk erases: 9 (or 11), then 8 … 23 after TPROG3, 2 ms.
    clear();
    p.command(9);
    external(8, 2 * MS, 23);
    p.command(11);
    external(8, 2 * MS, 23);
    EXPECT_EQ(written(), (std::vector<int>{ZAVSIM_ERASED_PROGRAM, ZAVSIM_ERASED_DATA}));
    // 23 with no cycle running is harmless; 1, 7 and 14 are unknown.
    clear();
    for (int code : {23, 1, 7, 14, 10}) p.command(code);
    EXPECT_EQ(faults(), std::vector<int>(4, ZAVSIM_FAULT_UNKNOWN_COMMAND));
}

TEST_F(Families, F81xChipEraseAndProtection) {
    chip(ZAVSIM_16F818);
    b().write(PROGRAM, 1, 0x0001);
    b().write(ID, 2, 0x0002);
    b().write(DATA, 3, 0x03);
    b().write(CONFIG, 0, 0x1EFF);  // CP and CPD on
    p.enter();
    p.increments(1);
    EXPECT_EQ(p.read(4), 0);
    EXPECT_EQ(p.read(5), 0);
    p.command(9);
    external(8, 2 * MS, 23);  // bulk erase: refused while protected
    EXPECT_EQ(b().read(PROGRAM, 1), 0x0001);
    cycle(31, 8 * MS);  // chip erase from program space: program and data only
    EXPECT_EQ(b().read(PROGRAM, 1), 0x3FFF);
    EXPECT_EQ(b().read(DATA, 3), 0xFF);
    EXPECT_EQ(b().read(ID, 2), 0x0002);
    EXPECT_EQ(b().read(CONFIG, 0), 0x1EFF);
    p.toConfig();
    p.command(31);
    p.wait(7 * MS);  // TPROG4 is 8 ms
    p.command(6);
    EXPECT_EQ(faults(), std::vector<int>{ZAVSIM_FAULT_TIMING});
    p.toConfig();
    cycle(31, 8 * MS);  // from 0x2000: everything, protection lifted
    EXPECT_EQ(b().read(ID, 2), 0x3FFF);
    EXPECT_EQ(b().read(CONFIG, 0), 0x3FFF);
    EXPECT_EQ(b().isProtected(), 0);
    EXPECT_EQ(written().back(), ZAVSIM_ERASED_CHIP);
}

TEST_F(Families, F88SecondConfigurationWordAndLongerErases) {
    chip(ZAVSIM_16F88);
    EXPECT_EQ(b().read(CONFIG, 1), 0x0003);
    p.enter();
    p.toConfig(7);
    p.load(2, 0x3F2F);
    p.increments(1);  // 0x2008: the next group of four latches
    p.load(2, 0x3FFE);
    external(24, 2 * MS, 23);
    EXPECT_EQ(written(), std::vector<int>{0x2008});
    p.toConfig(7);
    p.load(2, 0x3F2F);
    external(24, 2 * MS, 23);
    EXPECT_EQ(p.read(4), 0x3F2F);
    p.increments(1);
    EXPECT_EQ(p.read(4), 0x0002);  // bits 13:2 are not implemented
    EXPECT_EQ(b().read(CONFIG, 1), 0x0002);
    p.increments(1);
    EXPECT_EQ(p.read(4), 0x3FFF);  // 0x2009 is reserved

    // Bulk and chip erase take 10 ms here, not the 818's 2 and 8.
    clear();
    p.command(9);
    external(8, 2 * MS, 23);
    p.toConfig();
    p.command(31);
    p.wait(8 * MS);
    p.command(6);
    EXPECT_EQ(faults(), std::vector<int>(2, ZAVSIM_FAULT_TIMING));
    p.toConfig();
    cycle(31, 10 * MS);
    EXPECT_EQ(b().read(CONFIG, 1), 0x0003);
    EXPECT_EQ(b().read(CONFIG, 0), 0x3FFF);
    EXPECT_EQ(b().read(CONFIG, 2), -1);
    EXPECT_EQ(b().read(PROGRAM, 4095), 0x3FFF);
}

// ---- 16F716 ---------------------------------------------------------------------

TEST_F(Families, F716ProgramsFourWordsEndsWith14AndWaitsTdis) {
    chip(ZAVSIM_16F716);
    EXPECT_EQ(b().read(CONFIG, 0), 0x20CF);
    EXPECT_EQ(b().read(DATA, 0), -1);
    p.enter();
    p.load(2, 0x2800);
    p.increments(1);
    p.load(2, 0x2801);
    external(24, 2 * MS, 14);
    p.wait(100'000);
    p.increments(2048);
    EXPECT_EQ(p.read(4), 0x2801);  // word 2049 is word 1
    EXPECT_EQ(written(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(faults().empty());

    clear();
    p.load(2, 0x0000);
    external(24, 2 * MS, 14);
    p.command(6);  // under TDIS after the end
    p.load(2, 0x0000);
    external(24, 2 * MS, 23);  // the 818's end command is unknown here
    for (int code : {3, 5, 11, 8, 31}) p.command(code);
    EXPECT_EQ(faults(), (std::vector<int>{ZAVSIM_FAULT_TIMING, ZAVSIM_FAULT_TIMING,
                                          ZAVSIM_FAULT_UNKNOWN_COMMAND, ZAVSIM_FAULT_UNKNOWN_COMMAND,
                                          ZAVSIM_FAULT_UNKNOWN_COMMAND, ZAVSIM_FAULT_UNKNOWN_COMMAND,
                                          ZAVSIM_FAULT_UNKNOWN_COMMAND, ZAVSIM_FAULT_UNKNOWN_COMMAND}));
}

TEST_F(Families, F716BulkEraseScopeAndProtection) {
    chip(ZAVSIM_16F716);
    b().write(PROGRAM, 9, 0x0009);
    b().write(ID, 0, 0x0100);
    b().write(CONFIG, 0, 0x00CF);  // CP on
    p.enter();
    p.increments(9);
    EXPECT_EQ(p.read(4), 0);
    cycle(9, 6 * MS);  // from program space: program memory and configuration word
    EXPECT_EQ(written(), (std::vector<int>{ZAVSIM_ERASED_PROGRAM, 0x2007}));
    EXPECT_EQ(b().read(ID, 0), 0x0100);
    EXPECT_EQ(b().read(CONFIG, 0), 0x20CF);
    p.toConfig();
    cycle(9, 6 * MS);  // from 0x2000 the IDs too
    EXPECT_EQ(b().read(ID, 0), 0x3FFF);
    EXPECT_TRUE(faults().empty());
}

// ---- entry ------------------------------------------------------------------------

// The board has no VDD line: VDD is always on, so every entry is VDD-first.
TEST_F(Families, InternalOscillatorWithMclrOffRefusesVddFirstEntry) {
    struct Case {
        int kind;
        int config;
        bool enters;
    };
    const Case cases[] = {
        {ZAVSIM_16F628A, 0x21DC, false},  // INTRC with RA6/RA7 I/O, MCLRE 0
        {ZAVSIM_16F628A, 0x21DD, false},  // INTRC with CLKOUT
        {ZAVSIM_16F628A, 0x21FC, true},   // MCLRE 1
        {ZAVSIM_16F628A, 0x21DF, true},   // external resistor
        {ZAVSIM_16F628, 0x3DDC, false},
        {ZAVSIM_16F819, 0x3FDC, false},
        {ZAVSIM_16F87, 0x3FDC, false},
        {ZAVSIM_16F716, 0x2000, true},    // no internal oscillator, no MCLRE
        {ZAVSIM_16F84A, 0x0000, true},
    };
    for (const Case& c : cases) {
        chip(c.kind);
        b().write(CONFIG, 0, c.config);
        p.enter();
        EXPECT_EQ(b().inProgrammingMode(), c.enters ? 1 : 0) << c.kind << " " << c.config;
        EXPECT_EQ(faults(), c.enters ? std::vector<int>{} : std::vector<int>{ZAVSIM_FAULT_BAD_ENTRY});
        p.command(6);
        EXPECT_EQ(sim::commands().size(), c.enters ? 1u : 0u);
        p.leave();
    }
}

class Recorder : public boardsim::Events {
public:
    void chipEvent(int64_t, int kind, int value) override { seen.emplace_back(kind, value); }
    std::vector<std::pair<int, int>> seen;
};

// VDD and PGM lines straight into the chip model.
TEST(FamilyEntry, VppBeforeVddAlwaysEntersAndPgmHighBlocksEntry) {
    Recorder r;
    boardsim::Chip chip(ZAVSIM_16F628A, r);
    chip.setCell(CONFIG, 0, 0x21DC);  // internal oscillator, MCLR off, LVP on
    boardsim::Pins pins{false, false, false, true};
    pins.vdd = false;
    chip.seat(pins);
    int64_t t = 0;
    auto feed = [&] { chip.update(pins, t += 10'000); };
    pins.vpp = true;
    feed();
    EXPECT_FALSE(chip.inProgrammingMode());  // no power yet
    pins.vdd = true;
    feed();
    EXPECT_TRUE(chip.inProgrammingMode());
    pins.vdd = false;  // power gone: out again
    feed();
    EXPECT_FALSE(chip.inProgrammingMode());
    pins.vpp = false;
    feed();
    pins.vdd = true;
    feed();
    pins.vpp = true;  // VDD first
    feed();
    EXPECT_FALSE(chip.inProgrammingMode());
    pins.vpp = pins.vdd = false;
    feed();
    pins.vpp = pins.vdd = true;  // both at once count as Vpp first
    feed();
    EXPECT_TRUE(chip.inProgrammingMode());
    pins.vpp = false;
    feed();

    // PGM held high with LVP set: high-voltage entry fails either way.
    chip.setCell(CONFIG, 0, 0x21FF);
    pins.pgm = true;
    pins.vpp = true;
    feed();
    EXPECT_FALSE(chip.inProgrammingMode());
    pins.vpp = false;
    feed();
    chip.setCell(CONFIG, 0, 0x217F);  // LVP off: RB4 is only I/O
    pins.vpp = true;
    feed();
    EXPECT_TRUE(chip.inProgrammingMode());
    int badEntries = 0;
    for (const auto& [kind, value] : r.seen) badEntries += kind == 4 && value == ZAVSIM_FAULT_BAD_ENTRY;
    EXPECT_EQ(badEntries, 2);
}

// ---- the chip file ---------------------------------------------------------------

TEST(FamilyChipFile, EachChipKeepsItsOwnSizes) {
    using namespace boardsim;
    Cells c = blankCells(ZAVSIM_16F88);
    c.program[4095] = 0x1234;
    c.config = 0x3F2F;
    c.config2 = 0x0002;
    c.data[255] = 0x5A;
    const std::string text = formatChipFile(ZAVSIM_16F88, c, true);
    EXPECT_EQ(text.substr(0, text.find("program 4096\n") + 13),
              "quibb9x simulated chip, format 1\nchip PIC16F88\nprotected 1\nprogram 4096\n");
    EXPECT_NE(text.find("1234\nid 4\n3FFF 3FFF 3FFF 3FFF\nconfig 2\n3F2F 0002\ndata 256\n"), std::string::npos);
    EXPECT_NE(text.find(" 5A\nend\n"), std::string::npos);
    Cells back = blankCells(ZAVSIM_16F88);
    bool isProtected = false;
    std::string why;
    ASSERT_TRUE(parseChipFile(text, ZAVSIM_16F88, back, isProtected, why)) << why;
    EXPECT_TRUE(isProtected);
    EXPECT_EQ(back.program[4095], 0x1234);
    EXPECT_EQ(back.config2, 0x0002);
    EXPECT_EQ(back.data[255], 0x5A);

    // The 716 has no data memory; a file sized for another chip is refused.
    const std::string f716 = formatChipFile(ZAVSIM_16F716, blankCells(ZAVSIM_16F716), false);
    EXPECT_EQ(f716.substr(f716.size() - 25), "config 1\n20CF\ndata 0\nend\n");
    EXPECT_TRUE(parseChipFile(f716, ZAVSIM_16F716, back, isProtected, why)) << why;
    std::string as628 = formatChipFile(ZAVSIM_16F628, blankCells(ZAVSIM_16F628), false);
    as628.replace(as628.find("PIC16F628"), 9, "PIC16F627");
    EXPECT_FALSE(parseChipFile(as628, ZAVSIM_16F627, back, isProtected, why));
    EXPECT_EQ(why, "line 5: 'program' holds 2048 words, the chip has 1024");
}

}  // namespace
