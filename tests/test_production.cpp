// SPDX-License-Identifier: GPL-2.0-or-later
// A production run's parts: the serial's bytes and place, the counter file's
// text and its refusals, the checksum against a plain sum of its own, the
// record as a JSON parser reads it, and the words each family's burn counts
// (in-process on the simulated board, from the --json line).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli/production.h"
#include "cli/record.h"
#include "cli/serial.h"
#include "devices/select.h"
#include "image/checksum.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace fs = std::filesystem;
using namespace cli;

namespace {

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

SerialSetup setup(SerialFormat format, int width, bool big) {
    SerialSetup s;
    s.file = "serial.txt";
    s.format = format;
    s.width = width;
    s.bigendian = big;
    return s;
}

}  // namespace

TEST(SerialBytes, EveryFormatWidthAndOrderAndWhatDoesNotFit) {
    using F = SerialFormat;
    const struct {
        uint64_t number;
        F format;
        int width;
        bool big;
        std::vector<uint8_t> bytes;  // empty: refused with `why`
        const char* why;
    } rows[] = {
        {0x1234, F::bin, 2, false, {0x34, 0x12}, ""},
        {0x1234, F::bin, 2, true, {0x12, 0x34}, ""},
        {0x1234, F::bin, 4, false, {0x34, 0x12, 0, 0}, ""},
        {255, F::bin, 1, false, {0xFF}, ""},
        {256, F::bin, 1, false, {}, "serial 256 does not fit 1 byte as bin (the largest is 255); give a larger --serial-width"},
        {65536, F::bin, 2, false, {}, "serial 65536 does not fit 2 bytes as bin (the largest is 65535); give a larger --serial-width"},
        {1234, F::bcd, 2, false, {0x34, 0x12}, ""},
        {1234, F::bcd, 3, true, {0x00, 0x12, 0x34}, ""},
        {10000, F::bcd, 2, false, {}, "serial 10000 does not fit 2 bytes as bcd (the largest is 9999); give a larger --serial-width"},
        {42, F::ascii, 4, true, {'0', '0', '4', '2'}, ""},
        {42, F::ascii, 4, false, {'2', '4', '0', '0'}, ""},
        {123, F::ascii, 2, true, {}, "serial 123 does not fit 2 bytes as ascii (the largest is 99); give a larger --serial-width"},
        {largestserial, F::bin, 8, false, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F, 0}, ""},
    };
    for (const auto& r : rows) {
        std::string why;
        EXPECT_EQ(serialbytes(r.number, setup(r.format, r.width, r.big), why), r.bytes) << r.number;
        EXPECT_EQ(why, r.why) << r.number;
    }
}

TEST(SerialPlace, OptionsTheChipsRoomAndTheImage) {
    SerialSetup s;
    EXPECT_TRUE(parseplace("id", s));
    EXPECT_TRUE(parseplace("EEPROM:0x7E", s));
    EXPECT_EQ(s.place, SerialPlace::eeprom);
    EXPECT_EQ(s.address, 0x7E);
    EXPECT_TRUE(parseplace("retlw:2032", s));
    EXPECT_EQ(s.address, 2032);
    for (const char* bad : {"", "eeprom", "eeprom:", "eeprom:-1", "ram:4", "retlw:0x10000", "id:0"})
        EXPECT_FALSE(parseplace(bad, s)) << bad;

    const struct {
        const char* chip;
        SerialPlace place;
        int32_t address;
        int width;
        const char* problem;
    } rows[] = {
        {"16F628A", SerialPlace::id, 0, 4, ""},
        {"16F628A", SerialPlace::id, 0, 5, "--serial-at id takes one byte per ID word, and the PIC16F628A has 4 ID words: give --serial-width 4 or less"},
        {"16F628A", SerialPlace::eeprom, 0x7E, 2, ""},
        {"16F628A", SerialPlace::eeprom, 0x7F, 2, "--serial-at eeprom:0x7F with --serial-width 2 runs past the end of the PIC16F628A's data EEPROM (128 bytes, 0x00 to 0x7F)"},
        {"16F716", SerialPlace::eeprom, 0, 1, "the PIC16F716 has no data EEPROM; use --serial-at id or retlw:ADDR"},
        {"16F83", SerialPlace::retlw, 0x1FE, 2, ""},
        {"16F83", SerialPlace::retlw, 0x1FF, 2, "--serial-at retlw:0x01FF with --serial-width 2 runs past the end of the PIC16F83's program memory (512 words, 0x0000 to 0x01FF)"},
    };
    for (const auto& r : rows) {
        SerialSetup p;
        p.place = r.place;
        p.address = r.address;
        p.width = r.width;
        EXPECT_EQ(placeproblem(p, *findchip(r.chip)), r.problem) << r.chip;
    }

    // An original chip's image holds 0 in a gap; the words between the
    // file's last and the serial are burnt erased, the serial as RETLWs.
    State st;
    selectchip(st, *findchip("16F84"));
    st.progused = 2;
    st.progmem[0] = 0x2805;
    st.progmem[1] = 0x0000;
    SerialSetup r;
    r.place = SerialPlace::retlw;
    r.address = 4;
    putserial(st, r, {0x12, 0x34});
    EXPECT_EQ(st.progused, 6);
    EXPECT_EQ(std::vector<int16_t>(st.progmem.begin(), st.progmem.begin() + 7),
              (std::vector<int16_t>{0x2805, 0, 0x3FFF, 0x3FFF, 0x3412, 0x3434, 0}));
    SerialSetup e;
    e.place = SerialPlace::eeprom;
    e.address = 2;
    putserial(st, e, {0xAB});
    EXPECT_EQ(st.dataused, 3);
    EXPECT_EQ(std::vector<int16_t>(st.datamem.begin(), st.datamem.begin() + 3), (std::vector<int16_t>{0xFF, 0xFF, 0xAB}));
    SerialSetup i;
    putserial(st, i, {0x01, 0x02, 0x03});
    EXPECT_EQ(st.idused, 3);
    EXPECT_EQ(std::vector<int16_t>(st.idmem.begin(), st.idmem.begin() + 3), (std::vector<int16_t>{1, 2, 3}));
}

TEST(CounterText, OursIsReadAndAnythingElseIsRefusedWithItsLine) {
    const std::string head = "quibb9x serial numbers, format 1\n";
    Counter c;
    std::string why;
    ASSERT_TRUE(parsecounter(head + "next 21\ntaken 20\nfailed 7\nfailed 3\n", c, why)) << why;
    EXPECT_EQ(c.next, 21u);
    EXPECT_EQ(c.taken, (std::set<uint64_t>{20}));
    EXPECT_EQ(c.failed, (std::set<uint64_t>{3, 7}));
    EXPECT_EQ(formatcounter(c), head + "next 21\ntaken 20\nfailed 3\nfailed 7\n");
    ASSERT_TRUE(parsecounter(head + "next 4", c, why));  // no newline at the end
    EXPECT_EQ(c.next, 4u);

    const struct {
        std::string text;
        const char* why;
    } refused[] = {
        {"", "is empty"},
        {"hello\n", "line 1 reads 'hello': not a counter file of quibb9x (its first line is 'quibb9x serial numbers, format 1')"},
        {"quibb9x serial numbers, format 2\nnext 1\n", "line 1: format '2' is not one this quibb9x reads"},
        {"\x1b[2J\n", "line 1 reads '\\x1b[2J': not a counter file of quibb9x (its first line is 'quibb9x serial numbers, format 1')"},
        {head, "has no 'next N' line"},
        {head + "next 5\nnext 6\n", "line 3: a second 'next' line"},
        {head + "next 5\n\n", "line 3 reads '', not 'next N', 'taken N' or 'failed N'"},
        {head + "next five\n", "line 2 reads 'next five', not 'next N', 'taken N' or 'failed N'"},
        {head + "next 0x10\n", "line 2 reads 'next 0x10', not 'next N', 'taken N' or 'failed N'"},
        {head + "next 5\nfailed 2\ntaken 2\n", "line 4: 2 is listed twice"},
        {head + "next 5\nfailed 9\n", "line 3: 9 was never given out (the next number is 5)"},
        {head + "next 99999999999999999\n", "line 2 reads 'next 99999999999999999', not 'next N', 'taken N' or 'failed N'"},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(parsecounter(r.text, c, why)) << r.text;
        EXPECT_EQ(why, r.why) << r.text;
    }
}

TEST(CounterFile, TakesInTurnKeepsFailuresAndRefusesWhatIsNotOurs) {
    ScratchDir scratch("counter", true);
    const fs::path dir = scratch.path();
    const auto none = [](uint64_t) { return std::string(); };
    CounterFile f("serial.txt", 100, 5);
    uint64_t next = 0, n = 0;
    std::string why;
    ASSERT_TRUE(f.check(next, why)) << why;
    EXPECT_EQ(next, 100u);
    EXPECT_FALSE(fs::exists(dir / "serial.txt"));  // a check writes nothing
    ASSERT_TRUE(f.take(n, none, why)) << why;
    EXPECT_EQ(n, 100u);
    EXPECT_EQ(slurp(dir / "serial.txt"), "quibb9x serial numbers, format 1\nnext 105\ntaken 100\n");
    uint64_t second = 0;
    ASSERT_TRUE(f.take(second, none, why));
    ASSERT_TRUE(f.finish(n, true, why));
    ASSERT_TRUE(f.finish(second, false, why));
    EXPECT_EQ(slurp(dir / "serial.txt"), "quibb9x serial numbers, format 1\nnext 110\nfailed 105\n");
    // A number that does not fit leaves the file as it was.
    const std::string before = slurp(dir / "serial.txt");
    EXPECT_FALSE(f.take(n, [](uint64_t v) { return "no " + std::to_string(v); }, why));
    EXPECT_EQ(why, "no 110");
    EXPECT_EQ(slurp(dir / "serial.txt"), before);
    ASSERT_TRUE(f.check(next, why));
    EXPECT_EQ(next, 110u);
    // Nothing but the file itself is left in the directory: the lock, no
    // temporary file.
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"serial.txt", "serial.txt.lock"}));

    fs::create_symlink("serial.txt", dir / "link");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    std::ofstream(dir / "empty");
    std::ofstream(dir / "notes") << "shopping list\n";
    const struct {
        const char* name;
        const char* why;
    } refused[] = {
        {"link", "the counter file link is a symbolic link; give the file itself, so that every run counts in the same one"},
        {"fifo", "the counter file fifo is a FIFO, not a counter file"},
        {"folder", "the counter file folder is a directory, not a counter file"},
        {"empty", "the counter file empty is empty"},
        {"notes", "the counter file notes, line 1 reads 'shopping list': not a counter file of quibb9x (its first line is 'quibb9x serial numbers, format 1')"},
    };
    for (const auto& r : refused) {
        CounterFile g(r.name, 1, 1);
        EXPECT_FALSE(g.check(next, why)) << r.name;
        EXPECT_EQ(why, r.why);
        EXPECT_FALSE(g.take(n, none, why)) << r.name;
        EXPECT_EQ(why, r.why);
    }
    EXPECT_EQ(slurp(dir / "notes"), "shopping list\n");
    EXPECT_EQ(slurp(dir / "serial.txt"), before);  // through the link: untouched
}

// A second sum, plain and apart from the program's: every program word the
// chip has, the file's or erased, masked to 14 bits, plus each
// configuration word under its implemented bits, in 16 bits.
TEST(Checksum, AgainstAPlainSumOnEveryChip) {
    std::mt19937 random(28);
    for (const ChipRow& row : chiprows()) {
        State s;
        selectchip(s, row);
        s.progused = static_cast<int16_t>(row.words(Kind::program) / 2 + 3);
        std::vector<bool> given(static_cast<size_t>(row.words(Kind::program)), false);
        for (int i = 0; i < s.progused; ++i) {
            s.progmem[i] = static_cast<int16_t>(random() & 0xFFFF);  // high bits are not the chip's
            given[static_cast<size_t>(i)] = i % 7 != 3;
        }
        s.configused = row.words(Kind::config);
        for (int k = 0; k < row.words(Kind::config); ++k) s.configmem[k] = static_cast<int16_t>(random() & 0x3FFF);
        uint32_t file = 0, chip = 0;
        std::vector<uint8_t> readout(0x4200 + 2 * static_cast<size_t>(row.words(Kind::data)), 0);
        for (int i = 0; i < row.words(Kind::program); ++i) {
            const uint32_t held = i < s.progused ? s.progmem[i] & 0x3FFF : 0x3FFF;
            chip += held;
            file += i < s.progused && given[static_cast<size_t>(i)] ? held : 0x3FFF;
            readout[2 * i] = held & 0xFF;
            readout[2 * i + 1] = static_cast<uint8_t>(held >> 8);
        }
        const size_t config = isoriginal(row) ? 0x2007 : 0x400E;
        for (int k = 0; k < row.words(Kind::config); ++k) {
            const uint32_t c = s.configmem[k] & row.config(k).mask;
            file += c;
            chip += c;
            readout[config + 2 * k] = static_cast<uint8_t>(s.configmem[k] & 0xFF);
            readout[config + 2 * k + 1] = static_cast<uint8_t>(s.configmem[k] >> 8);
        }
        EXPECT_EQ(filechecksum(s, given), file & 0xFFFF) << row.name;
        EXPECT_EQ(imagechecksum(s), chip & 0xFFFF) << row.name;
        EXPECT_EQ(readoutchecksum(row, readout), chip & 0xFFFF) << row.name;
    }
    // A blank chip, as a person can check by hand: 1024 × 0x3FFF + 0x3FFF.
    State blank;
    selectchip(blank, *findchip("16F84A"));
    EXPECT_EQ(checksumtext(imagechecksum(blank)), "0x3BFF");
}

TEST(Record, TheLineIsOneJsonObjectWithEveryField) {
    ChipRecord r;
    r.time = "2026-05-01T12:00:00.000Z";
    r.operation = "burn";
    r.chip = "PIC16F628A";
    r.deviceid = 0x1066;
    r.revision = 6;
    r.board = "original";
    r.port = 0x278;
    r.file = std::string("lot\x07\xff.hex");  // a bell and a byte that is not UTF-8
    r.sha256 = std::string(64, 'a');
    r.checksum = 0x19FF;
    r.serial = largestserial;
    r.written = 2071;
    r.verified = 2070;
    r.exit = exitverify;
    r.address = 0x2102;
    r.message = "ERROR!: Failed at 0x2102: Expecting 0x12, found 0x13.";
    const std::string line = jsonline(r);
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    QJsonParseError error;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
    const QJsonObject o = d.object();
    EXPECT_EQ(o.keys().size(), 18);
    EXPECT_EQ(o["time"].toString(), "2026-05-01T12:00:00.000Z");
    EXPECT_EQ(o["operation"].toString(), "burn");
    EXPECT_EQ(o["chip"].toString(), "PIC16F628A");
    EXPECT_EQ(o["deviceid"].toString(), "0x1066");
    EXPECT_EQ(o["revision"].toInt(), 6);
    EXPECT_EQ(o["board"].toString(), "original");
    EXPECT_EQ(o["port"].toString(), "0x278");
    EXPECT_EQ(o["file"].toString().toStdString(), "lot\\x07\\xff.hex");
    EXPECT_EQ(o["sha256"].toString().size(), 64);
    EXPECT_EQ(o["checksum"].toString(), "0x19FF");
    EXPECT_EQ(o["serial"].toInteger(), static_cast<qint64>(largestserial));
    EXPECT_EQ(o["written"].toInt(), 2071);
    EXPECT_EQ(o["verified"].toInt(), 2070);
    EXPECT_EQ(o["result"].toString(), "failed");
    EXPECT_EQ(o["failure"].toString(), "verify");
    EXPECT_EQ(o["exit"].toInt(), 3);
    EXPECT_EQ(o["address"].toString(), "0x2102");
    EXPECT_EQ(o["message"].toString().toStdString(), r.message);

    ChipRecord ok;
    ok.file = "blink.hex";
    const QJsonObject p = QJsonDocument::fromJson(QByteArray::fromStdString(jsonline(ok))).object();
    for (const char* null : {"deviceid", "revision", "sha256", "checksum", "serial", "failure", "address"})
        EXPECT_TRUE(p[null].isNull()) << null;
    EXPECT_EQ(p["result"].toString(), "ok");
    EXPECT_EQ(p["message"].toString(), "");

    const struct {
        int exit;
        const char* kind;
    } kinds[] = {{1, "input-or-device"}, {2, "usage"}, {3, "verify"}, {4, "wrong-chip"},
                 {5, "protected"}, {130, "interrupted"}, {141, "interrupted"}};
    for (const auto& k : kinds) EXPECT_EQ(failurekind(k.exit), k.kind);
}

// What a chip's operation said on standard error, without the progress
// line's redraws.
TEST(Record, LineWatchKeepsTheLinesSaidNotTheProgress) {
    std::ostringstream sink;
    std::ostream stream(sink.rdbuf());
    {
        LineWatch watch(stream);
        stream << "\rProgram memory: Programming... [##....] 12%\x1b[K\r\x1b[KERROR!: Failed at 0x5.\n"
               << "second\n" << std::flush;
        EXPECT_EQ(watch.lines(), (std::vector<std::string>{"ERROR!: Failed at 0x5.", "second"}));
    }
    EXPECT_EQ(sink.str().substr(sink.str().size() - 7), "second\n");  // all passed through
    EXPECT_EQ(stream.rdbuf(), sink.rdbuf());
}

namespace {

struct Burnt {
    int status;
    QJsonObject record;
    std::string err;
};

Burnt burnjson(const std::string& chip, const std::string& file, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"quibb9x", "--port", "0x278", "--device", chip, "--json"};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {"burn", std::string(FIXTURE_DIR) + "/" + file});
    Options o;
    std::string error;
    EXPECT_TRUE(parseoptions(args, o, error)) << error;
    const CliRun r = runcaptured(o);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    return {r.status, QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object(), r.err};
}

}  // namespace

// Each family's burn writes the file's words and reads every one back; the
// counts are the regions' words as the HEX load reports them.
TEST(Record, EachFamilysBurnCountsItsWordsAndTheFirstThatDiffered) {
    const struct {
        const char* chip;
        int32_t kind;
        const char* file;
        int words;  // program + ID + configuration + data, as loaded
    } rows[] = {
        {"16F84", ZAVSIM_16F84, "f84_blink_inhx32.hex", 20 + 4 + 1 + 5},
        {"16F628", ZAVSIM_16F628, "f628_blink_inhx32.hex", 2048 + 4 + 1 + 5},
        {"16F628A", ZAVSIM_16F628A, "f628a_blink_inhx32.hex", 2048 + 4 + 1 + 5},
        {"16F88", ZAVSIM_16F88, "f88_blink_inhx32.hex", 4096 + 4 + 2 + 5},
        {"16F716", ZAVSIM_16F716, "f716_blink_inhx32.hex", 2048 + 4 + 1},
    };
    for (const auto& r : rows) {
        sim::useSimulatedBoard();
        sim::board().setChip(r.kind);
        const Burnt b = burnjson(r.chip, r.file);
        EXPECT_EQ(b.status, 0) << r.chip << b.err;
        EXPECT_EQ(b.record["written"].toInt(), r.words) << r.chip;
        EXPECT_EQ(b.record["verified"].toInt(), r.words) << r.chip;
        EXPECT_EQ(b.record["result"].toString(), "ok");
        EXPECT_EQ(b.record["chip"].toString().toStdString(), "PIC" + std::string(r.chip));
    }
    // A protected 16F84 refuses word 0: written, not read back as burnt.
    sim::useSimulatedBoard();
    sim::board().setProtected(1);
    const Burnt b = burnjson("16F84", "f84_blink_inhx32.hex");
    EXPECT_EQ(b.status, exitverify);
    EXPECT_EQ(b.record["written"].toInt(), 1);
    EXPECT_EQ(b.record["verified"].toInt(), 0);
    EXPECT_EQ(b.record["address"].toString(), "0x0000");
    EXPECT_EQ(b.record["failure"].toString(), "verify");
    EXPECT_EQ(b.record["message"].toString(), "ERROR!: Failed at 0x0: Expecting 0x2805, found 0x0.");
}
