// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up: the record it leaves, the port's idle state, the device rows, and
// the directories it works out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/startup.h"
#include "support/chipfacts.h"
#include "support/portlog.h"
#include "support/simboard.h"

namespace fs = std::filesystem;

TEST(Startup, LeavesTheRecordAndThePortIdle) {
    sim::useSimulatedBoard();
    State s;
    startup(s);
    EXPECT_EQ(s.version, "1.32");
    const ChipRow& row = currentchip(s);
    EXPECT_EQ(row.words(Kind::program), 1024);
    EXPECT_EQ(row.words(Kind::id), 4);
    EXPECT_EQ(row.words(Kind::config), 1);
    EXPECT_EQ(row.words(Kind::data), 64);
    EXPECT_EQ(s.progused + s.idused + s.configused + s.dataused, 0);
    EXPECT_EQ(s.picmodel, 0);
    EXPECT_EQ(configmask(s), 0x1F);  // the 16C84's, until a device is chosen
    EXPECT_EQ(configdefault(s), 0x1B);
    EXPECT_EQ(row.loadconfig, 0);
    // Load and read for program and data memory, increment, begin
    // programming, and the bulk erases, each the command after a Load Data
    // in the erase sequence.
    const Memory& program = *row.find(Kind::program);
    const Memory& data = *row.find(Kind::data);
    std::vector<int> erases;
    for (size_t i = 0; i + 1 < row.erase.size(); ++i)
        if (row.erase[i].op == EraseStep::load) erases.push_back(row.erase[i + 1].arg);
    const std::vector<int> codes = {program.load, program.read, row.increment, program.write.begin,
                                    data.load,    data.read,    erases.at(0),  erases.at(1)};
    EXPECT_EQ(codes, (std::vector<int>{2, 4, 6, 8, 3, 5, 9, 11}));
    EXPECT_EQ(s.ctrlshadow, 15);

    // The very first port writes of a run, before any port is chosen (base 0):
    // control 0x04 because the copy starts at 0, then data 0x01, control 0x0F.
    EXPECT_EQ(portlog::writes(),
              (std::vector<std::pair<int, int>>{{0x0002, 0x04}, {0x0000, 0x01}, {0x0002, 0x0F}}));
}

TEST(Startup, DeviceRows) {
    State s;
    struct Row {
        int16_t model, progsize, configmask, configdefault;
    };
    for (const Row r : {Row{1, 1024, 0x1F, 0x1B}, Row{2, 1024, 0x3FFF, 0x3FF3}, Row{3, 512, 0x3FFF, 0x3FF3}}) {
        setdevice(s, r.model);
        EXPECT_EQ(s.picmodel, r.model);
        EXPECT_EQ(progsize(s), r.progsize);
        EXPECT_EQ(configmask(s), r.configmask);
        EXPECT_EQ(configdefault(s), r.configdefault);
    }
    // Another number selects nothing: the 16F83's row stays.
    setdevice(s, 0);
    setdevice(s, 4);
    EXPECT_EQ(s.picmodel, 3);
    EXPECT_EQ(progsize(s), 512);
}

namespace {

// Runs with a chosen working directory and TMPDIR, restoring both after.
class Dirs : public ::testing::Test {
protected:
    fs::path oldcwd = fs::current_path();
    std::string oldtmp;
    bool hadtmp = false;
    fs::path scratch = fs::temp_directory_path() / ("startup-dirs-" + std::to_string(getpid()));
    void SetUp() override {
        if (const char* t = std::getenv("TMPDIR")) {
            hadtmp = true;
            oldtmp = t;
        }
        fs::create_directories(scratch);
    }
    void TearDown() override {
        fs::current_path(oldcwd);
        if (hadtmp)
            setenv("TMPDIR", oldtmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
        fs::remove_all(scratch);
    }
};

}  // namespace

TEST_F(Dirs, StartdirIsTheWorkingDirectoryWithoutATrailingSlash) {
    State s;
    fs::current_path(scratch);
    GetDirs(s);
    EXPECT_EQ(s.startdir, scratch.string());
    EXPECT_FALSE(s.windir.empty());
    EXPECT_NE(s.windir.back(), '/');

    // From the root the directory is empty, so the settings file is /quibb9x.ini.
    fs::current_path("/");
    GetDirs(s);
    EXPECT_EQ(s.startdir, "");
    EXPECT_EQ(s.startdir + "/quibb9x.ini", "/quibb9x.ini");
}

TEST_F(Dirs, TempfileIsTheSameWithOrWithoutATrailingSlash) {
    State s;
    GetDirs(s);
    const std::string dir = scratch.string();
    setenv("TMPDIR", (dir + "/").c_str(), 1);
    GetTempFile(s);
    EXPECT_EQ(s.tempfile, dir + "/quibb.tmp");
    setenv("TMPDIR", dir.c_str(), 1);
    GetTempFile(s);
    EXPECT_EQ(s.tempfile, dir + "/quibb.tmp");
    setenv("TMPDIR", "/", 1);
    GetTempFile(s);
    EXPECT_EQ(s.tempfile, "/quibb.tmp");
    unsetenv("TMPDIR");
    GetTempFile(s);
    EXPECT_EQ(s.tempfile, "/tmp/quibb.tmp");
}
