// SPDX-License-Identifier: GPL-2.0-or-later
// The HEX and BIN dumps end to end on the simulated board: the exact bytes of
// the files, the status list, the boxes, what a dump restores when it is
// loaded and burnt again, and the files a dump must never touch.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <cerrno>
#include <sys/syscall.h>

#include "core/startup.h"
#include "image/dumps.h"
#include "settings/settings.h"
#include "image/hexreader.h"
#include "operations/program.h"
#include "support/scratchdir.h"
#include "support/recorder.h"
#include "support/simboard.h"

// The program's fsync, linked into this test, fails while asked to (a disk
// that reports its write error only when the data is made durable).
static bool fsyncfails = false;
extern "C" int fsync(int fd) {
    if (fsyncfails) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace {

namespace fs = std::filesystem;

enum { progregion = 0, idregion = 1, configregion = 2, dataregion = 3 };

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string readfile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writefile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(text.substr(at, end - at));
    if (at < text.size()) out.push_back(text.substr(at));
    return out;
}

class Dumps : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedPIC16F84(s);
        sim::board().setChip(ZAVSIM_16F84);
        s.tempfile = dir + "/quibb.tmp";
    }

    std::string dumpbin(const std::string& name = "out.bin") {
        s.dumpfile = dir + "/" + name;
        r = Recorder();
        ok = save_bin(s, r, chipreader(s, r));
        return readfile(s.dumpfile);
    }
    std::string dumphex(const std::string& name = "out.hex") {
        s.dumpfile = dir + "/" + name;
        r = Recorder();
        ok = save_hex(s, r, chipreader(s, r));
        return readfile(s.dumpfile);
    }
    // A chip whose every cell differs from its neighbours and from blank.
    void fillchip() {
        for (int i = 0; i < 1024; ++i) sim::board().write(progregion, i, (i * 37 + 5) & 0x3FFF);
        const int ids[4] = {0x0123, 0x0456, 0x0789, 0x2ABC};
        for (int i = 0; i < 4; ++i) sim::board().write(idregion, i, ids[i]);
        sim::board().write(configregion, 0, 0x3FF1);
        for (int i = 0; i < 64; ++i) sim::board().write(dataregion, i, (i * 7 + 1) & 0xFF);
    }
    std::vector<std::string> dirlisting() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchDir scratch{"dumps"};
    std::string dir = scratch.path().string();
    State s;
    Recorder r;
    bool ok = false;
};

TEST(Formato, TwoUpperCaseDigits) {
    EXPECT_EQ(formato(0), "00");
    EXPECT_EQ(formato(5), "05");
    EXPECT_EQ(formato(0x0A), "0A");
    EXPECT_EQ(formato(0x3F), "3F");
    EXPECT_EQ(formato(255), "FF");
}

TEST_F(Dumps, BinOfABlank16F84ByteForByte) {
    s.progused = 3;
    const std::string bin = dumpbin();
    ASSERT_TRUE(ok);
    std::string expected = repeat(std::string("\xFF\x3F", 2), 1024);
    expected += std::string(0x2000 - 0x800, '\0');
    expected += std::string("\xFF\x3F\xFF\x3F\xFF\x3F\xFF", 7) + std::string("\xFF\x3F", 2);
    expected += std::string(0x2100 - 0x2009, '\0');
    expected += repeat(std::string("\xFF\x00", 2), 64);
    ASSERT_EQ(expected.size(), 8576u);
    EXPECT_EQ(bin, expected);

    EXPECT_EQ(r.status, std::vector<std::string>({"SUCCESS!", "Ok. Save successfull!"}));
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(std::vector<int>({s.progused, s.idused, s.configused, s.dataused}),
              std::vector<int>({1024, 4, 1, 64}));
    const std::vector<std::string> opening(r.events.begin(), r.events.begin() + 7);
    EXPECT_EQ(opening, std::vector<std::string>({"window repaint", "status clear",
                                                 "status add Dumping contents of PIC to:",
                                                 "status add " + s.dumpfile, "status repaint",
                                                 "status add Blanking file...", "status repaint"}));
    EXPECT_EQ(dirlisting(), std::vector<std::string>{"out.bin"});
}

TEST_F(Dumps, HexOfABlank16F84) {
    const std::string hex = dumphex();
    ASSERT_TRUE(ok);
    const std::vector<std::string> l = lines(hex);
    ASSERT_EQ(l.size(), 139u);
    EXPECT_EQ(hex.substr(hex.size() - 13), ":00000001FF\r\n");
    EXPECT_EQ(l[0], ":10000000" + repeat("FF3F", 8) + "00");
    EXPECT_EQ(l[1], ":10001000" + repeat("FF3F", 8) + "F0");
    EXPECT_EQ(l[127], ":1007F000" + repeat("FF3F", 8) + "09");
    EXPECT_EQ(l[128], ":08400000" + repeat("FF3F", 4) + "C0");
    EXPECT_EQ(l[129], ":02400E00FF3F72");
    EXPECT_EQ(l[130], ":10420000" + repeat("FF00", 8) + "B6");
    EXPECT_EQ(l[137], ":10427000" + repeat("FF00", 8) + "46");
    for (const std::string& line : l) EXPECT_EQ(validhexline(line), 1) << line;

    EXPECT_EQ(r.status, std::vector<std::string>({"SUCCESS!", "Ok. Save successfull!"}));
    const std::vector<std::string> opening(r.events.begin(), r.events.begin() + 8);
    EXPECT_EQ(opening, std::vector<std::string>({"window repaint", "status clear",
                                                 "status add Dumping contents of PIC to:",
                                                 "status add Using temp-file: " + s.tempfile,
                                                 "status add " + s.dumpfile, "status repaint",
                                                 "status add Blanking file...", "status repaint"}));
    // The temporary file is gone, and nothing else is left beside the dump.
    EXPECT_EQ(dirlisting(), std::vector<std::string>{"out.hex"});
}

TEST_F(Dumps, IdLocationsAndConfigurationWordAsTheChipHoldsThem) {
    fillchip();
    // In the read-out layout the configuration word's low byte covers the
    // high byte of ID word 3...
    const std::string bin = dumpbin();
    ASSERT_TRUE(ok);
    EXPECT_EQ(bin.substr(0x2000, 9), std::string("\x23\x01\x56\x04\x89\x07\xBC\xF1\x3F", 9));
    EXPECT_EQ(bin.substr(0x2100, 4), std::string("\x01\x00\x08\x00", 4));

    // ...while the HEX dump carries ID word 3 whole.
    const std::vector<std::string> l = lines(dumphex());
    ASSERT_TRUE(ok);
    ASSERT_EQ(l.size(), 139u);
    EXPECT_EQ(l[128], ":08400000230156048907BC2AC4");
    EXPECT_EQ(l[129], ":02400E00F13F80");
    EXPECT_EQ(l[130].substr(0, 17), ":1042000001000800");
}

TEST_F(Dumps, SixteenC84ConfigurationHasNoHighByte) {
    setdevice(s, 1);
    sim::board().setChip(ZAVSIM_16C84);
    const std::string bin = dumpbin();
    ASSERT_TRUE(ok);
    EXPECT_EQ(bin.substr(0x2007, 2), std::string("\x1F\x00", 2));
    EXPECT_EQ(lines(dumphex())[129], ":02400E001F0091");
}

TEST_F(Dumps, SixteenF83SelectedStillDumpsTheWholeChip) {
    setdevice(s, 3);
    s.progused = s.idused = s.configused = s.dataused = 0;
    const std::vector<std::string> l = lines(dumphex());
    ASSERT_TRUE(ok);
    ASSERT_EQ(l.size(), 139u);
    EXPECT_EQ(l[127].substr(0, 9), ":1007F000");
    EXPECT_EQ(std::vector<int>({s.progused, s.idused, s.configused, s.dataused}),
              std::vector<int>({1024, 4, 1, 64}));
}

TEST_F(Dumps, AHexDumpBurntIntoABlankChipReproducesTheOriginal) {
    fillchip();
    dumphex();
    ASSERT_TRUE(ok);

    sim::board().setChip(ZAVSIM_16F84);  // blank
    s.configmem[0] = 0x3FFF;             // whatever the editor held
    r = Recorder();
    ASSERT_TRUE(loadhexfile(s, r, s.dumpfile));
    EXPECT_EQ(r.status, std::vector<std::string>({"Program memory loaded: 1024 word(s)",
                                                  "Configuration loaded:  1 word(s)",
                                                  "ID memory loaded:      4 word(s)",
                                                  "Data memory loaded:    64 word(s)"}));
    ASSERT_TRUE(program2(s, r, modeprogram));

    for (int i = 0; i < 1024; ++i) ASSERT_EQ(sim::board().read(progregion, i), (i * 37 + 5) & 0x3FFF) << i;
    EXPECT_EQ(sim::board().read(idregion, 0), 0x0123);
    EXPECT_EQ(sim::board().read(idregion, 1), 0x0456);
    EXPECT_EQ(sim::board().read(idregion, 2), 0x0789);
    EXPECT_EQ(sim::board().read(idregion, 3), 0x2ABC);
    EXPECT_EQ(sim::board().read(configregion, 0), 0x3FF1);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(sim::board().read(dataregion, i), (i * 7 + 1) & 0xFF) << i;
}

TEST_F(Dumps, TargetsThatCannotBeWrittenGiveTheBox) {
    writefile(dir + "/plain", "x");
    for (const std::string& target : {std::string("/nonexistent-dir/out"), dir + "/plain/out", dir + "/sub/"}) {
        fs::create_directory(dir + "/sub");
        s.dumpfile = target;
        r = Recorder();
        EXPECT_FALSE(save_bin(s, r, chipreader(s, r))) << target;
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, "File error");
        EXPECT_EQ(r.boxes[0].title, "ERROR!");
        EXPECT_EQ(r.status, std::vector<std::string>({"Dumping contents of PIC to:", target}));

        r = Recorder();
        EXPECT_FALSE(save_hex(s, r, chipreader(s, r))) << target;
        ASSERT_EQ(r.boxes.size(), 1u);
        EXPECT_EQ(r.boxes[0].text, "File error!");
        EXPECT_EQ(r.boxes[0].title, "ERROR!");
    }
    // An empty name and an existing directory fail the same way.
    s.dumpfile = "";
    r = Recorder();
    EXPECT_FALSE(save_bin(s, r, chipreader(s, r)));
    s.dumpfile = dir + "/sub";
    r = Recorder();
    EXPECT_FALSE(save_hex(s, r, chipreader(s, r)));
    EXPECT_EQ(r.boxes.size(), 1u);
    EXPECT_TRUE(fs::is_directory(dir + "/sub"));
    // The HEX dumps failed after their read-outs: no temporary file is left.
    EXPECT_EQ(dirlisting(), std::vector<std::string>({"plain", "sub"}));
}

// A write that fails part-way (here: the file-size limit, as a full disk
// would) gives the box and leaves the earlier file under the name intact.
TEST_F(Dumps, AFailedWriteKeepsTheEarlierFile) {
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*oldhandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    writefile(dir + "/out.bin", "OLD BIN");
    writefile(dir + "/out.hex", "OLD HEX");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    EXPECT_EQ(dumpbin(), "OLD BIN");
    EXPECT_FALSE(ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "File error");
    EXPECT_NE(r.status.back(), "Ok. Save successfull!");

    EXPECT_EQ(dumphex(), "OLD HEX");
    EXPECT_FALSE(ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "File error!");
    EXPECT_NE(r.status.back(), "Ok. Save successfull!");

    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldhandler);
    // Nor is a temporary file left.
    EXPECT_EQ(dirlisting(), std::vector<std::string>({"out.bin", "out.hex"}));
}

// An fsync that fails as a file is finished: the dump reports a file error,
// and neither it nor the settings file replaces the earlier file or leaves
// its temporary file behind.
TEST_F(Dumps, AFailingFsyncKeepsTheEarlierFile) {
    writefile(dir + "/out.bin", "OLD BIN");
    writefile(dir + "/out.hex", "OLD HEX");
    const std::string settings = "[OPTIONS]\nPIC= 3\n";
    writefile(dir + "/quibb9x.ini", settings);
    fsyncfails = true;
    EXPECT_EQ(dumpbin(), "OLD BIN");
    EXPECT_FALSE(ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "File error");
    EXPECT_NE(r.status.back(), "Ok. Save successfull!");
    EXPECT_EQ(dumphex(), "OLD HEX");
    EXPECT_FALSE(ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "File error!");
    s.startdir = dir;
    EXPECT_FALSE(save_ini(s, "x.hex"));
    fsyncfails = false;
    EXPECT_EQ(readfile(dir + "/quibb9x.ini"), settings);
    EXPECT_EQ(dirlisting(), std::vector<std::string>({"out.bin", "out.hex", "quibb9x.ini"}));
    EXPECT_NE(dumpbin(), "OLD BIN");
    EXPECT_TRUE(ok);
}

// An operation unwound part-way (the command line's Ctrl-C does so) takes
// the unfinished file away and leaves the earlier one under the name.
TEST_F(Dumps, AnUnwoundDumpLeavesNoPartialFile) {
    struct Stop {};
    writefile(dir + "/out.bin", "OLD BIN");
    s.dumpfile = dir + "/out.bin";
    r = Recorder();
    r.onProgress = [](int value) {
        if (value == 100) throw Stop{};
    };
    EXPECT_THROW(save_bin(s, r, chipreader(s, r)), Stop);
    EXPECT_EQ(readfile(dir + "/out.bin"), "OLD BIN");
    EXPECT_EQ(dirlisting(), std::vector<std::string>{"out.bin"});
    // The HEX dump's temporary file goes too.
    s.dumpfile = dir + "/out.hex";
    EXPECT_THROW(save_hex(s, r, chipreader(s, r)), Stop);
    EXPECT_EQ(dirlisting(), std::vector<std::string>{"out.bin"});
}

TEST_F(Dumps, TemporaryLinksAreNeverWrittenThroughADumpsLinkKeepsItsPlace) {
    const std::string victim = dir + "/victim";
    writefile(victim, "precious");

    // A link at the old fixed temporary name...
    const std::string fixedname = s.tempfile;
    ASSERT_EQ(symlink(victim.c_str(), fixedname.c_str()), 0);
    dumphex();
    EXPECT_TRUE(ok);
    EXPECT_EQ(readfile(victim), "precious");
    ASSERT_EQ(unlink(fixedname.c_str()), 0);

    // ...a dangling one, which must not create its target...
    const std::string absent = dir + "/absent";
    ASSERT_EQ(symlink(absent.c_str(), fixedname.c_str()), 0);
    dumphex();
    EXPECT_TRUE(ok);
    EXPECT_FALSE(fs::exists(absent));

    // A link at the dump's own name stays, and its target gets the dump
    // (with the target's bits); a link to nothing is refused.
    const std::string bin = dumpbin("plain.bin"), hex = dumphex("plain.hex");
    for (const char* name : {"link.hex", "link.bin"}) {
        const std::string target = dir + "/target-" + name;
        writefile(target, "old");
        chmod(target.c_str(), 0604);
        ASSERT_EQ(symlink(target.c_str(), (dir + "/" + name).c_str()), 0);
        s.dumpfile = dir + "/" + name;
        r = Recorder();
        EXPECT_TRUE(name[5] == 'h' ? save_hex(s, r, chipreader(s, r)) : save_bin(s, r, chipreader(s, r)));
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(s.dumpfile)));
        EXPECT_EQ(readfile(target), name[5] == 'h' ? hex : bin);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(0604));
    }
    for (const char* name : {"dangling.hex", "dangling.bin"}) {
        ASSERT_EQ(symlink(absent.c_str(), (dir + "/" + name).c_str()), 0);
        s.dumpfile = dir + "/" + name;
        r = Recorder();
        EXPECT_FALSE(name[9] == 'h' ? save_hex(s, r, chipreader(s, r)) : save_bin(s, r, chipreader(s, r)));
        EXPECT_EQ(r.boxes.size(), 1u);
        EXPECT_FALSE(fs::exists(absent));
    }
    EXPECT_EQ(readfile(victim), "precious");
}

// A pipe is written as a stream, never replaced by a file.
TEST_F(Dumps, APipeGetsTheDumpAsAStream) {
    const std::string bin = dumpbin("plain.bin");
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = readfile(fifo); });
    while (true) {  // the writer opens without waiting: wait for the reader
        s.dumpfile = fifo;
        r = Recorder();
        if (save_bin(s, r, chipreader(s, r)) || r.boxes.empty()) break;
        usleep(1000);
    }
    reader.join();
    EXPECT_EQ(got, bin);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
}

// The temporary file is the run's own: a file or link at the old fixed
// name, or another run's file, is never touched; it is created 0600 and gone
// afterwards, and the status list shows its real name.
TEST_F(Dumps, TheTemporaryFileIsTheRunsOwn) {
    const std::string victim = dir + "/victim";
    writefile(victim, "precious");
    ASSERT_EQ(symlink(victim.c_str(), (dir + "/quibb.tmp").c_str()), 0);
    struct stat seen {};
    r.onProgress = [&](int) { lstat(s.tempfile.c_str(), &seen); };
    s.dumpfile = dir + "/out.hex";
    EXPECT_TRUE(save_hex(s, r, chipreader(s, r)));
    EXPECT_EQ(s.tempfile.substr(dir.size()).size(), 17u);  // "/quibb-XXXXXX.tmp"
    EXPECT_EQ(s.tempfile.rfind(dir + "/quibb-", 0), 0u);
    EXPECT_EQ(seen.st_mode, S_IFREG | 0600);
    EXPECT_EQ(r.events[3], "status add Using temp-file: " + s.tempfile);
    EXPECT_EQ(readfile(victim), "precious");
    EXPECT_EQ(dirlisting(), std::vector<std::string>({"out.hex", "quibb.tmp", "victim"}));
}

TEST_F(Dumps, TemporaryFileThatCannotBeCreatedGivesTheBox) {
    s.tempfile = dir + "/missing/quibb.tmp";  // the temporary directory is gone
    dumphex();
    EXPECT_FALSE(ok);
    ASSERT_EQ(r.boxes.size(), 1u);
    EXPECT_EQ(r.boxes[0].text, "File error!");
    EXPECT_EQ(r.boxes[0].title, "ERROR!");
    EXPECT_FALSE(fs::exists(s.dumpfile));
    EXPECT_EQ(r.status, std::vector<std::string>({"Dumping contents of PIC to:",
                                                  "Using temp-file: " + s.tempfile, s.dumpfile}));
}

}  // namespace
