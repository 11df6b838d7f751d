// SPDX-License-Identifier: GPL-2.0-or-later
// Each chip's configuration fields by name and the editor on the chips after
// the original ones: a field changes exactly its bits, the fields cover every
// bit the chip has, unimplemented bits cannot be set.
#include <gtest/gtest.h>

#include "devices/select.h"
#include "settings/configfields.h"
#include "settings/configword.h"

namespace {

std::vector<const ChipRow*> newerchips() {
    std::vector<const ChipRow*> rows;
    for (const ChipRow& row : chiprows())
        if (!isoriginal(row)) rows.push_back(&row);
    return rows;
}

TEST(ConfigFields, EachFieldChangesExactlyItsBitsAndTheFieldsCoverTheChip) {
    for (const ChipRow* row : newerchips()) {
        State s;
        selectchip(s, *row);
        ConfigEditor e;
        uint16_t covered[2] = {0, 0};
        for (const ConfigField& f : configfields(*row)) {
            EXPECT_EQ(covered[f.word] & f.mask, 0) << row->name << " " << f.name << " overlaps";
            covered[f.word] |= f.mask;
            for (const uint16_t start : {uint16_t{0x0000}, uint16_t{0x3FFF}}) {
                for (int16_t& word : s.configmem) word = static_cast<int16_t>(start);
                s.configused = 2;
                e.updateC(s);
                for (const FieldChoice& c : f.choices) {
                    const uint16_t before = static_cast<uint16_t>(s.configmem[f.word]);
                    e.setfield(s, f.word, f.mask, c.value);
                    const uint16_t after = static_cast<uint16_t>(s.configmem[f.word]);
                    EXPECT_EQ((before ^ after) & ~f.mask, 0) << row->name << " " << f.name;
                    EXPECT_EQ(after & f.mask, c.value) << row->name << " " << f.name;
                    EXPECT_EQ(fieldchoice(f, after), &c - f.choices.data());
                }
            }
        }
        // Every bit a file gives; the factory's calibration bits are the chip's.
        EXPECT_EQ(covered[0], row->config(0).comparemask()) << row->name;
        if (row->words(Kind::config) > 1) EXPECT_EQ(covered[1], row->config(1).mask);
        EXPECT_TRUE(configfields(*chipbymodel(2)).empty());
    }
}

TEST(ConfigFields, UnimplementedBitsCannotBeSetAndTheOptionsUseTheChipsBits) {
    for (const ChipRow* row : newerchips()) {
        State s;
        selectchip(s, *row);
        ConfigEditor e;
        e.updateC(s);  // word 0
        for (int bit = 0; bit < 14; ++bit) {
            e.C_DblClick(s, bit);
            const bool has = row->config(0).bits[bit] != nullptr;
            EXPECT_EQ((s.configmem[0] >> bit) & 1, has ? 1 : 0) << row->name << " bit " << bit;
            EXPECT_EQ(bittooltip(*row, bit).rfind("Unimplemented", 0) == 0, !has);
        }
        EXPECT_EQ(s.configmem[0], static_cast<int16_t>(row->config(0).mask));
        e.cCP_Click(s, true);
        EXPECT_EQ(s.configmem[0], static_cast<int16_t>(row->config(0).mask & ~row->protection.cpbits));
        // The boxes write the chip's own bits: the timer on clears PWRTE
        // (bit 3, or 4 on the later chips), the watchdog off clears WDTE.
        const auto bitof = [&](const char* name) {
            for (int bit = 0; bit < 14; ++bit)
                if (row->config(0).bits[bit] && std::string(row->config(0).bits[bit]) == name) return bit;
            return -1;
        };
        const int pwrte = bitof("PWRTE"), wdte = bitof("WDTE");
        e.cPWRTE_Click(s, true);
        e.cWDTE_Click(s, false);
        EXPECT_EQ(s.configmem[0] ^ (row->config(0).mask & ~row->protection.cpbits),
                  (1 << pwrte) | (1 << wdte)) << row->name;
    }
    State s;
    selectchip(s, *findchip("16F628"));
    ConfigEditor e;
    e.OSC_Click(s, 3);  // RC: the external resistor with clock out, 111
    EXPECT_EQ(s.configmem[0] & 0x0013, 0x0013);
    e.OSC_Click(s, 2);
    EXPECT_EQ(s.configmem[0] & 0x0013, 0x0002);
    selectchip(s, *findchip("16F716"));
    e.OSC_Click(s, 3);
    EXPECT_EQ(s.configmem[0] & 0x0013, 0x0003);
    // FOSC2:0 in bits 2:0: RC is 111, HS 010; the check boxes follow.
    selectchip(s, *findchip("16F887"));
    e.setword(s, 0x3FF8);
    e.OSC_Click(s, 3);
    EXPECT_EQ(s.configmem[0], 0x3FFF);
    e.OSC_Click(s, 2);
    EXPECT_EQ(s.configmem[0], 0x3FFA);
    e.setword(s, 0x3FE7);  // WDTE and PWRTE clear
    EXPECT_FALSE(e.cWDTE);
    EXPECT_TRUE(e.cPWRTE);
    EXPECT_EQ(e.osc, 3);

}

}  // namespace
