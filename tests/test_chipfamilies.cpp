// SPDX-License-Identifier: GPL-2.0-or-later
// The chips after the 16F84A, each on its simulated chip, through the command
// line in-process: burn of a gpasm-made file, verify, both read-outs equal
// to the file, erase, blank-check, --only-changed, a protected chip, the
// device-ID checks and --device auto; never a timing fault or a command the
// chip does not know. And the program's chip table against the simulated
// board's own, field by field.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include <dlfcn.h>

#include "cli/commands.h"
#include "core/binding.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/calibration.h"
#include "support/recorder.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace {

// Each row's gpasm-made file: one per family, assembled for its smallest
// chip (tests/fixtures/make-fixtures.sh). A row without one fails the
// table-driven tests below.
struct Fixture {
    const char* file;
    std::vector<const char*> chips;
};
const Fixture fixtures[] = {
    {"c84_blink_inhx32.hex", {"16C84"}},
    {"f84_blink_inhx32.hex", {"16F84", "16F84A"}},
    {"f83_blink_inhx32.hex", {"16F83"}},
    {"f627_blink_inhx32.hex", {"16F627"}},
    {"f628_blink_inhx32.hex", {"16F628"}},
    {"f627a_blink_inhx32.hex", {"16F627A"}},
    {"f628a_blink_inhx32.hex", {"16F628A"}},
    {"f648a_blink_inhx32.hex", {"16F648A"}},
    {"f818_blink_inhx32.hex", {"16F818"}},
    {"f819_blink_inhx32.hex", {"16F819"}},
    {"f88_blink_inhx32.hex", {"16F87", "16F88"}},
    {"f716_blink_inhx32.hex", {"16F716"}},
    {"f870_blink_inhx32.hex", {"16F870", "16F871", "16F872", "16F873", "16F874", "16F876", "16F877"}},
    {"f873a_blink_inhx32.hex", {"16F873A", "16F874A", "16F876A", "16F877A"}},
    {"f882_blink_inhx32.hex", {"16F882", "16F883", "16F884", "16F886", "16F887"}},
    {"f683_blink_inhx32.hex", {"12F683", "16F684", "16F685", "16F687", "16F688", "16F689", "16F690"}},
    {"f609_blink_inhx32.hex", {"12F609", "12F615", "12F617", "16F610", "16F616"}},
    {"f629_blink_inhx32.hex", {"12F629", "12F675"}},
    {"f630_blink_inhx32.hex", {"16F630", "16F676"}},
};

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

std::string fixturefor(const ChipRow& row) {
    for (const Fixture& f : fixtures)
        for (const char* chip : f.chips)
            if (std::string(chip) == row.name) return fixture(f.file);
    ADD_FAILURE() << "no fixture for " << chiplabel(row) << ": add one to the table";
    return "";
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome quibb9x(std::vector<std::string> args) {
    args.insert(args.begin(), {"quibb9x", "--port", "0x278"});
    cli::Options o;
    std::string error;
    EXPECT_TRUE(cli::parseoptions(args, o, error)) << error;
    const CliRun r = runcaptured(o);
    return {r.status, r.out, r.err};
}

// The words of a HEX file by word address (INHX32 as gpasm writes it).
std::map<int32_t, int32_t> hexwords(const std::string& path) {
    std::map<int32_t, int32_t> words;
    std::ifstream in(path);
    std::string line;
    int32_t upper = 0;
    while (std::getline(in, line)) {
        if (line.size() < 11 || line[0] != ':') continue;
        const int n = std::stoi(line.substr(1, 2), nullptr, 16);
        const int32_t address = std::stoi(line.substr(3, 4), nullptr, 16);
        const int type = std::stoi(line.substr(7, 2), nullptr, 16);
        if (type == 4) upper = std::stoi(line.substr(9, 4), nullptr, 16) << 16;
        if (type != 0) continue;
        for (int i = 0; i + 1 < n; i += 2)
            words[(upper + address + i) / 2] = std::stoi(line.substr(9 + 2 * i, 2), nullptr, 16) |
                                               std::stoi(line.substr(11 + 2 * i, 2), nullptr, 16) << 8;
    }
    return words;
}

// A word of the simulated chip by its address; the calibration word in
// configuration space is region 4.
int32_t chipword(const ChipRow& row, int32_t address) {
    for (const Memory& m : row.memories)
        if (m.kind == Kind::calibration && m.address == address) return sim::board().read(4, 0);
    if (address >= 0x2100) return sim::board().read(3, address - 0x2100);
    if (address >= 0x2007) return sim::board().read(2, address - 0x2007);
    if (address >= 0x2000) return sim::board().read(1, address - 0x2000);
    return sim::board().read(0, address);
}

// The bits of a word at an address on the row's chip that a burn compares
// (not those of the factory's calibration, which are the chip's own).
int32_t maskat(const ChipRow& row, int32_t address) {
    for (const Memory& m : row.memories)
        if (m.kind != Kind::none && address >= m.address && address < m.address + m.readoutwords())
            return m.comparemask();
    return 0x3FFF;
}

// The simulated board's own table.
std::vector<zavsim_chipinfo> simchips() {
    sim::board();
    auto count = reinterpret_cast<int32_t (*)()>(dlsym(binding::handle(), "zavsimChipCount"));
    auto info = reinterpret_cast<int32_t (*)(int32_t, zavsim_chipinfo*)>(
        dlsym(binding::handle(), "zavsimChipInfo"));
    std::vector<zavsim_chipinfo> all;
    if (!count || !info) return all;
    for (int32_t i = 0; i < count(); ++i) {
        zavsim_chipinfo c;
        if (info(i, &c) == 1) all.push_back(c);
    }
    return all;
}

const zavsim_chipinfo* simchipof(const ChipRow& row) {
    static const std::vector<zavsim_chipinfo> all = simchips();
    for (const zavsim_chipinfo& c : all)
        if (chiplabel(row) == c.name) return &c;
    return nullptr;
}

// Every fault the chip saw (timing, unknown command, frame, entry, phase).
int faults() {
    int n = 0;
    for (const auto& e : sim::chipEvents()) n += e.kind == 4;
    return n;
}

// Rows by their place in the table, named for the test list.
std::vector<size_t> rowsof(bool originals) {
    std::vector<size_t> rows;
    for (size_t i = 0; i < chiprows().size(); ++i)
        if (originals || !isoriginal(chiprows()[i])) rows.push_back(i);
    return rows;
}
std::string rowname(const ::testing::TestParamInfo<size_t>& info) {
    return chiplabel(chiprows()[info.param]);
}

struct Rows : ::testing::TestWithParam<size_t> {
    ScratchDir scratch{"families", true};
    const ChipRow& row = chiprows()[GetParam()];
    const std::string file = fixturefor(row);
    void SetUp() override {
        sim::useSimulatedBoard();
        const zavsim_chipinfo* chip = simchipof(row);
        ASSERT_NE(chip, nullptr) << "no simulated " << chiplabel(row);
        sim::board().setChip(chip->kind);
    }
    // The file's words as the chip keeps them, under each word's mask.
    void expectchipholds(const std::string& path) {
        for (const auto& [address, word] : hexwords(path))
            EXPECT_EQ(chipword(row, address) & maskat(row, address), word & maskat(row, address))
                << std::hex << address;
    }
};
using EveryRow = Rows;
using NewerRow = Rows;

// Burn, verify, both read-outs equal to the file, erase and blank check on
// every row's simulated chip, with no fault of any kind; a factory
// calibration word is shown by the read-out and kept through it all.
TEST_P(EveryRow, BurnVerifyReadOutEraseAndBlankCheckEndToEnd) {
    const std::string dir = scratch.path().string();
    const std::vector<std::string> device = {"--device", row.name};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), device.begin(), device.end());
        return quibb9x(args);
    };
    const int32_t factory = sim::board().read(4, 0);
    Outcome r = run({"burn", file});
    ASSERT_EQ(r.status, 0) << r.err;
    if (!isoriginal(row)) {
        // Each region's line is followed by what is done to it, never by the
        // next region's (an empty label in a file or a pipe).
        std::istringstream out(r.out);
        std::vector<std::string> lines;
        for (std::string line; std::getline(out, line);) lines.push_back(line);
        int regions = 0;
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i].size() > 2 && lines[i].substr(lines[i].size() - 2) == ": ") {
                ++regions;
                EXPECT_TRUE(lines[i + 1] == "Programming..." || lines[i + 1] == "Verifying...")
                    << lines[i] << " then " << lines[i + 1];
            }
        EXPECT_EQ(regions, row.words(Kind::data) ? 7 : 5);
    }
    expectchipholds(file);
    EXPECT_EQ(chipword(row, 0x0100), 0x3FFF);  // a word the file leaves out stays erased
    EXPECT_EQ(run({"verify", file}).status, 0);
    EXPECT_EQ(run({"read-hex", dir + "/out.hex"}).status, 0);
    EXPECT_EQ(run({"read-bin", dir + "/out.bin"}).status, 0);

    // The read-out holds the file's words under their masks, erased words
    // elsewhere, and the chip's factory words at their addresses.
    const auto back = hexwords(dir + "/out.hex");
    for (const auto& [address, word] : hexwords(file))
        EXPECT_EQ(back.at(address) & maskat(row, address), word & maskat(row, address)) << std::hex << address;
    size_t words = 0;
    for (const Region g : allregions) words += readoutwords(row, g);
    EXPECT_EQ(back.size(), words);
    std::ifstream bin(dir + "/out.bin", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(bin)), {});
    for (const Memory& m : row.memories)
        if (m.kind == Kind::calibration) {
            EXPECT_EQ(back.at(m.address), factory);
            const size_t at = 2 * static_cast<size_t>(m.address);
            ASSERT_GT(bytes.size(), at + 1);
            EXPECT_EQ(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8, factory);
        }
    // The original chips' image: data byte k at 0x2100 + 2k; the others' at its HEX address.
    EXPECT_EQ(bytes.size(), (isoriginal(row) ? 0x2100u : 0x4200u) + 2 * readoutwords(row, Region::data));
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8, chipword(row, 0));
    // ID 0: at its HEX address, or on the original chips at the read-out image's 0x2000.
    EXPECT_EQ(static_cast<uint8_t>(bytes[isoriginal(row) ? 0x2000 : 0x4000]), chipword(row, 0x2000) & 0xFF);

    EXPECT_EQ(run({"blank-check"}).status, 1);
    EXPECT_EQ(run({"erase", "--yes"}).status, 0);
    r = run({"blank-check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(chipword(row, 0), 0x3FFF);
    EXPECT_EQ(sim::board().read(4, 0), factory);
    EXPECT_EQ(faults(), 0);
}

// Only the words that differ are written; one that needs a bit set again
// makes it a whole burn.
TEST_P(NewerRow, OnlyChangedWritesTheDifferingWordsOrErasesFirst) {
    ASSERT_EQ(quibb9x({"--device", row.name, "burn", file}).status, 0);
    sim::board().write(0, 1, 0x0000);  // bits cleared: only an erase sets them again
    sim::board().eventClear();
    Outcome r = quibb9x({"--device", row.name, "burn", file, "--only-changed"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("needs bits set that only an erase sets"), std::string::npos) << r.out;
    expectchipholds(file);
    sim::board().write(0, 5, 0x3FFF);
    r = quibb9x({"--device", row.name, "burn", file, "--only-changed"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("programmed 1 of the"), std::string::npos) << r.out;
    EXPECT_EQ(faults(), 0);
}

// CP and CPD: protected words read zeros, and the erase lifts protection.
TEST_P(NewerRow, AProtectedChipIsRefusedForReadOutAndErasedOpen) {
    ASSERT_EQ(quibb9x({"--device", row.name, "burn", file}).status, 0);
    // A protected chip's OSCCAL reads as zeros: the erase is given the value.
    std::vector<std::string> erase{"--device", row.name, "erase", "--yes"};
    if (osccalmemory(row)) erase.insert(erase.end(), {"--osccal", hexupper(sim::board().read(4, 0))});
    sim::board().setProtected(1);
    const Outcome r = quibb9x({"--device", row.name, "read-hex", scratch.path().string() + "/p.hex"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("protect"), std::string::npos) << r.err;
    EXPECT_EQ(quibb9x({"--device", row.name, "verify", file}).status, 3);
    EXPECT_EQ(quibb9x(erase).status, 0);
    EXPECT_EQ(sim::board().isProtected(), 0);
    EXPECT_EQ(quibb9x({"--device", row.name, "blank-check"}).status, 0);
    EXPECT_EQ(faults(), 0);
}

// Another chip in the socket, or none, is refused before any word is written.
TEST_P(NewerRow, AnotherChipIsRefusedBeforeAnyWordIsWritten) {
    sim::board().setChip(ZAVSIM_16F84);
    Outcome r = quibb9x({"--device", row.name, "burn", file});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos);
    EXPECT_NE(r.err.find("did not answer in programming mode"), std::string::npos) << r.err;
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
    r = quibb9x({"--device", row.name, "erase", "--yes"});
    EXPECT_EQ(r.status, 4);
}

INSTANTIATE_TEST_SUITE_P(All, EveryRow, ::testing::ValuesIn(rowsof(true)), rowname);
INSTANTIATE_TEST_SUITE_P(All, NewerRow, ::testing::ValuesIn(rowsof(false)), rowname);

// A HEX data record of 14-bit words (or bytes) at a byte address.
std::string record(int32_t byteaddress, const std::vector<int>& words) {
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(2 * words.size()),
                  static_cast<unsigned>(byteaddress & 0xFFFF));
    std::string line = text;
    int sum = static_cast<int>(2 * words.size()) + (byteaddress >> 8 & 0xFF) + (byteaddress & 0xFF);
    for (const int w : words) {
        std::snprintf(text, sizeof text, "%02X%02X", w & 0xFF, w >> 8 & 0xFF);
        line += text;
        sum += (w & 0xFF) + (w >> 8 & 0xFF);
    }
    std::snprintf(text, sizeof text, "%02X\n", (256 - sum % 256) % 256);
    return line + text;
}

// One word that fails to program (it keeps its erased value whatever is
// written) fails the burn, in program memory, the ID locations and the data
// memory, on every family; no SUCCESS, and on the chips burnt erase-first
// the configuration word, written last, stays erased.
TEST(StuckWord, AWordThatFailsToProgramFailsTheBurnOnEveryFamily) {
    ScratchDir scratch{"stuck", true};
    struct Chip {
        const char* name;
        int32_t kind;
    };
    const Chip chips[] = {{"16F84", ZAVSIM_16F84},     {"16F628", ZAVSIM_16F628}, {"16F628A", ZAVSIM_16F628A},
                          {"16F819", ZAVSIM_16F819},   {"16F88", ZAVSIM_16F88},   {"16F716", ZAVSIM_16F716},
                          {"16F877", ZAVSIM_16F877},   {"16F877A", ZAVSIM_16F877A}, {"16F887", ZAVSIM_16F887},
                          {"16F690", ZAVSIM_16F690},   {"16F616", ZAVSIM_16F616}, {"12F629", ZAVSIM_12F629}};
    struct Stuck {
        int region, index, erased;
        const char* failure;
    };
    const Stuck stucks[] = {{0, 5, 0x3FFF, "ERROR!: Failed at 0x5: Expecting 0x105, found 0x3FFF.\n"},
                            {1, 2, 0x3FFF, "ERROR!: Failed at 0x2002: Expecting 0x7, found 0x3FFF.\n"},
                            {3, 3, 0xFF, "ERROR!: Failed at 0x2103: Expecting 0x13, found 0xFF.\n"}};
    std::string hex;
    for (int a = 0; a < 8; ++a) hex += record(2 * a, {0x0100 + a});  // 0x0100 + a
    for (int k = 0; k < 4; ++k) hex += record(0x4000 + 2 * k, {5 + k});
    const std::string body = hex;
    for (const Chip& chip : chips) {
        const ChipRow& row = *findchip(chip.name);
        std::string file = body;
        if (row.words(Kind::data))
            for (int k = 0; k < 4; ++k) file += record(0x4200 + 2 * k, {0x10 + k});
        const int config = row.config(0).erased;
        file += record(0x400E, {config}) + ":00000001FF\n";
        std::ofstream("stuck.hex") << file;
        for (const Stuck& stuck : stucks) {
            if (stuck.region == 3 && row.words(Kind::data) == 0) continue;
            SCOPED_TRACE(std::string(chip.name) + " region " + std::to_string(stuck.region));
            sim::useSimulatedBoard();
            sim::board().setChip(chip.kind);
            sim::board().setStuck(stuck.region, stuck.index, stuck.erased);
            const Outcome r = quibb9x({"--device", chip.name, "burn", "stuck.hex"});
            EXPECT_EQ(r.status, 3);  // a word that did not verify
            EXPECT_EQ(r.err, stuck.failure);
            EXPECT_EQ(r.out.find("SUCCESS"), std::string::npos) << r.out;
            EXPECT_EQ(sim::board().read(stuck.region, stuck.index), stuck.erased);
            if (!isoriginal(row)) {
                const uint16_t compared = row.config(0).comparemask();
                EXPECT_EQ(sim::board().read(2, 0) & compared, row.config(0).erased & compared);
            }
            EXPECT_EQ(faults(), 0);
        }
    }
}

// Data memory past the original chips' 64 bytes: burnt, verified and read
// back at 0x4200 + 2k on every newer chip, up to its last byte.
TEST(DataMemory, BytesBeyondTheFirst64AreBurntVerifiedAndReadBack) {
    ScratchDir scratch{"data", true};
    const struct {
        const char* name;
        int32_t kind;
    } chips[] = {{"16F627", ZAVSIM_16F627},   {"16F628A", ZAVSIM_16F628A}, {"16F648A", ZAVSIM_16F648A},
                 {"16F819", ZAVSIM_16F819},   {"16F88", ZAVSIM_16F88},     {"16F877A", ZAVSIM_16F877A},
                 {"16F887", ZAVSIM_16F887},   {"16F690", ZAVSIM_16F690},   {"12F629", ZAVSIM_12F629}};
    for (const auto& chip : chips) {
        SCOPED_TRACE(chip.name);
        const ChipRow& row = *findchip(chip.name);
        const int last = row.words(Kind::data) - 1;
        const std::vector<int> bytes = {0, 63, 64, 65, last - 1, last};
        std::string file = record(0, {0x2805});
        for (int k : bytes) file += record(0x4200 + 2 * k, {(0x40 + k) & 0xFF});
        const int config = row.config(0).erased;
        file += record(0x400E, {config}) + ":00000001FF\n";
        std::ofstream("data.hex") << file;
        sim::useSimulatedBoard();
        sim::board().setChip(chip.kind);
        Outcome r = quibb9x({"--device", chip.name, "burn", "data.hex"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (int k : bytes) EXPECT_EQ(sim::board().read(3, k), (0x40 + k) & 0xFF) << k;
        EXPECT_EQ(sim::board().read(3, 66), 0xFF);
        EXPECT_EQ(quibb9x({"--device", chip.name, "verify", "data.hex"}).status, 0);
        ASSERT_EQ(quibb9x({"--device", chip.name, "read-hex", "back.hex"}).status, 0);
        const auto back = hexwords("back.hex");
        for (int k : bytes) EXPECT_EQ(back.at(0x2100 + k), (0x40 + k) & 0xFF) << k;
        EXPECT_EQ(back.count(0x2100 + last + 1), 0u);
        ASSERT_EQ(quibb9x({"--device", chip.name, "read-bin", "back.bin"}).status, 0);
        std::ifstream bin("back.bin", std::ios::binary);
        const std::string image((std::istreambuf_iterator<char>(bin)), {});
        ASSERT_EQ(image.size(), 0x4200u + 2 * row.words(Kind::data));
        for (int k : bytes) EXPECT_EQ(static_cast<uint8_t>(image[0x4200 + 2 * k]), (0x40 + k) & 0xFF) << k;
        sim::board().write(3, last, 0x00);
        r = quibb9x({"--device", chip.name, "verify", "data.hex"});
        EXPECT_EQ(r.status, 3);
        char failure[80];
        std::snprintf(failure, sizeof failure, "ERROR!: Failed at 0x%X: Expecting 0x%X, found 0x0.\n",
                      0x2100 + last, (0x40 + last) & 0xFF);
        EXPECT_EQ(r.err, failure);
    }
}

// The 16F877A whole: 8192 program words, the IDs, the configuration word and
// 256 data bytes, each word its own. Program word 8192 would be ID 0, so
// what lies beyond this chip is in configuration space and data memory; on
// a 16F873A it is program word 0x1000 too.
TEST(LargeChips, AFull16F877AImageBurnsAndReadsBackWholeAndAWordBeyondIsRefused) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F877A);
    ScratchDir dir{"full", true};
    std::string text;
    for (int a = 0; a < 8192; a += 8) {
        std::vector<int> w;
        for (int i = a; i < a + 8; ++i) w.push_back((i * 0x9E5 + 0x123) & 0x3FFF);
        text += record(2 * a, w);
    }
    text += record(0x4000, {0x11, 0x22, 0x33, 0x44}) + record(0x400E, {0x2F4A});
    for (int k = 0; k < 256; k += 8) {
        std::vector<int> w;
        for (int i = k; i < k + 8; ++i) w.push_back((i * 7 + 3) & 0xFF);
        text += record(0x4200 + 2 * k, w);
    }
    std::ofstream("full.hex") << text << ":00000001FF\n";
    const ChipRow& row = *findchip("16F877A");
    ASSERT_EQ(quibb9x({"--device", "16F877A", "burn", "full.hex"}).status, 0);
    ASSERT_EQ(quibb9x({"--device", "16F877A", "read-hex", "back.hex"}).status, 0);
    const auto file = hexwords("full.hex"), back = hexwords("back.hex");
    EXPECT_EQ(back.size(), file.size());
    for (const auto& [address, word] : file) {
        EXPECT_EQ(chipword(row, address), word) << std::hex << address;
        EXPECT_EQ(back.at(address), word) << std::hex << address;
    }
    EXPECT_EQ(faults(), 0);

    const struct {
        const char* chip;
        std::string beyond;
        const char* why;
    } refused[] = {
        {"16F877A", record(0x4400, {0x5A}), "word 0x2200 is beyond the chosen chip, which has 256 data bytes (0x2100 to 0x21FF)"},
        {"16F877A", record(0x4010, {0x0700}), "word 0x2008 is beyond the chosen chip, which has 1 configuration word (0x2007 to 0x2007)"},
        {"16F873A", record(0x2000, {0x3FFF}), "word 0x1000 is beyond the chosen chip, which has 4096 program words (0x0000 to 0x0FFF)"},
    };
    for (const auto& r : refused) {
        std::ofstream("more.hex") << record(0, {0x2805}) << r.beyond << ":00000001FF\n";
        sim::board().eventClear();
        const Outcome o = quibb9x({"--device", r.chip, "burn", "more.hex"});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, std::string("quibb9x: more.hex line 2: ") + r.why +
                             "; give the chip's own --device or mend the file, nothing was sent to the chip\n");
        EXPECT_TRUE(sim::chipEvents().empty());
    }
}

// CP1:CP0 of the 16F870-877 in two copies: only the range they close reads
// zeros. Verify checks every other word and names the range it could not;
// the read-out and the blank check name it too, and an erase opens it.
TEST(LargeChips, APartlyProtected16F877VerifiesItsOpenWordsAndNamesTheRest) {
    const std::string file = fixture("f870_blink_inhx32.hex");
    const struct {
        const char* config;
        const char* closed;
        bool open;  // program words outside the range
    } cases[] = {
        {"0x1B5F", "its program words 0x1000-0x1FFF read as zeros", true},
        {"0x2B6F", "its program words 0x1F00-0x1FFF read as zeros", true},
        {"0x0B4F", "its program memory reads as zeros", false},
        {"0x3A7F", "its data memory reads as zeros", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        sim::useSimulatedBoard();
        sim::board().setChip(ZAVSIM_16F877);
        ScratchDir dir{"partial", true};
        const std::vector<std::string> device = {"--device", "16F877", "--config", c.config};
        const auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), device.begin(), device.end());
            return quibb9x(args);
        };
        ASSERT_EQ(run({"burn", file}).status, 0);
        Outcome r = run({"verify", file});
        EXPECT_EQ(r.status, 5);
        EXPECT_EQ(r.err, std::string("NOT VERIFIED!: quibb9x: the chip is code-protected (configuration word ") +
                             c.config + "): " + c.closed + " and could not be verified; every other word "
                             "matched the image. Only an erase lifts the protection, and it clears the chip.\n");
        if (c.open) {  // an open word that differs is still found
            sim::board().write(0, 5, 0x0000);
            r = run({"verify", file});
            EXPECT_EQ(r.err, "ERROR!: Failed at 0x5: Expecting 0x1683, found 0x0.\n");
        }
        r = run({"read-hex", "p.hex"});
        EXPECT_EQ(r.err, std::string("quibb9x: the chip is code-protected (configuration word ") + c.config +
                             ": " + c.closed + "): a read-out would pass those zeros off as the chip's "
                             "words, so no file was written; only an erase (quibb9x erase) lifts the "
                             "protection, and it clears the chip\n");
        EXPECT_FALSE(std::filesystem::exists("p.hex"));
        r = run({"blank-check"});
        EXPECT_EQ(r.err, std::string("quibb9x: not blank: the chip is code-protected (0x2007: ") + c.config +
                             "), so " + c.closed + ". Erase it with 'quibb9x erase --yes'.\n");
        EXPECT_EQ(run({"erase", "--yes"}).status, 0);
        EXPECT_EQ(run({"blank-check"}).status, 0);
        EXPECT_EQ(faults(), 0);
    }
}

// The 16F887's factory calibration word at 0x2009: a file's word there (a
// dump of the chip carries one) is not burnt, with one line; burn, verify
// and erase leave the chip's own; read-hex and detect show it.
TEST(LargeChips, The16F887sCalibrationWordOutlivesBurnAndEraseAndNoFileBurnsIt) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F887);
    ScratchDir dir{"calibration", true};
    const int32_t factory = sim::board().read(4, 0);
    ASSERT_EQ(factory, 0x2A57);
    std::ifstream in(fixture("f882_blink_inhx32.hex"));
    std::string text((std::istreambuf_iterator<char>(in)), {});
    text.insert(text.rfind(":00000001FF"), record(0x4012, {0x1234}));
    std::ofstream("dump.hex") << text;
    const std::string line = "quibb9x: word 0x2009 of the file (0x1234) is the chip's factory calibration "
                             "word, which burn and verify leave alone: the chip keeps its own\n";
    for (const char* command : {"burn", "verify"}) {
        sim::board().eventClear();
        const Outcome r = quibb9x({"--device", "16F887", command, "dump.hex"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(line), r.out.rfind(line));  // once
        EXPECT_EQ(sim::board().read(4, 0), factory);
        for (const auto& e : sim::chipEvents()) EXPECT_FALSE(e.kind == 3 && e.value == 0x2009);
    }
    EXPECT_EQ(quibb9x({"--device", "16F887", "erase", "--yes"}).status, 0);
    EXPECT_EQ(sim::board().read(4, 0), factory);
    EXPECT_EQ(sim::board().read(2, 0), 0x3FFF);  // while the configuration word went
    EXPECT_EQ(quibb9x({"--device", "16F887", "read-hex", "back.hex"}).status, 0);
    EXPECT_EQ(hexwords("back.hex").at(0x2009), factory);
    const Outcome r = quibb9x({"detect"});
    EXPECT_NE(r.out.find("quibb9x: word 0x2006 reads 0x2081: PIC16F887, revision 1\n"
                         "quibb9x: word 0x2009 reads 0x2A57: the PIC16F887's factory calibration, "
                         "which erase and burn leave as it is\n"), std::string::npos) << r.out;
    const Outcome c = quibb9x({"--device", "16F887", "calibration"});
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, "quibb9x: word 0x2009 reads 0x2A57: the PIC16F887's factory calibration, which erase "
                     "and burn leave as it is\n");
}

// A chip set to its internal oscillator with MCLR off runs as soon as it
// has VDD: only Vpp before VDD enters it. A board that switches VDD enters
// it so where the chip's documents ask for that order (the 16F88x, 12F683
// and 12F609 families among them); elsewhere the burn says beforehand that
// the chip cannot be entered again (its read-back then fails), and a later
// verify says why.
TEST(EntryOrder, ChipsOnTheirInternalOscillatorWithMclrOffEnterVppFirst) {
    for (const bool switching : {true, false}) {
        if (switching) setenv("QUIBB9X_SIM_BOARD", "tait-classic", 1);
        for (const ChipRow& row : chiprows()) {
            if (row.entry.foscmask == 0) continue;
            SCOPED_TRACE(row.name);
            sim::useSimulatedBoard();
            sim::board().setChip(simchipof(row)->kind);
            const uint16_t config = static_cast<uint16_t>(
                (row.config(0).mask & ~row.entry.mclrebit & ~row.entry.foscmask) | row.entry.intosc);
            char given[8];
            std::snprintf(given, sizeof given, "0x%04X", config);
            std::vector<std::string> args = {"--device", row.name, "--config", given};
            if (switching) args.insert(args.end(), {"--board", "tait-classic"});
            const bool enters = switching && simchipof(row)->vpp_first;  // by the chip's own table
            args.insert(args.end(), {"burn", fixturefor(row)});
            const uint16_t compared = row.config(0).comparemask();
            Outcome r = quibb9x(args);
            if (!enters) {
                // Asked first: no terminal and no --yes, so nothing is sent.
                EXPECT_EQ(r.status, 2) << r.err;
                EXPECT_EQ(sim::board().read(2, 0) & compared, row.config(0).erased & compared);
                args.insert(args.end() - 2, "--yes");
                r = quibb9x(args);
            }
            // The configuration word is written and read back in one visit.
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(sim::board().read(2, 0) & compared, config & compared);
            EXPECT_EQ(r.out.find("cannot enter programming mode on it again") == std::string::npos, enters)
                << r.out;
            args[args.size() - 2] = "verify";
            r = quibb9x(args);
            EXPECT_EQ(r.status, enters ? 0 : 4);
            if (!enters) {
                EXPECT_NE(r.err.find("an internal oscillator with MCLR off in the chip's configuration, "
                                     "which needs Vpp before VDD"), std::string::npos) << r.err;
            }
        }
        unsetenv("QUIBB9X_SIM_BOARD");
    }
}

TEST(DeviceAuto, EveryChipWithAnIdIsNamedAndTheOthersAreRefused) {
    sim::useSimulatedBoard();
    for (const zavsim_chipinfo& c : simchips()) {
        const ChipRow* found = findchip(c.name);
        if (!found || found->deviceid == 0) continue;  // no row yet, or no ID
        const ChipRow& row = *found;
        sim::board().setChip(c.kind);
        const Outcome r = quibb9x({"--device", "auto", "detect"});
        EXPECT_NE(r.out.find(chiplabel(row) + ", revision 1"), std::string::npos) << r.out;
        const Outcome blank = quibb9x({"--device", "auto", "blank-check"});
        EXPECT_EQ(blank.status, 0) << row.name;
        EXPECT_NE(blank.out.find("quibb9x: --device auto: word 0x2006 reads "), std::string::npos);
        EXPECT_NE(blank.out.find(", revision 1; working on it as a " + chiplabel(row) + "\n"),
                  std::string::npos) << blank.out;
    }
    sim::board().setChip(ZAVSIM_16F83);
    Outcome r = quibb9x({"--device", "auto", "blank-check"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "quibb9x: --device auto: 0x2006 reads 0x3FFF: the chip has no device ID (a "
                     "16C84, 16F84 or 16F83), or the socket is empty; name the chip with --device "
                     "(e.g. --device 16F84)\n");
    sim::board().setChip(ZAVSIM_EMPTY);
    EXPECT_EQ(quibb9x({"--device", "auto", "erase", "--yes"}).status, 4);
}

TEST(ConfigOptions, UnimplementedBitsAndConfig2AreCheckedAgainstTheChip) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F628A);
    const std::string file = fixture("f628a_blink_inhx32.hex");
    Outcome r = quibb9x({"--device", "16F628A", "--config", "0x3F18", "burn", file});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quibb9x: --config 0x3F18 sets bits the PIC16F628A does not implement (12, "
                     "11, 10, 9; it implements 0x21FF); nothing was written\n");
    r = quibb9x({"--device", "16F628A", "--config2", "0x3", "burn", file});
    EXPECT_EQ(r.status, 2);
    sim::board().setChip(ZAVSIM_16F88);
    r = quibb9x({"--device", "16F88", "--config", "0x2F21", "--config2", "0x2", "burn",
                 fixture("f88_blink_inhx32.hex")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim::board().read(2, 0), 0x2F21);
    EXPECT_EQ(sim::board().read(2, 1), 0x0002);
}

// Each row with its memories, device ID, adapter and how it was tried;
// each adapter's pins; the notes, each after the chips that share it.
TEST(DevicesList, EveryRowIsListedWithItsAdapterAndTheNotesAfter) {
    const Outcome r = quibb9x({"devices"});
    EXPECT_EQ(r.status, 0);
    for (const char* line : {
             "PIC16F84A            1024          64  0x2007          -            0x0560     none     real board\n",
             "PIC16F88             4096         256  0x2007, 0x2008  -            0x0760     none     simulated board\n",
             "PIC16F877            8192         256  0x2007          -            0x09A0     40-pin   simulated board\n",
             "PIC16F886            8192         256  0x2007, 0x2008  0x2009       0x2060     28-pin   simulated board\n",
             "PIC12F683            2048         256  0x2007          0x2008       0x0460     8-pin    simulated board\n",
             "PIC16F616            2048           0  0x2007          0x2008       0x1240     14-pin   simulated board\n",
             "  20-pin: MCLR/Vpp 4 (RA3), clock 18 (RA1), data 19 (RA0), VDD 1, VSS 20\n",
             "  28-pin: MCLR/Vpp 1, clock 27 (RB6), data 28 (RB7), VDD 20, VSS 8 and 19; RB3 (pin 24) tied low\n",
             "  PIC12F617:\n    Device ID 0x1360: one source gives 0x2360,",
             "  PIC16F882, PIC16F883, PIC16F884, PIC16F886, PIC16F887:\n    Vpp 10-12 V:",
         })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    EXPECT_EQ(r.out.find("\n    Vpp 10-12 V:"), r.out.rfind("\n    Vpp 10-12 V:"));  // once
}

// The simulated board's table is written from the chip documents on its own;
// the program's rows must agree with it field by field. Every row has its
// simulated chip; the board may know chips the program has no row for yet.
// Each row's image takes a record at the last word of each region and
// refuses one a word beyond, at the sizes the simulated chip has, whichever
// chip was chosen before (the image keeps a larger chip's room).
TEST(ChipTables, EveryRowsImageEndsWhereItsSimulatedChipDoes) {
    sim::useSimulatedBoard();
    for (const zavsim_chipinfo& c : simchips()) {
        if (!findchip(c.name)) continue;
        SCOPED_TRACE(c.name);
        for (const char* before : {"16F83", "16F648A"}) {
            State s;
            selectchip(s, *findchip(before));
            selectchip(s, *findchip(c.name));
            Recorder f;
            const struct {
                int32_t base, words;
                std::vector<int16_t>& image;
                int16_t& used;
            } regions[] = {{0x0000, c.program_words, s.progmem, s.progused},
                           {0x2000, c.id_words, s.idmem, s.idused},
                           // a calibration word after the configuration words is read out too
                           {0x2007, c.calibration == ZAVSIM_CALIBRATION_WORD ? c.calibration_address - 0x2006 : c.config_words,
                            s.configmem, s.configused},
                           {0x2100, c.data_bytes, s.datamem, s.dataused}};
            for (const auto& r : regions) {
                const int16_t word = r.base == 0x2100 ? 0x5A : 0x2A5A;
                // Past 8192 program words comes ID 0: nothing there is beyond.
                const bool next = r.base + r.words == 0x2000;
                if (r.words > 0) {
                    ASSERT_GE(r.image.size(), static_cast<size_t>(r.words)) << std::hex << r.base;
                    EXPECT_EQ(stuffrecord(s, f, r.base + r.words - 1, &word, 1), 1) << std::hex << r.base;
                    EXPECT_EQ(r.image[r.words - 1], word);
                    EXPECT_EQ(r.used, r.words);
                }
                if (next) continue;
                EXPECT_EQ(stuffrecord(s, f, r.base + r.words, &word, 1), 0) << std::hex << r.base;
                ASSERT_FALSE(f.boxes.empty());
                EXPECT_EQ(f.boxes.back().text, "Invalid address: 0x" + hexupper(r.base + r.words));
            }
        }
    }
}

TEST(ChipTables, TheProgramsRowsAgreeWithTheSimulatedChips) {
    sim::useSimulatedBoard();
    const auto all = simchips();
    size_t compared = 0;
    for (const zavsim_chipinfo& c : all) {
        const ChipRow* row = findchip(c.name);
        if (!row) continue;
        ++compared;
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.program_words, row->words(Kind::program));
        EXPECT_EQ(c.data_bytes, isoriginal(*row) ? 64 : row->words(Kind::data));
        EXPECT_EQ(c.id_words, row->words(Kind::id));
        EXPECT_EQ(c.config_words, row->words(Kind::config));
        for (int k = 0; k < row->words(Kind::config); ++k) {
            EXPECT_EQ(c.config_address[k], row->config(k).address);
            EXPECT_EQ(c.config_mask[k], row->config(k).mask);
            EXPECT_EQ(c.config_blank[k] & row->config(k).mask, row->config(k).erased);
        }
        EXPECT_EQ(c.device_id == 0x3FFF ? 0 : c.device_id, row->deviceid);
        if (row->deviceid) {
            EXPECT_EQ(c.device_id_mask, row->deviceidmask);
        }
        // The factory's calibration that an erase clears, where the chip keeps it.
        const Memory* osccal = osccalmemory(*row);
        EXPECT_EQ(c.calibration == ZAVSIM_CALIBRATION_OSCCAL, osccal != nullptr);
        if (osccal) {
            EXPECT_EQ(c.calibration_address, osccal->address);
            EXPECT_EQ(c.calibration_factory & osccal->signaturemask, osccal->signature);
        }
        const Memory* bandgap = bandgapmemory(*row);
        EXPECT_EQ(c.bandgap_mask, bandgap ? bandgap->restorebits : 0);
        // The program writes program memory in aligned groups no larger
        // than the chip's latches, and configuration space a word a cycle
        // where the chip has one latch there.
        const int16_t group = row->find(Kind::program)->write.latches;
        EXPECT_EQ(c.latches % group, 0) << group;
        if (c.latches != group) {
            EXPECT_EQ(row->family, Family::f88x) << "only the 16F88x write fewer than their latches";
        }
        for (const Memory& m : row->memories)
            if (m.kind == Kind::id || m.kind == Kind::config) {
                EXPECT_EQ(c.config_latches % m.write.latches, 0);
            }
        EXPECT_EQ(c.refuses_vdd_first != 0, row->entry.foscmask != 0);
        if (!isoriginal(*row)) {
            EXPECT_EQ(c.vpp_first != 0, row->entry.vppfirst);
        }
        EXPECT_EQ(c.lvp_bit != 0, row->pgmpin != nullptr);
        // VDD-first entry: the program and the chip refuse the same words.
        for (uint16_t fosc = 0; fosc < 0x40 && c.fosc_mask; ++fosc) {
            const uint16_t config = static_cast<uint16_t>((fosc & 0x07) | (fosc & 0x38) << 1);
            const bool chip = (config & c.fosc_mask) == c.fosc_internal && !(config & c.mclre_bit);
            EXPECT_EQ(needsvppfirstentry(*row, config), chip) << std::hex << config;
        }
        // Protection: the same bits, and for each CP pattern written alike in
        // every copy, the same first closed word.
        if (!isoriginal(*row)) {
            EXPECT_EQ(c.cp_bits, row->protection.cpbits);
            EXPECT_EQ(c.cpd_bit, row->protection.cpdbits);
            for (unsigned cp = 0; cp < 4; ++cp) {
                uint16_t config = static_cast<uint16_t>(c.config_mask[0] & ~c.cp_bits);
                const bool pairs = c.cp_bits == 0x3C00 || c.cp_bits == 0x3030;
                if (pairs) {
                    const int low = c.cp_bits == 0x3C00 ? 10 : 4;
                    config = static_cast<uint16_t>(config | cp << 12 | cp << low);
                } else if (cp == 3) {
                    config = static_cast<uint16_t>(config | c.cp_bits);
                }
                int32_t first = c.program_words;
                for (const ClosedRange& r : closedranges(*row, static_cast<uint16_t>(config | c.cpd_bit)))
                    first = std::min(first, r.from);
                EXPECT_EQ(first, c.protected_from[cp]) << "CP1:CP0 = " << cp;
            }
        }
        // The factory's calibration word: where the chip keeps it, spared by
        // the erase and never burnt.
        if (c.calibration == ZAVSIM_CALIBRATION_WORD) {
            const Memory* cal = row->find(Kind::calibration);
            ASSERT_NE(cal, nullptr);
            EXPECT_EQ(cal->address, c.calibration_address);
            EXPECT_EQ(cal->erase, Erase::spared);
        }
        // Every command the program sends is one the chip knows, and every
        // wait the program makes is at least the least the chip accepts.
        auto find = [&](int code) -> const zavsim_command* {
            for (int k = 0; k < c.command_count; ++k)
                if (c.commands[k].code == code) return &c.commands[k];
            ADD_FAILURE() << "command " << code << " unknown";
            return nullptr;
        };
        auto demand = [&](int code, bool data) -> int64_t {
            const zavsim_command* k = find(code);
            return !k ? 0 : data ? k->data_ns : k->program_ns;
        };
        if (isoriginal(*row)) continue;
        for (const Memory& m : row->memories) {
            if (m.kind == Kind::none || m.kind == Kind::calibration) continue;
            const WriteCycle& w = m.write;
            EXPECT_GE(int64_t{w.waitus} * 1000, demand(w.begin, m.kind == Kind::data)) << int(m.kind);
            if (w.end) {
                EXPECT_GE(int64_t{w.dischargeus} * 1000, demand(w.end, false));
            }
            find(m.load);
            find(m.read);
        }
        // The erase: every command known, and its waits as long as the
        // longest erase the chip does.
        int64_t longest = 0;
        for (const EraseStep& e : row->erase)
            if (e.op == EraseStep::send || e.op == EraseStep::load)
                if (const zavsim_command* k = find(e.arg))
                    if (k->does >= ZAVSIM_DO_BULK_ERASE_PROGRAM || k->does == ZAVSIM_DO_ERASE_PROGRAM)
                        longest = std::max({longest, k->program_ns, k->data_ns});
        EXPECT_GE(int64_t{row->erasewaitus} * 1000, longest);
    }
    EXPECT_EQ(compared, chiprows().size());
}

}  // namespace

namespace {

TEST(ChipRows, NamesEntryRuleAndTheOriginalRowsAsTheyWere) {
    EXPECT_EQ(findchip("pic 16f628a"), findchip("16F628A"));
    EXPECT_EQ(findchip("PIC16F1827"), nullptr);
    EXPECT_EQ(chipbyid(0x1061), findchip("16F628A"));
    EXPECT_EQ(chipbyid(0x04E3), findchip("16F819"));
    EXPECT_EQ(chipbyid(0x3FFF), nullptr);
    // Internal oscillator (FOSC 100 or 101) with MCLRE = 0 only.
    const ChipRow& a = *findchip("16F628A");
    EXPECT_TRUE(needsvppfirstentry(a, 0x2110));
    EXPECT_TRUE(needsvppfirstentry(a, 0x2111));
    EXPECT_FALSE(needsvppfirstentry(a, 0x2130));  // MCLRE = 1
    EXPECT_FALSE(needsvppfirstentry(a, 0x2101));  // XT
    EXPECT_FALSE(needsvppfirstentry(*findchip("16F716"), 0x0000));
    EXPECT_TRUE(a.entry.vppfirst);
    EXPECT_FALSE(findchip("16F88")->entry.vppfirst);
    // Today's numbers for the original chips.
    const ChipRow& c84 = *findchip("16C84");
    EXPECT_EQ(c84.config(0).mask, 0x1F);
    EXPECT_EQ(c84.configdefault, 0x1B);
    EXPECT_EQ(findchip("16F83")->words(Kind::program), 512);
    EXPECT_EQ(findchip("16F84")->configdefault, 0x3FF3);
    EXPECT_EQ(findchip("16F84A")->deviceid, 0x0560);
    EXPECT_EQ(findchip("16F84A")->model, 2);
}

}  // namespace

namespace {

TEST(SettingsChip, TheSettingsFileNamesAnyChipForTheCommandLine) {
    ScratchDir scratch{"settingschip", true};
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F88);
    std::ofstream("quibb9x.ini") << "[OPTIONS]\nCHIP=pic 16f88\n";
    EXPECT_EQ(quibb9x({"erase", "--yes"}).status, 0);
    sim::board().setChip(ZAVSIM_16F84);  // the 16F88's ID check refuses it
    EXPECT_NE(quibb9x({"erase", "--yes"}).err.find("Put a PIC16F88 in the socket"), std::string::npos);
    std::ofstream("quibb9x.ini") << "[OPTIONS]\nCHIP=16F1827\n";
    const Outcome r = quibb9x({"detect"});
    EXPECT_NE(r.err.find("ignoring CHIP=16F1827 in the settings file"), std::string::npos) << r.err;
    std::filesystem::current_path(old);
}

}  // namespace
