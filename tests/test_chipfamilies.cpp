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

struct Family {
    const char* name;
    int32_t kind;
    const char* blink;
};
const Family families[] = {{"16F628", ZAVSIM_16F628, "f628_blink_inhx32.hex"},
                           {"16F628A", ZAVSIM_16F628A, "f628a_blink_inhx32.hex"},
                           {"16F648A", ZAVSIM_16F648A, "f648a_blink_inhx32.hex"},
                           {"16F819", ZAVSIM_16F819, "f819_blink_inhx32.hex"},
                           {"16F88", ZAVSIM_16F88, "f88_blink_inhx32.hex"},
                           {"16F716", ZAVSIM_16F716, "f716_blink_inhx32.hex"},
                           {"12F629", ZAVSIM_12F629, "f629_blink_inhx32.hex"},
                           {"12F675", ZAVSIM_12F675, "f629_blink_inhx32.hex"},
                           {"16F630", ZAVSIM_16F630, "f630_blink_inhx32.hex"},
                           {"16F676", ZAVSIM_16F676, "f630_blink_inhx32.hex"}};

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

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

// A word of the simulated chip by its address.
int32_t chipword(int32_t address) {
    if (address >= 0x2100) return sim::board().read(3, address - 0x2100);
    if (address >= 0x2007) return sim::board().read(2, address - 0x2007);
    if (address >= 0x2000) return sim::board().read(1, address - 0x2000);
    return sim::board().read(0, address);
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

int faults() {
    int n = 0;
    for (const auto& e : sim::chipEvents()) n += e.kind == 4;
    return n;
}

struct Families : ::testing::TestWithParam<Family> {
    ScratchDir scratch{"families", true};
    const Family& chip = GetParam();
    const ChipRow& row = *findchip(chip.name);
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setChip(chip.kind);
    }
    // The file's words as the chip keeps them, under each word's mask (the
    // factory's calibration bits are the chip's own).
    void expectchipholds(const std::string& file) {
        for (const auto& [address, word] : hexwords(file)) {
            int32_t mask = address >= 0x2100 ? 0xFF : 0x3FFF;
            if (address == 0x2007) mask = row.config(0).comparemask();
            if (address == 0x2008) mask = row.config(1).comparemask();
            EXPECT_EQ(chipword(address) & mask, word & mask) << std::hex << address;
        }
    }
};

TEST_P(Families, BurnVerifyReadOutEraseAndBlankCheckEndToEnd) {
    const std::string file = fixture(chip.blink);
    const std::string dir = scratch.path().string();
    const Outcome burnt = quibb9x({"--device", chip.name, "burn", file});
    EXPECT_EQ(burnt.status, 0);
    // Each region's line is followed by what is done to it, never by the
    // next region's (an empty label in a file or a pipe).
    std::istringstream out(burnt.out);
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
    expectchipholds(file);
    EXPECT_EQ(chipword(0x0100), 0x3FFF);  // a word the file leaves out stays erased
    EXPECT_EQ(quibb9x({"--device", chip.name, "verify", file}).status, 0);
    EXPECT_EQ(quibb9x({"--device", "auto", "read-hex", dir + "/out.hex"}).status, 0);
    EXPECT_EQ(quibb9x({"--device", chip.name, "read-bin", dir + "/out.bin"}).status, 0);
    // The read-out holds every word of the file, and erased words elsewhere.
    const auto back = hexwords(dir + "/out.hex");
    for (const auto& [address, word] : hexwords(file))
        if (address < 0x2007 || address >= 0x2100) {
            EXPECT_EQ(back.at(address), word) << std::hex << address;
        }
    EXPECT_EQ(back.size(), static_cast<size_t>(row.words(Kind::program) + 4 + row.words(Kind::config) + row.words(Kind::data)));
    std::ifstream bin(dir + "/out.bin", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(bin)), {});
    ASSERT_EQ(bytes.size(), 0x4200u + 2 * row.words(Kind::data));
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8, chipword(0));
    EXPECT_EQ(static_cast<uint8_t>(bytes[0x4000]), chipword(0x2000) & 0xFF);

    EXPECT_EQ(quibb9x({"--device", chip.name, "blank-check"}).status, 1);
    EXPECT_EQ(quibb9x({"--device", chip.name, "erase", "--yes"}).status, 0);
    const Outcome blank = quibb9x({"--device", chip.name, "blank-check"});
    EXPECT_EQ(blank.status, 0) << blank.err;
    EXPECT_EQ(chipword(0), 0x3FFF);
    EXPECT_EQ(faults(), 0);
}

// Only the words that differ are written; one that needs a bit set again
// makes it a whole burn.
TEST_P(Families, OnlyChangedWritesTheDifferingWordsOrErasesFirst) {
    const std::string file = fixture(chip.blink);
    ASSERT_EQ(quibb9x({"--device", chip.name, "burn", file}).status, 0);
    sim::board().write(0, 1, 0x0000);  // bits cleared: only an erase sets them again
    sim::board().eventClear();
    Outcome r = quibb9x({"--device", chip.name, "burn", file, "--only-changed"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("needs bits set that only an erase sets"), std::string::npos) << r.out;
    expectchipholds(file);
    sim::board().write(0, 5, 0x3FFF);
    r = quibb9x({"--device", chip.name, "burn", file, "--only-changed"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("programmed 1 of the"), std::string::npos) << r.out;
    EXPECT_EQ(faults(), 0);
}

// CP and CPD: protected words read zeros, and the erase lifts protection.
TEST_P(Families, AProtectedChipIsRefusedForReadOutAndErasedOpen) {
    ASSERT_EQ(quibb9x({"--device", chip.name, "burn", fixture(chip.blink)}).status, 0);
    // A protected chip's OSCCAL reads as zeros: the erase is given the value.
    std::vector<std::string> erase{"--device", chip.name, "erase", "--yes"};
    if (osccalmemory(row)) erase.insert(erase.end(), {"--osccal", hexupper(sim::board().read(4, 0))});
    sim::board().setProtected(1);
    const Outcome r = quibb9x({"--device", chip.name, "read-hex", scratch.path().string() + "/p.hex"});
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.err.find("protect"), std::string::npos) << r.err;
    EXPECT_EQ(quibb9x({"--device", chip.name, "verify", fixture(chip.blink)}).status, 3);
    EXPECT_EQ(quibb9x(erase).status, 0);
    EXPECT_EQ(sim::board().isProtected(), 0);
    EXPECT_EQ(quibb9x({"--device", chip.name, "blank-check"}).status, 0);
    EXPECT_EQ(faults(), 0);
}

// Another chip in the socket, or none, is refused before any word is written.
TEST_P(Families, AnotherChipIsRefusedBeforeAnyWordIsWritten) {
    sim::board().setChip(ZAVSIM_16F84);
    Outcome r = quibb9x({"--device", chip.name, "burn", fixture(chip.blink)});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos);
    EXPECT_NE(r.err.find("did not answer in programming mode"), std::string::npos) << r.err;
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
    r = quibb9x({"--device", chip.name, "erase", "--yes"});
    EXPECT_EQ(r.status, 4);
}

// A HEX record of bytes at a byte address, with its checksum.
std::string record(int address, const std::vector<int>& bytes) {
    char text[80];
    int sum = static_cast<int>(bytes.size()) + (address >> 8) + (address & 0xFF);
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(bytes.size()), address);
    std::string line = text;
    for (int b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X\n", (256 - sum % 256) % 256);
    return line + text;
}

}  // namespace

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
    const Chip chips[] = {{"16F84", ZAVSIM_16F84},   {"16F628", ZAVSIM_16F628}, {"16F628A", ZAVSIM_16F628A},
                          {"16F819", ZAVSIM_16F819}, {"16F88", ZAVSIM_16F88},   {"16F716", ZAVSIM_16F716}};
    struct Stuck {
        int region, index, erased;
        const char* failure;
    };
    const Stuck stucks[] = {{0, 5, 0x3FFF, "ERROR!: Failed at 0x5: Expecting 0x105, found 0x3FFF.\n"},
                            {1, 2, 0x3FFF, "ERROR!: Failed at 0x2002: Expecting 0x7, found 0x3FFF.\n"},
                            {3, 3, 0xFF, "ERROR!: Failed at 0x2103: Expecting 0x13, found 0xFF.\n"}};
    std::string hex;
    for (int a = 0; a < 8; ++a) hex += record(2 * a, {a, 1});  // 0x0100 + a
    for (int k = 0; k < 4; ++k) hex += record(0x4000 + 2 * k, {5 + k, 0});
    const std::string body = hex;
    for (const Chip& chip : chips) {
        const ChipRow& row = *findchip(chip.name);
        std::string file = body;
        if (row.words(Kind::data))
            for (int k = 0; k < 4; ++k) file += record(0x4200 + 2 * k, {0x10 + k, 0});
        const int config = row.config(0).erased;
        file += record(0x400E, {config & 0xFF, config >> 8}) + ":00000001FF\n";
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
                EXPECT_EQ(sim::board().read(2, 0), row.config(0).erased);
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
                 {"16F819", ZAVSIM_16F819},   {"16F88", ZAVSIM_16F88}};
    for (const auto& chip : chips) {
        SCOPED_TRACE(chip.name);
        const ChipRow& row = *findchip(chip.name);
        const int last = row.words(Kind::data) - 1;
        const std::vector<int> bytes = {0, 63, 64, 65, last - 1, last};
        std::string file = record(0, {0x05, 0x28});
        for (int k : bytes) file += record(0x4200 + 2 * k, {(0x40 + k) & 0xFF, 0});
        const int config = row.config(0).erased;
        file += record(0x400E, {config & 0xFF, config >> 8}) + ":00000001FF\n";
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
        EXPECT_EQ(faults(), 0);
    }
}

namespace {

INSTANTIATE_TEST_SUITE_P(All, Families, ::testing::ValuesIn(families),
                         [](const auto& info) { return std::string("PIC") + info.param.name; });

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

TEST(DevicesList, EveryRowIsListedWithHowItWasTried) {
    const Outcome r = quibb9x({"devices"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
              "chip        program words  data bytes  configuration   device ID  tried\n");
    EXPECT_NE(r.out.find("PIC16F84A            1024          64  0x2007          0x0560     real board\n"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PIC16F88             4096         256  0x2007, 0x2008  0x0760     simulated board\n"),
              std::string::npos) << r.out;
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
                           {0x2007, c.config_words, s.configmem, s.configused},
                           {0x2100, c.data_bytes, s.datamem, s.dataused}};
            for (const auto& r : regions) {
                const int16_t word = r.base == 0x2100 ? 0x5A : 0x2A5A;
                if (r.words > 0) {
                    ASSERT_GE(r.image.size(), static_cast<size_t>(r.words)) << std::hex << r.base;
                    EXPECT_EQ(stuffrecord(s, f, r.base + r.words - 1, &word, 1), 1) << std::hex << r.base;
                    EXPECT_EQ(r.image[r.words - 1], word);
                    EXPECT_EQ(r.used, r.words);
                }
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
        EXPECT_EQ(c.latches, row->find(Kind::program)->write.latches);
        // The factory's calibration that an erase clears, where the chip keeps it.
        const Memory* osccal = osccalmemory(*row);
        EXPECT_EQ(c.calibration == ZAVSIM_CALIBRATION_OSCCAL, osccal != nullptr);
        if (osccal) {
            EXPECT_EQ(c.calibration_address, osccal->address);
            EXPECT_EQ(c.calibration_factory & osccal->signaturemask, osccal->signature);
        }
        const Memory* bandgap = bandgapmemory(*row);
        EXPECT_EQ(c.bandgap_mask, bandgap ? bandgap->restorebits : 0);
        EXPECT_EQ(c.refuses_vdd_first != 0, row->entry.foscmask != 0);
        // Every command the program sends is one the chip knows, and every
        // wait the program makes is at least the least the chip accepts.
        auto demand = [&](int code, bool data) -> int64_t {
            for (int k = 0; k < c.command_count; ++k)
                if (c.commands[k].code == code) return data ? c.commands[k].data_ns : c.commands[k].program_ns;
            ADD_FAILURE() << "command " << code << " unknown";
            return 0;
        };
        if (isoriginal(*row)) continue;
        for (const WriteCycle* w : {&row->find(Kind::program)->write, &row->config(0).write}) {
            EXPECT_GE(int64_t{w->waitus} * 1000, demand(w->begin, false));
            if (w->end) demand(w->end, false);
        }
        if (const Memory* data = row->find(Kind::data)) {
            EXPECT_GE(int64_t{data->write.waitus} * 1000, demand(data->write.begin, true));
        }
    }
    EXPECT_EQ(compared, chiprows().size());
}

}  // namespace

namespace {

TEST(ChipRows, NamesEntryRuleAndTheOriginalRowsAsTheyWere) {
    EXPECT_EQ(findchip("pic 16f628a"), findchip("16F628A"));
    EXPECT_EQ(findchip("PIC16F877"), nullptr);
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
    std::ofstream("quibb9x.ini") << "[OPTIONS]\nCHIP=16F877\n";
    const Outcome r = quibb9x({"detect"});
    EXPECT_NE(r.err.find("ignoring CHIP=16F877 in the settings file"), std::string::npos) << r.err;
    std::filesystem::current_path(old);
}

}  // namespace
