// SPDX-License-Identifier: GPL-2.0-or-later
// The factory's calibration of the PIC12F629/675 and 16F630/676 on their
// simulated chips, which lose OSCCAL and the band-gap bits to a bulk erase as
// the real ones do: burn, erase and --only-changed keep both exactly; a lost
// or unreadable calibration is refused before anything is erased; --osccal
// and --bandgap write the values given; a file's word 0x3FF and band-gap
// bits are never burnt; the read-outs, `calibration`, `detect` and `devices`
// show it; a program written for a chip of the kin is refused before the
// chip. And the exact command stream of an erase that keeps it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "cli/commands.h"
#include "core/lines.h"
#include "core/startup.h"
#include "devices/select.h"
#include "image/kinship.h"
#include "operations/calibration.h"
#include "operations/erase.h"
#include "support/recorder.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace {

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

CliRun quibb9x(std::vector<std::string> args) {
    args.insert(args.begin(), {"quibb9x", "--port", "0x278"});
    cli::Options o;
    std::string error;
    EXPECT_TRUE(cli::parseoptions(args, o, error)) << error;
    return runcaptured(o);
}

std::string hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

std::string bits(int bandgap) { return std::to_string(bandgap >> 1) + std::to_string(bandgap & 1); }

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The chip's calibration as the simulated board holds it.
int osccal() { return sim::board().read(4, 0); }
int bandgap() { return sim::board().read(4, 1); }

// Words written (or erased) since the last eventClear, by the chip's events.
std::vector<int> written() {
    std::vector<int> out;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 3) out.push_back(e.value);
    return out;
}
int writesat(int address) {
    const std::vector<int> all = written();
    return static_cast<int>(std::count(all.begin(), all.end(), address));
}

int faults() {
    int n = 0;
    for (const auto& e : sim::chipEvents()) n += e.kind == 4;
    return n;
}

// A HEX file's configuration word (INHX32 as gpasm writes it, one record).
int fileconfig(const std::string& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(":02400E00", 0) == 0) return std::stoi(line.substr(11, 2) + line.substr(9, 2), nullptr, 16);
    return -1;
}

struct Chip {
    const char* name;
    int32_t kind;
    const char* blink;
};
const Chip chips[] = {{"12F629", ZAVSIM_12F629, "f629_blink_inhx32.hex"},
                      {"12F675", ZAVSIM_12F675, "f629_blink_inhx32.hex"},
                      {"16F630", ZAVSIM_16F630, "f630_blink_inhx32.hex"},
                      {"16F676", ZAVSIM_16F676, "f630_blink_inhx32.hex"}};
void PrintTo(const Chip& c, std::ostream* os) { *os << c.name; }

struct Kept : ::testing::TestWithParam<Chip> {
    const Chip& chip = GetParam();
    int factoryosccal = 0, factorybandgap = 0;
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setChip(chip.kind);
        factoryosccal = osccal();
        factorybandgap = bandgap();
    }
    CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", chip.name});
        sim::board().eventClear();
        return quibb9x(args);
    }
    void expectkept(const std::string& what) {
        EXPECT_EQ(osccal(), factoryosccal) << what;
        EXPECT_EQ(bandgap(), factorybandgap) << what;
    }
    std::string keptline() const {
        return "Calibration kept: OSCCAL " + hex4(factoryosccal) + ", band-gap bits " + bits(factorybandgap) + "\n";
    }
};

TEST_P(Kept, BurnEraseAndOnlyChangedKeepTheCalibrationExactly) {
    ASSERT_EQ(factoryosccal & 0xFF00, 0x3400);  // a new chip's RETLW
    const std::string file = fixture(chip.blink);
    const int config = fileconfig(file);
    CliRun r = run({"burn", file});
    ASSERT_EQ(r.status, 0) << r.err;
    expectkept("burn");
    // Only the write-back touches word 0x3FF; the file's configuration word
    // is burnt with the chip's band-gap bits.
    EXPECT_EQ(writesat(0x3FF), 1);
    EXPECT_EQ(sim::board().read(2, 0), (config & 0x01FF) | factorybandgap << 12);
    EXPECT_TRUE(has(r.out, "quibb9x: not burnt: the band-gap bits 11 of the configuration word " +
                               hex4(config) + "; the chip keeps its own, " + bits(factorybandgap) +
                               "\n" + keptline()))
        << r.out;
    EXPECT_EQ(run({"verify", file}).status, 0);

    r = run({"erase", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "data...\n" + keptline() + "DONE.\n")) << r.out;
    expectkept("erase");
    EXPECT_EQ(run({"blank-check"}).status, 0);

    ASSERT_EQ(run({"burn", file}).status, 0);
    sim::board().write(0, 1, 0x0000);  // only an erase sets these bits again
    r = run({"burn", "--only-changed", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "needs bits set that only an erase sets")) << r.out;
    expectkept("only-changed, erased");
    r = run({"burn", "--only-changed", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, keptline() + "quibb9x: checksum 0x")) << r.out;
    EXPECT_TRUE(has(r.out, "quibb9x: programmed 0 of the")) << r.out;
    EXPECT_TRUE(written().empty());
    expectkept("only-changed");
    EXPECT_EQ(faults(), 0);
}

INSTANTIATE_TEST_SUITE_P(All, Kept, ::testing::ValuesIn(chips),
                         [](const auto& info) { return std::string("PIC") + info.param.name; });

// Each way a calibration can be found lost, on each command that would
// erase: refused with the reason, and nothing erased or written.
TEST(Calibration, ALostCalibrationIsRefusedBeforeAnythingIsErased) {
    const std::string lost =
        "quibb9x: the PIC12F629's factory calibration would be lost: OSCCAL (word 0x03FF) reads 0x3FFF, "
        "which is no RETLW 0x34NN: an erase that did not keep it has cleared it; nothing was erased. "
        "Give the chip's OSCCAL with --osccal 0x34NN: the label you wrote for the chip or your note of "
        "its values holds them\n";
    const struct {
        const char* what;
        int osccal, bandgap;
        bool protect;
        std::string err;
    } cases[] = {
        {"cleared", 0x3FFF, 2, false, lost},
        {"overwritten", 0x0FFF, 2, false,
         "quibb9x: the PIC12F629's factory calibration would be lost: OSCCAL (word 0x03FF) reads 0x0FFF, "
         "which is no RETLW 0x34NN; nothing was erased. Give the chip's OSCCAL with --osccal 0x34NN: the "
         "label you wrote for the chip or your note of its values holds them\n"},
        {"with the band-gap bits", 0x3FFF, 3, false,
         "quibb9x: the PIC12F629's factory calibration would be lost: OSCCAL (word 0x03FF) reads 0x3FFF, "
         "which is no RETLW 0x34NN: an erase that did not keep it has cleared it (its band-gap bits read "
         "11, as an erased chip's: they may be lost with it); nothing was erased. Give the chip's OSCCAL "
         "with --osccal 0x34NN (and --bandgap N if your note gives other band-gap bits than those read): "
         "the label you wrote for the chip or your note of its values holds them\n"},
        {"protected", -1, 2, true,
         "quibb9x: the PIC12F629's factory calibration would be lost: OSCCAL (word 0x03FF) cannot be read: "
         "the chip is code-protected (configuration word 0x207F), so its program memory reads as zeros; "
         "nothing was erased. Give the chip's OSCCAL with --osccal 0x34NN: the label you wrote for the "
         "chip or your note of its values holds them\n"},
    };
    const std::string file = fixture("f629_blink_inhx32.hex");
    for (const auto& c : cases)
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"erase", "--yes"}, {"burn", file}, {"burn", "--only-changed", file}}) {
            SCOPED_TRACE(std::string(c.what) + ": " + command[0] + " " + command[1]);
            sim::useSimulatedBoard();
            auto& b = sim::board();
            b.setChip(ZAVSIM_12F629);
            b.write(0, 0, 0x2805);
            if (c.osccal >= 0) b.write(4, 0, c.osccal);
            b.write(4, 1, c.bandgap);
            if (c.protect) b.setProtected(1);
            const int held = b.read(0, 0x3FF);
            std::vector<std::string> args{"--device", "12F629"};
            args.insert(args.end(), command.begin(), command.end());
            b.eventClear();
            const CliRun r = quibb9x(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, c.err);
            EXPECT_TRUE(written().empty());
            for (const int code : sim::commands()) EXPECT_TRUE(code != 9 && code != 11 && code != 8) << code;
            EXPECT_EQ(b.read(0, 0), 0x2805);
            EXPECT_EQ(b.read(0, 0x3FF), held);
            EXPECT_EQ(bandgap(), c.bandgap);
        }
}

// --osccal and --bandgap are written back in place of what the chip reads,
// a lost OSCCAL and an unreadable one alike; given to --only-changed, values
// other than the chip's make it a whole burn.
TEST(Calibration, ValuesGivenAreWrittenBack) {
    sim::useSimulatedBoard();
    auto& b = sim::board();
    b.setChip(ZAVSIM_12F629);
    b.write(4, 0, 0x3FFF);
    const std::string file = fixture("f629_blink_inhx32.hex");
    CliRun r = quibb9x({"--device", "12F629", "--osccal", "0x3480", "erase", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(osccal(), 0x3480);
    EXPECT_TRUE(has(r.out, "Calibration written back as given: OSCCAL 0x3480, band-gap bits 10 (read: "
                           "OSCCAL 0x3FFF (lost), band-gap bits 10)\n"))
        << r.out;

    r = quibb9x({"--device", "12F629", "--bandgap", "01", "burn", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(osccal(), 0x3480);
    EXPECT_EQ(bandgap(), 1);
    EXPECT_EQ(b.read(2, 0), (fileconfig(file) & 0x01FF) | 0x1000);

    r = quibb9x({"--device", "12F629", "--osccal", "3481", "--bandgap", "1", "burn", "--only-changed", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "quibb9x: the calibration given is not the chip's, and only an erase lets it be "
                           "written: the chip was erased and all 1033 words of the file were burnt\n"))
        << r.out;
    EXPECT_EQ(osccal(), 0x3481);
    EXPECT_EQ(bandgap(), 1);

    b.setProtected(1);
    r = quibb9x({"--device", "12F629", "--osccal", "0x3482", "erase", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(b.isProtected(), 0);
    EXPECT_EQ(osccal(), 0x3482);
    EXPECT_EQ(bandgap(), 1);
    EXPECT_EQ(faults(), 0);
}

// A file that carries a word 0x3FF (a read-out of another chip, say) and a
// configuration word whose band-gap bits are not the chip's: neither is
// burnt, each said in one line, and verify compares neither.
TEST(Calibration, AFilesOsccalWordAndBandGapBitsAreNeverBurnt) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_12F629);
    ScratchDir scratch{"calibrationfile", true};
    const std::string file = (scratch.path() / "withosccal.hex").string();
    {
        std::ifstream in(fixture("f629_blink_inhx32.hex"));
        std::ofstream out(file);
        for (std::string line; std::getline(in, line);) {
            if (line == ":00000001FF") out << ":0207FE00803445\n";  // word 0x3FF: RETLW 0x80
            out << line << "\n";
        }
    }
    for (const char* command : {"burn", "verify"}) {
        sim::board().eventClear();
        const CliRun r = quibb9x({"--device", "12F629", "--config", "0x01A4", command, file});
        EXPECT_EQ(r.status, 0) << command << r.err;
        if (std::string(command) == "verify") continue;
        EXPECT_TRUE(has(r.out, "quibb9x: not burnt: the file's word 0x03FF, 0x3480; the chip keeps OSCCAL 0x3494\n"
                               "quibb9x: not burnt: the band-gap bits 00 of the configuration word 0x01A4; "
                               "the chip keeps its own, 10\nCalibration kept: OSCCAL 0x3494, band-gap bits 10\n"))
            << r.out;
        EXPECT_EQ(writesat(0x3FF), 1);  // the write-back
    }
    EXPECT_EQ(osccal(), 0x3494);
    EXPECT_EQ(sim::board().read(2, 0), 0x21A4);
}

// The commands the chip decodes around the bulk erase: OSCCAL and the
// configuration word read first, the erase from configuration space, OSCCAL
// and the band-gap bits written back and read back, with their waits.
TEST(Calibration, AnEraseReadsFirstAndWritesBackWithTheseCommands) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_12F629);
    State s;
    startup(s);
    selectchip(s, *findchip("12F629"));
    s.portaddr = 0x278;
    Recorder f;
    // The waits of one entry into programming mode, as the board gives them.
    sim::clearWaits();
    vppreset(s);
    allpinslow(s);
    const std::vector<int> entry = sim::sleeps();
    sim::board().eventClear();
    sim::clearWaits();
    KeptCalibration kept;
    ASSERT_TRUE(erasewhole(s, currentchip(s), nullptr, &kept));
    std::vector<int> expected;
    const auto increments = [&](int n) { expected.insert(expected.end(), n, 6); };
    increments(1023), expected.push_back(4), expected.push_back(0), increments(7), expected.push_back(4);
    expected.insert(expected.end(), {0, 9, 11});
    increments(1023), expected.insert(expected.end(), {2, 8, 4, 0});
    increments(7), expected.insert(expected.end(), {2, 8, 4});
    EXPECT_EQ(sim::commands(), expected);
    std::vector<int> frames;
    for (const auto& e : sim::chipEvents())
        if (e.kind == 1) frames.push_back(e.value);
    EXPECT_EQ(frames, (std::vector<int>{0x3FFF, 0x3FFF, 0x3494, 0x3FFF, 0x21FF}));
    std::vector<int> waits = entry;  // read first
    waits.insert(waits.end(), entry.begin(), entry.end());
    waits.insert(waits.end(), {6, 6});  // TERA twice
    waits.insert(waits.end(), entry.begin(), entry.end());
    waits.insert(waits.end(), {3, 3});  // TPROG1 for OSCCAL and for the band-gap bits
    EXPECT_EQ(sim::sleeps(), waits);
    EXPECT_EQ(kept.keep.osccal, 0x3494);
    EXPECT_EQ(kept.keep.bandgap, 2);
    EXPECT_TRUE(kept.restored);
    EXPECT_EQ(faults(), 0);
    // The window's and the burn's lines.
    EXPECT_TRUE(showkept(s, f, kept, false));
    EXPECT_EQ(f.status, (std::vector<std::string>{"Calibration kept: OSCCAL 0x3494, band-gap bits 10"}));
}

TEST(Calibration, TheReadOutsDetectCalibrationAndDevicesShowIt) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16F630);
    ScratchDir scratch{"calibrationdump", true};
    const std::string hex = (scratch.path() / "out.hex").string(), bin = (scratch.path() / "out.bin").string();
    CliRun r = quibb9x({"--device", "16F630", "read-hex", hex});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "SUCCESS!\nCalibration: OSCCAL 0x34A4, band-gap bits 10\nOk. Save successfull!\n")) << r.out;
    std::ifstream in(hex);
    const std::string dump((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(has(dump, ":1007F000FF3FFF3FFF3FFF3FFF3FFF3FFF3FA4346F\r\n")) << dump;
    EXPECT_TRUE(has(dump, ":02400E00FF2190\r\n")) << dump;
    EXPECT_EQ(quibb9x({"--device", "16F630", "read-bin", bin}).status, 0);
    std::ifstream b(bin, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(b)), {});
    ASSERT_GT(bytes.size(), 0x7FFu);
    EXPECT_EQ(bytes.substr(0x7FE, 2), std::string("\xA4\x34", 2));

    r = quibb9x({"--device", "16F630", "calibration"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "quibb9x: PIC16F630 calibration: OSCCAL 0x34A4, band-gap bits 10\n");
    r = quibb9x({"--device", "auto", "detect"});
    EXPECT_TRUE(has(r.out, "quibb9x: word 0x2006 reads 0x10C1: PIC16F630, revision 1\n"
                           "quibb9x: PIC16F630 calibration: OSCCAL 0x34A4, band-gap bits 10\n"))
        << r.out;
    sim::board().write(4, 0, 0x3FFF);
    r = quibb9x({"--device", "auto", "calibration"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "quibb9x: --device auto: word 0x2006 reads 0x10C1: PIC16F630, revision 1; working on it "
                     "as a PIC16F630\nquibb9x: PIC16F630 calibration: OSCCAL 0x3FFF (lost), band-gap bits 10\n");
    EXPECT_EQ(r.err, "quibb9x: OSCCAL (word 0x03FF) reads 0x3FFF, which is no RETLW 0x34NN: an erase that "
                     "did not keep it has cleared it; an erase or burn refuses the chip until --osccal gives "
                     "the value\n");
    r = quibb9x({"--device", "16F84", "calibration"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quibb9x: the PIC16F84 carries no factory calibration; choose such "
                     "a chip with --device ('quibb9x devices' lists them)\n");

    r = quibb9x({"devices"});
    EXPECT_TRUE(has(r.out, "PIC12F629            1024         128  0x2007          0x03FF       0x0F80     8-pin    "
                           "simulated board\n"));
    EXPECT_TRUE(has(r.out,
                    "\nFactory calibration, read before every erase and written back after (the chip's own, "
                    "or --osccal and --bandgap):\n  PIC12F629, PIC12F675, PIC16F630, PIC16F676: OSCCAL, a RETLW "
                    "0x34NN at word 0x03FF and the band-gap bits BG1:BG0, bits 13:12 of word 0x2007\n\n"))
        << r.out;
    EXPECT_TRUE(has(r.out, "  8-pin:  MCLR/Vpp 4 (GP3), clock 6 (GP1), data 7 (GP0), VDD 1, VSS 8\n"
                           "  14-pin: MCLR/Vpp 4 (RA3), clock 12 (RA1), data 13 (RA0), VDD 1, VSS 14\n"));
    EXPECT_TRUE(has(r.out, "  PIC16F630:\n    device ID 0x10C0, as every source but one gives it;")) << r.out;
}

// A program that uses a register the chosen chip lacks is refused before
// the port is touched; on its own chip it burns.
TEST(Calibration, AProgramForAChipOfTheKinIsRefusedBeforeTheChip) {
    const struct {
        uint16_t instruction;
        int reg;
    } decoded[] = {{0x009F, 0x1F}, {0x019F, 0x1F}, {0x0100, -1}, {0x0064, -1}, {0x0008, -1},
                   {0x0000, -1},   {0x081E, 0x1E}, {0x1683, 0x03}, {0x1F9F, 0x1F}, {0x23FF, -1},
                   {0x3494, -1},   {0x3FFF, -1},   {0x0080, 0x00}, {0x0A87, 0x07}};
    for (const auto& d : decoded) EXPECT_EQ(fileregister(d.instruction), d.reg) << hex4(d.instruction);

    const struct {
        const char* device;
        int32_t kind;
        const char* file;
        std::string err;
    } cases[] = {
        {"12F629", ZAVSIM_12F629, "f675_adc_inhx32.hex",
         "word 0x0004 (0x009F) uses register 0x1F, the PIC12F675's ADCON0 or ANSEL, which the PIC12F629 does "
         "not have: the program was written for a PIC12F675; nothing was sent to the chip. Burn it into a "
         "PIC12F675 (--device), or assemble the program for the PIC12F629\n"},
        {"12F675", ZAVSIM_12F675, "f630_blink_inhx32.hex",
         "word 0x0008 (0x0187) uses register 0x07, the PIC16F630 or PIC16F676's PORTC or TRISC, which the "
         "PIC12F675 does not have: the program was written for a PIC16F630 or PIC16F676; nothing was sent to "
         "the chip. Burn it into a PIC16F630 or PIC16F676 (--device), or assemble the program for the "
         "PIC12F675\n"},
    };
    for (const auto& c : cases) {
        sim::useSimulatedBoard();
        sim::board().setChip(c.kind);
        sim::board().eventClear();
        const CliRun r = quibb9x({"--device", c.device, "burn", fixture(c.file)});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "quibb9x: " + fixture(c.file) + ": " + c.err);
        EXPECT_TRUE(sim::commands().empty()) << c.device;
        EXPECT_EQ(sim::board().inProgrammingMode(), 0);
    }
    sim::board().setChip(ZAVSIM_12F675);
    const CliRun r = quibb9x({"--device", "12F675", "burn", fixture("f675_adc_inhx32.hex")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim::board().read(0, 4), 0x009F);
}

TEST(Calibration, TheOptionsTakeTheValuesAsWrittenDownAndOnlyWhereTheyBelong) {
    const struct {
        const char* text;
        int osccal, bandgap;
    } values[] = {{"0x3480", 0x3480, -1}, {"34ff", 0x34FF, -1}, {"0x3500", -1, -1}, {"0x3FFF", -1, -1},
                  {"10", -1, 2},          {"11", -1, 3},        {"01", -1, 1},       {"3", -1, 3},
                  {"2", -1, 2},           {"0", -1, 0},         {"4", -1, -1},       {"12", -1, -1},
                  {"", -1, -1},           {"0x", -1, -1}};
    for (const auto& v : values) {
        EXPECT_EQ(parseosccal(v.text).value_or(-1), v.osccal) << v.text;
        EXPECT_EQ(parsebandgap(v.text).value_or(-1), v.bandgap) << v.text;
    }
    const struct {
        std::vector<std::string> args;
        std::string error;
    } refused[] = {
        {{"--osccal", "0x3500", "erase"},
         "bad --osccal '0x3500': give the chip's OSCCAL word, a RETLW from 0x3400 to 0x34FF (e.g. 0x3480)"},
        {{"--bandgap", "2x", "erase"}, "bad --bandgap '2x': give the band-gap bits BG1:BG0 as two binary digits, 00 to 11"},
        {{"--osccal", "0x3480", "verify", "x.hex"},
         "--osccal goes with burn or erase, which write the calibration back after the erase"},
        {{"--bandgap", "10"}, "--bandgap goes with burn or erase, which write the calibration back after the erase"},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args{"quibb9x"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        cli::Options o;
        std::string error;
        EXPECT_FALSE(cli::parseoptions(args, o, error));
        EXPECT_EQ(error, c.error);
    }
    sim::useSimulatedBoard();
    const CliRun r = quibb9x({"--device", "16F628A", "--osccal", "0x3480", "erase", "--yes"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quibb9x: --osccal is for a chip that carries the factory's calibration (PIC12F629, "
                     "PIC12F675, PIC16F630, PIC16F676), not the PIC16F628A; nothing was sent to the chip\n");
}

}  // namespace
