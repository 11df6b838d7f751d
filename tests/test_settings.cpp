// SPDX-License-Identifier: GPL-2.0-or-later
// The settings file: the exact bytes written, what survives a rewrite, the
// read limits and the absent-value rule, and the settings applied without
// widgets.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/startup.h"
#include "support/scratchdir.h"
#include "settings/settings.h"
#include "support/chipfacts.h"

namespace fs = std::filesystem;

// How many bytes the process has read through read(2): the C library's read
// is interposed to count them.
namespace {
size_t bytesread = 0;
}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const Read real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    const ssize_t n = real(fd, buffer, count);
    if (n > 0) bytesread += static_cast<size_t>(n);
    return n;
}

namespace {

struct Settings : ::testing::Test {
    ScratchDir scratch{"settings"};
    fs::path dir = scratch.path();
    State s;
    void SetUp() override { s.startdir = dir.string(); }

    std::string path() const { return inipath(s); }
    std::string contents() const {
        std::ifstream in(path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void write(const std::string& text) const {
        std::ofstream(path(), std::ios::binary) << text;
    }
};

TEST_F(Settings, FirstSaveWritesExactlyThisFile) {
    // The state after a first run: no file, so PIC 0, LPT 0, CWORD 0 and an
    // empty file name box.
    EXPECT_TRUE(save_ini(s, ""));
    EXPECT_EQ(contents(),
              "[OPTIONS]\n"
              "PIC= 0\n"
              "LPT= 0\n"
              "CWORD= 0\n"
              "\n"
              "[DIRECTORIES]\n"
              "LOAD=\n");
    EXPECT_EQ(path(), dir.string() + "/quibb9x.ini");
}

TEST_F(Settings, RoundTrip) {
    s.picmodel = 3;
    s.portaddr = static_cast<int16_t>(0xFFFF);
    s.configmem[0] = 0x3FF1;
    save_ini(s, "/home/someone/blink.hex");
    IniValues v = readsettings(s);
    EXPECT_EQ(v.pic, "3");
    EXPECT_EQ(v.lpt, "-1");
    EXPECT_EQ(v.cword, "16369");
    EXPECT_EQ(v.load, "/home/someone/blink.hex");
    EXPECT_NE(contents().find("LPT=-1\n"), std::string::npos);

    State t;
    t.startdir = s.startdir;
    setdevice(t, 2);
    t.portaddr = LPT2;
    ConfigEditor e;
    applysettings(t, e, v);
    EXPECT_EQ(t.picmodel, 3);
    EXPECT_EQ(progsize(t), 512);
    EXPECT_EQ(t.portaddr, static_cast<int16_t>(0xFFFF));
    EXPECT_EQ(t.configmem[0], 0x3FF1);
    EXPECT_EQ(e.cvalue, "3FF1");
    EXPECT_EQ(e.osc, 1);
    EXPECT_EQ(t.configused, 1);
}

// TPROG goes into the file only when the programming time is not the usual
// 7 ms (a file of the original chips stays byte for byte), and once there it
// follows the time; a time outside 7 to 20 reads as none.
TEST_F(Settings, TheProgrammingTimeIsWrittenOnlyWhenNotSeven) {
    const std::string usual = "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 16371\n\n[DIRECTORIES]\nLOAD=\n";
    s.picmodel = 2;
    s.portaddr = LPT2;
    s.configmem[0] = 0x3FF3;
    struct Step {
        int16_t tprog;
        std::string file;
    };
    for (const Step& step : {Step{7, usual}, Step{10, "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 16371\n"
                                                    "TPROG= 10\n\n[DIRECTORIES]\nLOAD=\n"},
                             Step{7, "[OPTIONS]\nPIC= 2\nLPT= 632\nCWORD= 16371\nTPROG= 7\n\n"
                                     "[DIRECTORIES]\nLOAD=\n"}}) {
        SCOPED_TRACE(step.tprog);
        s.tprog = step.tprog;
        EXPECT_TRUE(save_ini(s, ""));
        EXPECT_EQ(contents(), step.file);
        State t;  // 7 ms until told otherwise
        t.startdir = s.startdir;
        ConfigEditor e;
        applysettings(t, e, readsettings(s));
        EXPECT_EQ(t.tprog, step.tprog);
    }
    for (const char* text : {"6", "21", "x", ""}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(readtprog(text), std::nullopt);
    }
    EXPECT_EQ(readtprog(" 20"), 20);
}

TEST_F(Settings, OtherSectionsKeysAndCommentsAreKept) {
    write("; written by hand\r\n"
          "[Window]\r\n"
          "left=10\r\n"
          "\r\n"
          "[options]\r\n"
          "; the device\r\n"
          "pic = 1\r\n"
          "Extra=yes\r\n"
          "\r\n"
          "[Last]\r\n"
          "x=1\r\n");
    s.picmodel = 2;
    s.portaddr = 0x3BC;
    s.configmem[0] = 0x3FF3;
    save_ini(s, "");
    EXPECT_EQ(contents(),
              "; written by hand\r\n"
              "[Window]\r\n"
              "left=10\r\n"
              "\r\n"
              "[options]\r\n"
              "; the device\r\n"
              "PIC= 2\r\n"
              "Extra=yes\r\n"
              "LPT= 956\r\n"
              "CWORD= 16371\r\n"
              "\r\n"
              "[Last]\r\n"
              "x=1\r\n"
              "\r\n"
              "[DIRECTORIES]\r\n"
              "LOAD=\r\n");
}

TEST_F(Settings, NamesMatchWithoutRegardToCase) {
    write("[Options]\nPic=3\n[directories]\nload=/x/y.hex\n");
    EXPECT_EQ(readIniValue(path(), "OPTIONS", "PIC"), "3");
    EXPECT_EQ(readIniValue(path(), "DIRECTORIES", "LOAD"), "/x/y.hex");
    EXPECT_EQ(readIniValue(path(), "OPTIONS", "LPT"), "");
}

TEST_F(Settings, ValuesAreCutTo49Characters) {
    const std::string sixty = "/a/" + std::string(53, 'b') + ".hex";
    ASSERT_EQ(sixty.size(), 60u);
    write("[DIRECTORIES]\nLOAD=" + sixty + "\n");
    EXPECT_EQ(readIniValue(path(), "DIRECTORIES", "LOAD"), sixty.substr(0, 49));
}

TEST_F(Settings, ValueEqualToTheStartOfTheFilesPathReadsAsAbsent) {
    // "/" and the first directory of the file's own path look like the
    // default coming back; a value that only shares some characters does not.
    const std::string own = path();
    write("[OPTIONS]\nPIC=/\nLPT=" + own.substr(0, 8) + "\nCWORD=" + own.substr(0, 8) +
          "z\n[DIRECTORIES]\nLOAD=" + own + "\n");
    EXPECT_EQ(readIniValue(own, "OPTIONS", "PIC"), "");
    EXPECT_EQ(readIniValue(own, "OPTIONS", "LPT"), "");
    EXPECT_EQ(readIniValue(own, "OPTIONS", "CWORD"), own.substr(0, 8) + "z");
    EXPECT_EQ(readIniValue(own, "DIRECTORIES", "LOAD"), "");
    // Missing file: every value absent.
    EXPECT_EQ(readIniValue(own + ".none", "OPTIONS", "PIC"), "");
}

TEST(SettingsText, CutAtNull) {
    EXPECT_EQ(cutAtNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(cutAtNull("abc"), "abc");
    EXPECT_EQ(cutAtNull(std::string("\0", 1)), "");
}

TEST(SettingsText, NumbersReadLeniently) {
    EXPECT_EQ(readint16(" 2"), 2);
    EXPECT_EQ(readint16("-1"), -1);
    EXPECT_EQ(readint16("1 6 3 7 1"), 16371);
    EXPECT_EQ(readint16("12abc"), 12);
    EXPECT_EQ(readint16("abc"), 0);
    EXPECT_EQ(readint16(""), 0);
    EXPECT_EQ(readint16("32767"), 32767);
    EXPECT_EQ(readint16("-32768"), -32768);
    EXPECT_EQ(readint16("32768"), std::nullopt);
    EXPECT_EQ(readnumber("99999999999999999999999999"), 1'000'000'000'000'000);
    EXPECT_EQ(numprint(7), " 7");
    EXPECT_EQ(numprint(0), " 0");
    EXPECT_EQ(numprint(-32768), "-32768");
}

TEST(SettingsText, PortTextReadAsHexadecimal) {
    EXPECT_EQ(readhex16("3BC"), 0x3BC);
    EXPECT_EQ(readhex16("3bx"), 0x3B);
    EXPECT_EQ(readhex16("ff"), 0xFF);
    EXPECT_EQ(readhex16("XYZ"), 0);
    EXPECT_EQ(readhex16(""), 0);
    EXPECT_EQ(readhex16(" 3 B C "), 0x3BC);
    EXPECT_EQ(readhex16("FFFF"), -1);
    EXPECT_EQ(readhex16("00378"), 0x378);  // leading zeros are not significant
    EXPECT_EQ(readhex16("10000"), std::nullopt);
}

TEST(SettingsText, LptValueChoosesThePort) {
    EXPECT_EQ(portchoice(" 888").option, 4);
    EXPECT_EQ(portchoice(" 632").option, 5);
    EXPECT_EQ(portchoice(" 956").text, "3BC");
    EXPECT_EQ(portchoice("").text, "0");
    EXPECT_EQ(portchoice("-1").text, "FFFF");
    EXPECT_EQ(portchoice("65535").text, "FFFF");
    const PortChoice huge = portchoice("70000");
    EXPECT_EQ(huge.option, 6);
    EXPECT_EQ(huge.text, std::nullopt);
}

TEST_F(Settings, UnknownDeviceIsKeptAndWrittenBack) {
    write("[OPTIONS]\nPIC=7\nLPT=99999999999\nCWORD=40000\n");
    setdevice(s, 2);
    s.portaddr = LPT2;
    s.configmem[0] = 0x3FF3;
    ConfigEditor e;
    applysettings(s, e, readsettings(s));
    EXPECT_EQ(s.picmodel, 7);
    EXPECT_EQ(progsize(s), 1024);        // PIC 16F84's parameters stay
    EXPECT_EQ(s.portaddr, LPT2);        // too big: the address is kept
    EXPECT_EQ(s.configmem[0], 0x3FF3);  // too big: the word is kept
    EXPECT_EQ(e.cvalue, "3FF3");
    save_ini(s, "");
    EXPECT_NE(contents().find("PIC= 7\n"), std::string::npos);
}

TEST_F(Settings, UnwritableFileIsReportedAndLeftAlone) {
    s.startdir = (dir / "gone").string();  // a start directory since removed
    EXPECT_FALSE(save_ini(s, ""));
    EXPECT_FALSE(fs::exists(path()));
    EXPECT_TRUE(fs::is_empty(dir));  // no temporary file left behind
}

TEST_F(Settings, ValueWithALineEndIsRefused) {
    save_ini(s, "");
    const std::string before = contents();
    EXPECT_FALSE(profilewrite(path(), "DIRECTORIES", "LOAD", "a\n[OPTIONS]"));
    EXPECT_EQ(contents(), before);
}

}  // namespace

// A settings file above 1 MiB, or one that is not a regular file (a link to
// /dev/zero), is refused without being read: it reads as absent and
// is never rewritten.
TEST_F(Settings, LargeOrSpecialFilesAreRefusedUnread) {
    write("[OPTIONS]\nPIC= 3\nLPT= 888\n" + std::string(2 << 20, ';'));
    bytesread = 0;
    EXPECT_EQ(readsettings(s).pic, "");
    EXPECT_EQ(settingsproblem(path()), "larger than 1 MiB");
    EXPECT_FALSE(save_ini(s, ""));
    EXPECT_LT(bytesread, 4096u);
    EXPECT_EQ(fs::file_size(path()), (2u << 20) + 26);  // untouched

    fs::remove(path());
    fs::create_symlink("/dev/zero", path());
    bytesread = 0;
    EXPECT_EQ(readsettings(s).lpt, "");
    EXPECT_EQ(settingsproblem(path()), "not a regular file");
    EXPECT_LT(bytesread, 4096u);

    // Exactly 1 MiB is still a settings file.
    fs::remove(path());
    write("[OPTIONS]\nPIC= 3\n" + std::string((1 << 20) - 17, ';'));
    EXPECT_EQ(readsettings(s).pic, "3");
    EXPECT_EQ(fs::file_size(path()), 1u << 20);
    EXPECT_EQ(settingsproblem(path()), "");
}

namespace {

// Lines ending in runs of CRs read as if the CRs were blanks, and what a save
// writes into such a file reads back as saved, in the sections it had.
TEST_F(Settings, CarriageReturnRunsAreBlanks) {
    write("[OPTIONS]\r\r\nPIC= 3\r\r\r\nLPT= 888\r\r\n\r\r\n[DIRECTORIES]\r\r\nLOAD=/x.hex\r\r\n");
    IniValues v = readsettings(s);
    EXPECT_EQ(v.pic, "3");
    EXPECT_EQ(v.lpt, "888");
    EXPECT_EQ(v.load, "/x.hex");
    s.picmodel = 1;
    s.portaddr = 0x278;
    s.configmem[0] = 0x1F;
    ASSERT_TRUE(save_ini(s, "/y.hex"));
    v = readsettings(s);
    EXPECT_EQ(v.pic, "1");
    EXPECT_EQ(v.lpt, "632");
    EXPECT_EQ(v.cword, "31");
    EXPECT_EQ(v.load, "/y.hex");
    const std::string text = contents();
    EXPECT_EQ(text.find("[DIRECTORIES]"), text.rfind("[DIRECTORIES]")) << text;
    EXPECT_EQ(text.find("[OPTIONS]"), text.rfind("[OPTIONS]")) << text;
}

// A linked settings file: its target gets the settings, with its bits (and,
// where the system lets us, its owner); the link stays.
TEST_F(Settings, ALinkedFileIsWrittenAtItsTarget) {
    fs::create_directory(dir / "shared");
    const fs::path target = dir / "shared" / "team.ini";
    std::ofstream(target) << "[OTHER]\nX=1\n";
    chmod(target.c_str(), 0664);
    const bool root = geteuid() == 0;
    if (root) ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    fs::create_symlink(target, path());
    s.picmodel = 2;
    ASSERT_TRUE(save_ini(s, ""));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(path())));
    std::ifstream in(target);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("[OTHER]\nX=1\n\n[OPTIONS]\nPIC= 2\n", 0), 0u) << text.str();
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    if (root) EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shared"), fs::directory_iterator()), 1);
}

}  // namespace
