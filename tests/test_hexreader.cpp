// SPDX-License-Identifier: GPL-2.0-or-later
// The HEX reader against files written for each case and against real
// assembler output: what lands in the image, the counters, the file list, the
// status list and every message box.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/binding.h"
#include "core/startup.h"
#include "image/hexreader.h"
#include "image/image.h"
#include "support/scratchdir.h"
#include "support/recorder.h"

namespace {

// A record with a correct checksum, digits upper case.
std::string record(int type, int address, const std::vector<int>& bytes) {
    char text[16];
    std::string line = ":";
    int sum = static_cast<int>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(text, sizeof text, "%02X%04X%02X", static_cast<int>(bytes.size()), address, type);
    line += text;
    for (int b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X", (256 - sum % 256) % 256);
    return line + text;
}

const std::vector<std::string> emptysummary = {
    "Program memory loaded: 0 word(s)", "Configuration loaded:  0 word(s)",
    "ID memory loaded:      0 word(s)", "Data memory loaded:    0 word(s)"};

class HexReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { binding::chooseLibrary(SIMLIB_PATH); }

    void SetUp() override {
        startup(s);
        setdevice(s, 2);
    }

    std::string write(const std::string& content, const std::string& name = "t.hex") {
        const std::string path = dir + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out << content;
        return path;
    }
    bool load(const std::string& content) {
        r = Recorder();
        return loadhexfile(s, r, write(content));
    }
    std::vector<int> counters() const { return {s.progused, s.configused, s.idused, s.dataused}; }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const Box& b : r.boxes) t.push_back(b.title + "|" + b.text);
        return t;
    }
    void expectfailed() {
        EXPECT_EQ(counters(), std::vector<int>({0, 0, 0, 0}));
        EXPECT_EQ(r.status, std::vector<std::string>{"No file loaded."});
        ASSERT_FALSE(r.boxes.empty());
        EXPECT_EQ(r.boxes.back().text, "Unable to load file.");
        EXPECT_EQ(r.boxes.back().title, "ERROR!");
    }

    ScratchDir scratch{"hexreader"};
    std::string dir = scratch.path().string();
    State s;
    Recorder r;
};

// Both load, and a line of our own after the counts says the end record is
// missing.
TEST_F(HexReader, EmptyFileAndFileWithoutEndRecordLoad) {
    const std::string cutshort =
        "quibb9x: the file ends without its end record (:00000001FF): cut short? Only what it "
        "holds was loaded.";
    EXPECT_TRUE(load(""));
    std::vector<std::string> expected = emptysummary;
    expected.push_back(cutshort);
    EXPECT_EQ(r.status, expected);
    EXPECT_TRUE(r.files.empty());
    EXPECT_TRUE(r.boxes.empty());

    EXPECT_TRUE(load(record(0, 0, {1, 0, 2, 0}) + "\n"));
    EXPECT_EQ(counters(), std::vector<int>({2, 0, 0, 0}));
    EXPECT_EQ(s.progmem[0], 1);
    EXPECT_EQ(s.progmem[1], 2);
    EXPECT_EQ(r.status[0], "Program memory loaded: 2 word(s)");
    EXPECT_EQ(r.status.back(), cutshort);
    EXPECT_TRUE(load(record(0, 0, {1, 0, 2, 0}) + "\n:00000001FF\n"));
    EXPECT_EQ(r.status.size(), 4u);
}

// The counts run to the highest word of each region; where the file left
// gaps, a line of our own says how many words it gave and the highest.
TEST_F(HexReader, GapsAreNamedBesideTheCounts) {
    EXPECT_TRUE(load(record(0, 0, {5, 0x28}) + "\n" + record(0, 0x7FC, {1, 0, 2, 0}) + "\n" +
                     record(0, 0x4200, {0x11, 0}) + "\n" + record(0, 0x4208, {0x22, 0}) + "\n" +
                     record(0, 0x400E, {0xF1, 0x3F}) + "\n:00000001FF\n"));
    EXPECT_EQ(r.status, (std::vector<std::string>{"Program memory loaded: 1024 word(s)",
                                                  "Configuration loaded:  1 word(s)",
                                                  "ID memory loaded:      0 word(s)",
                                                  "Data memory loaded:    5 word(s)",
                                                  "quibb9x: program memory: 3 word(s) given, the highest at 0x03FF",
                                                  "quibb9x: data memory: 2 word(s) given, the highest at 0x2104"}));
}

// Data byte k lies at 0x4200 + 2k with its high byte after it: a record at
// an odd address or with an odd byte count would drop a byte, and is
// refused as one that does not fit.
TEST_F(HexReader, AStrayDataByteIsRefused) {
    EXPECT_FALSE(load(record(0, 0x4231, {0xAA, 0xBB}) + "\n:00000001FF\n"));
    EXPECT_EQ(texts(), std::vector<std::string>({"|Invalid address: 0x2118", "ERROR!|Unable to load file."}));
    expectfailed();
    EXPECT_FALSE(load(record(0, 0x4230, {0xAA, 0x00, 0xBB}) + "\n:00000001FF\n"));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x2119");
    // A record without a whole word beyond the chip names its own address.
    EXPECT_FALSE(load(record(0, 0x0802, {}) + "\n" + record(0x06, 0x8000, {0x11}) + "\n"));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x401");
    EXPECT_FALSE(load(record(0, 0x8000, {0x11}) + "\n"));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x4000");
    // In program memory an odd address still goes to the even neighbour.
    EXPECT_TRUE(load(record(0, 0x0003, {0x34, 0x12}) + "\n:00000001FF\n"));
    EXPECT_EQ(s.progmem[2], 0x1234);
}

TEST_F(HexReader, EndRecordStopsReadingWhateverFollows) {
    EXPECT_TRUE(load(":00000001FF trailing text\n" + record(0, 0, {1, 0}) + "\nhello\n"));
    EXPECT_EQ(r.files, std::vector<std::string>{"001->:00000001FF trailing text"});
    EXPECT_EQ(counters(), std::vector<int>({0, 0, 0, 0}));
    EXPECT_TRUE(r.boxes.empty());

    // A type 01 record with data and a correct checksum ends the load too.
    EXPECT_TRUE(load(record(1, 0, {0x12, 0x34}) + "\n" + record(0, 0, {1, 0}) + "\n"));
    EXPECT_EQ(r.files.size(), 1u);
    EXPECT_EQ(s.progused, 0);
}

TEST_F(HexReader, ConfigurationRecordInEitherCase) {
    for (const char* line : {":02400E00F13F80", ":02400e00f13f80"}) {
        s.configmem[0] = 0;
        EXPECT_TRUE(load(std::string(line) + "\r\n:00000001FF\r\n")) << line;
        EXPECT_EQ(s.configmem[0], 0x3FF1);
        EXPECT_EQ(r.status[1], "Configuration loaded:  1 word(s)");
        EXPECT_EQ(r.files[0], std::string("001->") + line);  // no CR left over
    }
}

TEST_F(HexReader, WrongChecksumFailsTheWholeLoad) {
    // The record before the bad line is stored, then put out of sight.
    EXPECT_FALSE(load(record(0, 0, {0x34, 0x12}) + "\n:00000001FE\n"));
    EXPECT_EQ(texts(), std::vector<std::string>({"UNABLE TO DECODE!|Unable to decode line: ':00000001FE'",
                                                 "ERROR!|Unable to load file."}));
    expectfailed();
    EXPECT_EQ(s.progmem[0], 0x1234);
    EXPECT_EQ(r.files.size(), 2u);
    // The box comes before the status list is cleared.
    const std::vector<std::string> tail(r.events.end() - 3, r.events.end());
    EXPECT_EQ(tail, std::vector<std::string>({"box ERROR!: Unable to load file.", "status clear",
                                              "status add No file loaded."}));

    // A record of 33 bytes is not decoded, checksum or not.
    EXPECT_FALSE(load(record(0, 0, std::vector<int>(33, 0))));
    EXPECT_EQ(r.boxes[0].text, "Unable to decode line: '" + record(0, 0, std::vector<int>(33, 0)).substr(0, 41) + "'");
    expectfailed();
}

TEST_F(HexReader, LinesWithoutStartCodeAreSkippedWithABox) {
    const std::string longbad(60, 'x');
    EXPECT_TRUE(load("hello\n\n   \n" + longbad + "\n" + record(0, 0, {7, 0}) + "\n"));
    EXPECT_EQ(texts(), std::vector<std::string>({"INVALID LINE!|Invalid line (skipped): 'hello'",
                                                 "INVALID LINE!|Invalid line (skipped): ''",
                                                 "INVALID LINE!|Invalid line (skipped): ''",
                                                 "INVALID LINE!|Invalid line (skipped): '" +
                                                     std::string(41, 'x') + "'"}));
    EXPECT_EQ(r.files[3], "004->" + longbad);
    EXPECT_EQ(s.progused, 1);
    EXPECT_EQ(s.progmem[0], 7);
}

TEST_F(HexReader, FreeFormatItems) {
    // Leading blanks go; a comma starts a further item, counted as a line;
    // the last line needs no line end.
    EXPECT_TRUE(load("   :02400E00F13F80,  " + record(0, 2, {5, 0}) + ",\n" + record(0, 0, {6, 0})));
    EXPECT_EQ(r.files, std::vector<std::string>({"001->:02400E00F13F80", "002->" + record(0, 2, {5, 0}),
                                                 "003->", "004->" + record(0, 0, {6, 0})}));
    EXPECT_EQ(texts(), std::vector<std::string>{"INVALID LINE!|Invalid line (skipped): ''"});
    EXPECT_EQ(s.configmem[0], 0x3FF1);
    EXPECT_EQ(s.progmem[0], 6);
    EXPECT_EQ(s.progmem[1], 5);

    // A blank or a tab in a field is read past: " 1" and "\t1" read as 01.
    for (char c : {' ', '\t'}) {
        std::string line = record(0, 0x400E, {0x01, 0x3F});
        line[9] = c;
        EXPECT_TRUE(load(line));
        EXPECT_EQ(s.configmem[0], 0x3F01);
    }
}

TEST_F(HexReader, RecordSizesAndHalving) {
    std::vector<int> bytes;
    for (int i = 0; i < 32; ++i) bytes.push_back(i % 2 ? 0x30 + i : i);
    EXPECT_TRUE(load(record(0, 0x20, bytes)));
    EXPECT_EQ(s.progused, 0x10 + 16);
    EXPECT_EQ(s.progmem[0x10], 0x3100);
    EXPECT_EQ(s.progmem[0x1F], 0x4F1E);

    // Odd counts and addresses: 3 bytes at byte 3 give two words at word 2
    // (the second word's high byte is read where the checksum stands).
    EXPECT_TRUE(load(record(0, 3, {0xAA, 0xBB, 0xCC}) + "\n"));
    EXPECT_EQ(s.progused, 4);
    EXPECT_EQ(s.progmem[2], static_cast<int16_t>(0xBBAA));
}

TEST_F(HexReader, RecordsBeyondTheirRegion) {
    EXPECT_FALSE(load(record(0, 0x0800, {0xFF, 0x3F})));
    EXPECT_EQ(texts(), std::vector<std::string>({"|Invalid address: 0x400", "ERROR!|Unable to load file."}));
    expectfailed();

    EXPECT_FALSE(load(record(0, 0x8000, {0xFF, 0x00})));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x4000");
    expectfailed();

    setdevice(s, 3);
    EXPECT_FALSE(load(record(0, 0x03F8, std::vector<int>(16, 0))));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x203");
    EXPECT_TRUE(load(record(0, 0x03FE, {1, 0})));
    EXPECT_EQ(s.progused, 512);
}

TEST_F(HexReader, LineNumbersGrowPastThreeDigits) {
    std::string content;
    for (int i = 0; i < 1000; ++i) content += ":0000000000\n";
    EXPECT_TRUE(load(content + ":00000001FF"));
    ASSERT_EQ(r.files.size(), 1001u);
    EXPECT_EQ(r.files[8], "009->:0000000000");
    EXPECT_EQ(r.files[98], "099->:0000000000");
    EXPECT_EQ(r.files[99], "100->:0000000000");
    EXPECT_EQ(r.files[100], "101->:0000000000");
    EXPECT_EQ(r.files[999], "1000->:0000000000");
    EXPECT_EQ(r.files[1000], "1001->:00000001FF");
}

TEST_F(HexReader, LongLinesAreCutTo256Characters) {
    const std::string good = record(0, 0, {9, 0}) + std::string(400, 'Z');
    const std::string bad = std::string(300, 'y') + ":";
    EXPECT_TRUE(load(good + "\n" + bad + "\n"));
    ASSERT_EQ(r.files.size(), 2u);
    EXPECT_EQ(r.files[0], "001->" + good.substr(0, 256));
    EXPECT_EQ(r.files[1], "002->" + bad.substr(0, 256));
    EXPECT_EQ(s.progmem[0], 9);
}

TEST_F(HexReader, ExtendedAddressRecordsPlaceTheFollowingRecords) {
    const std::string body = record(0, 0, {0x05, 0x28}) + "\n" + record(0, 0x400E, {0xF1, 0x3F}) + "\n" +
                             record(0, 0x4200, {0xA5, 0}) + "\n:00000001FF\n";
    EXPECT_TRUE(load(body));
    const std::vector<int> plain = counters();
    const std::vector<std::string> plainstatus = r.status;

    s.progmem[0] = s.configmem[0] = s.datamem[0] = 0;
    EXPECT_TRUE(load(":020000040000FA\n" + body));
    EXPECT_EQ(counters(), plain);
    EXPECT_EQ(r.status, plainstatus);
    EXPECT_EQ(s.progmem[0], 0x2805);
    EXPECT_EQ(s.configmem[0], 0x3FF1);
    EXPECT_EQ(s.datamem[0], 0xA5);
    EXPECT_EQ(r.files.size(), 5u);
    EXPECT_EQ(r.files[0], "001->:020000040000FA");
    EXPECT_EQ(r.files[1], "002->" + record(0, 0, {0x05, 0x28}));

    // A segment (type 02) of 0x400 puts record address 0x200 at byte 0x4200,
    // word 0x2100; the start-address records 03 and 05 are ignored.
    EXPECT_TRUE(load(record(2, 0, {0x04, 0x00}) + "\n" + record(0, 0x0200, {0x5A, 0}) + "\n" +
                     record(3, 0, {0, 0, 0x12, 0x34}) + "\n" + record(5, 0, {0, 0, 0, 0}) + "\n"));
    EXPECT_EQ(counters(), std::vector<int>({0, 0, 0, 1}));
    EXPECT_EQ(s.datamem[0], 0x5A);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.files.size(), 4u);
}

TEST_F(HexReader, UpperAddressBeyondTheChipIsRefused) {
    EXPECT_FALSE(load(":020000040001F9\n" + record(0, 0, {1, 0, 2, 0})));
    EXPECT_EQ(texts(), std::vector<std::string>({"|Invalid address: 0x8001", "ERROR!|Unable to load file."}));
    expectfailed();

    // The top of the 32-bit space neither overflows nor wraps into a region.
    EXPECT_FALSE(load(record(4, 0, {0xFF, 0xFF}) + "\n" + record(0, 0xFFFE, {1, 0})));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x7FFFFFFF");
    expectfailed();
    EXPECT_FALSE(load(record(4, 0, {0xFF, 0xFF}) + "\n" + record(0, 0xFFFF, {1, 0, 2, 0})));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x80000001");
    expectfailed();

    // Segment 0xF000 lands at byte 0xF0000, far past the data memory.
    EXPECT_FALSE(load(record(2, 0, {0xF0, 0x00}) + "\n" + record(0, 0, {1, 0})));
    EXPECT_EQ(r.boxes[0].text, "Invalid address: 0x78000");
}

// Each load starts from the start-up image: the first file's words are gone
// (the configuration word is the editor's and stays until a file gives one).
TEST_F(HexReader, WordsOfAnEarlierFileAreGoneBelowTheNewCounter) {
    s.configmem[0] = 0x3FF1;
    EXPECT_TRUE(load(record(0, 0, {1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0}) + "\n" +
                     record(0, 0x4200, {0x11, 0})));
    EXPECT_TRUE(load(record(0, 8, {0x44, 0})));
    EXPECT_EQ(s.progused, 5);
    EXPECT_EQ(s.progmem[0], 0);
    EXPECT_EQ(s.progmem[3], 0);
    EXPECT_EQ(s.progmem[4], 0x44);
    EXPECT_EQ(s.progmem[5], 0);
    EXPECT_EQ(s.datamem[0], 0);
    EXPECT_EQ(s.configmem[0], 0x3FF1);
}

TEST_F(HexReader, FilesThatCannotBeRead) {
    for (const std::string& name : {dir + "/missing.hex", dir, std::string("*.hex"), std::string()}) {
        r = Recorder();
        EXPECT_FALSE(loadhexfile(s, r, name)) << name;
        EXPECT_EQ(texts(), std::vector<std::string>{"ERROR!|Unable to load file."});
        EXPECT_TRUE(r.files.empty());
        expectfailed();
    }
}

TEST_F(HexReader, BinaryContentNeitherCrashesNorLoads) {
    // NUL bytes inside a line are characters like any other.
    std::string nul = ":02400E00F13F80";
    nul += '\0';
    nul += "junk\n";
    nul += '\0';
    nul += ":0000000000\n";
    EXPECT_TRUE(load(nul));
    EXPECT_EQ(s.configmem[0], 0x3FF1);
    EXPECT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].title, "INVALID LINE!");

    std::string binary;
    unsigned x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245 + 12345;
        binary += static_cast<char>(x >> 16);
    }
    binary.replace(0, 3, ":33");  // a first line that cannot be decoded
    EXPECT_FALSE(load(binary));
    EXPECT_EQ(r.boxes[0].title, "UNABLE TO DECODE!");
    expectfailed();
}

// Real assembler output: the same program in gpasm's two formats.
TEST_F(HexReader, GpasmFormatsLoadToTheSameImage) {
    State images[2];
    for (int k = 0; k < 2; ++k) {
        State& t = images[k];
        startup(t);
        setdevice(t, 2);
        r = Recorder();
        const std::string name = k == 0 ? "f84_blink_inhx32.hex" : "f84_blink_inhx8m.hex";
        ASSERT_TRUE(loadhexfile(t, r, std::string(FIXTURE_DIR) + "/" + name)) << name;
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.status, std::vector<std::string>({"Program memory loaded: 20 word(s)",
                                                      "Configuration loaded:  1 word(s)",
                                                      "ID memory loaded:      4 word(s)",
                                                      "Data memory loaded:    5 word(s)",
                                                      "quibb9x: program memory: 17 word(s) given, the highest at 0x0013"}));
        EXPECT_EQ(t.progmem[0], 0x2805);  // goto start
        EXPECT_EQ(t.configmem[0], 0x3FF1);
        EXPECT_EQ(std::vector<int>(t.idmem.begin(), t.idmem.begin() + 4), std::vector<int>({1, 2, 3, 4}));
        EXPECT_EQ(std::vector<int>(t.datamem.begin(), t.datamem.begin() + 5), std::vector<int>({0x00, 0x48, 0x69, 0x7F, 0xA5}));
    }
    EXPECT_EQ(0, std::memcmp(images[0].progmem.data(), images[1].progmem.data(), 2 * images[0].progmem.size()));
    EXPECT_EQ(0, std::memcmp(images[0].idmem.data(), images[1].idmem.data(), 2 * images[0].idmem.size()));
    EXPECT_EQ(0, std::memcmp(images[0].configmem.data(), images[1].configmem.data(), 2 * images[0].configmem.size()));
    EXPECT_EQ(0, std::memcmp(images[0].datamem.data(), images[1].datamem.data(), 2 * images[0].datamem.size()));
}

}  // namespace
