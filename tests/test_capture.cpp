// SPDX-License-Identifier: GPL-2.0-or-later
// The capture of the board's lines (--vcd) against the simulated board's own
// log of port accesses, on the virtual clock both read; and read back by
// sigrok-cli.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "core/capture.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "support/chipfacts.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace {

// Each wire's levels by time; assignments that change nothing are dropped.
using Wires = std::map<std::string, std::map<int64_t, char>>;

Wires parsevcd(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> names;  // identifier -> wire
    Wires wires;
    std::string token, type, size, id, name;
    int64_t t = 0;
    while (in >> token && token != "$enddefinitions")
        if (token == "$var" && in >> type >> size >> id >> name) names[id] = name;
    while (in >> token) {
        if (token[0] == '#') t = std::stoll(token.substr(1));
        if (!names.count(token.substr(1))) continue;
        auto& levels = wires[names[token.substr(1)]];
        if (levels.empty() ? token[0] != 'x' : levels.rbegin()->second != token[0])
            levels[t] = token[0];
    }
    return wires;
}

char levelat(const std::map<int64_t, char>& levels, int64_t t) {
    const auto after = levels.upper_bound(t);
    return after == levels.begin() ? 'x' : std::prev(after)->second;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedPIC16F84(s);
        sim::board().logClear();
        std::string why;
        start = sim::nowNs();
        // Program a word, read it back, leave the board idle.
        ASSERT_TRUE(capture::open(file, why)) << why;
        vppreset(s);
        progcycle(s, cmd::loadprog, 0x2A5C);
        sendcmd(s, cmd::readprog);
        ASSERT_EQ(recvdata(s), 0x2A5C);
        allpinslow(s);
        ASSERT_TRUE(capture::close(why)) << why;
    }

    State s;
    ScratchDir dir{"capture"};
    std::string file = (dir.path() / "lines.vcd").string();
    int64_t start = 0;
};

}  // namespace

TEST_F(Capture, LinesChangeInTheFileExactlyWhenAtThePort) {
    const Wires got = parsevcd(file);
    Wires port;  // the same wires from the port log, by the board's line map
    for (const auto& a : sim::accesses()) {
        const int64_t t = a.time_ns - start;
        const auto level = [&](const char* wire, bool high) { port[wire][t] = high ? '1' : '0'; };
        if (a.is_read) {
            level("data_in", !(a.value & 0x80));
            if (levelat(port["data_dir"], t) == '0') level("data", !(a.value & 0x80));
        } else if (a.port == 0x27A) {
            level("clock", !(a.value & 0x01));
            level("vpp", !(a.value & 0x04));
            level("data_dir", a.value & 0x08);
            if (a.value & 0x08) level("data", !(a.value & 0x02));
        }
    }
    // Accesses without a wait between them share a time: the last one shows.
    for (const char* wire : {"clock", "vpp", "data_dir", "data_in"}) {
        std::map<int64_t, char> changes;
        for (const auto& [t, level] : port[wire])
            if (levelat(changes, t - 1) != level) changes[t] = level;
        EXPECT_EQ(got.at(wire), changes) << wire;
    }
    EXPECT_EQ(got.at("vpp").size(), 3u);      // off, on, off
    EXPECT_EQ(got.at("clock").size(), 101u);  // 3 commands and 2 frames, 2 edges a bit
    for (const auto& [t, level] : port["data"]) ASSERT_EQ(levelat(got.at("data"), t), level) << t;
}

TEST_F(Capture, SigrokReadsTheFileBack) {
    if (std::system("sigrok-cli --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sigrok-cli is not installed (tools/setup.sh installs it)";
    const std::string back = (dir.path() / "back.vcd").string();
    const std::string command = "sigrok-cli -I vcd -i '" + file + "' -O vcd -o '" + back + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Wires ours = parsevcd(file), theirs = parsevcd(back);
    // sigrok starts every wire at 0 where ours is x until the first access.
    for (const char* wire : {"vpp", "clock", "data_dir", "data_in"}) {
        const int64_t known = ours.at(wire).begin()->first;
        EXPECT_EQ(std::map(theirs.at(wire).upper_bound(known), theirs.at(wire).end()),
                  std::map(ours.at(wire).upper_bound(known), ours.at(wire).end()))
            << wire;
    }
}
