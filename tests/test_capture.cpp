// The capture of the board's lines (--vcd) against the simulated board's own
// log of port accesses, on the virtual clock both read; and the same file
// read back by sigrok-cli.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/capture.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace {

struct Change {
    int64_t t;
    char level;
    bool operator==(const Change&) const = default;
};
using Wires = std::map<std::string, std::vector<Change>>;

// Value changes by wire name. A wire's first level is x; assignments that
// change nothing are dropped.
Wires parsevcd(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> names;  // identifier -> name
    Wires wires;
    std::map<std::string, char> now;
    std::string token;
    int64_t t = 0;
    bool header = true;
    while (in >> token) {
        if (header) {
            if (token == "$var") {
                std::string type, size, id, name;
                in >> type >> size >> id >> name;
                names[id] = name;
                now[id] = 'x';
            }
            header = token != "$enddefinitions";
        } else if (token[0] == '#') {
            t = std::stoll(token.substr(1));
        } else if (token[0] != '$' && names.count(token.substr(1))) {
            const std::string id = token.substr(1);
            if (now[id] != token[0]) wires[names[id]].push_back({t, token[0]});
            now[id] = token[0];
        }
    }
    return wires;
}

char levelat(const std::vector<Change>& changes, int64_t t) {
    char level = 'x';
    for (const auto& c : changes)
        if (c.t <= t) level = c.level;
    return level;
}

// The changes after time t, for comparing files whose start differs.
std::vector<Change> after(const std::vector<Change>& changes, int64_t t) {
    std::vector<Change> out;
    for (const auto& c : changes)
        if (c.t > t) out.push_back(c);
    return out;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::board().setChip(ZAVSIM_16F84);
        startup(s);
        setdevice(s, 2);
        s.portaddr = 0x278;
        sim::board().logClear();
    }

    // Programs a word, reads it back and leaves the board idle, capturing.
    void capturedrun() {
        std::string why;
        start = sim::nowNs();
        ASSERT_TRUE(capture::open(file, why)) << why;
        vppreset(s);
        progcycle(s, s.cmdloadprog, 0x2A5C);
        sendcmd(s, s.cmdreadprog);
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

TEST_F(Capture, ClockAndVppChangeInTheFileExactlyWhenAtThePort) {
    capturedrun();
    Wires expected;
    int clock = -1, vpp = -1;
    for (const auto& a : sim::writes()) {
        if (a.port != 0x27A) continue;
        const int c = !(a.value & 0x01), v = !(a.value & 0x04);
        if (c != clock) expected["clock"].push_back({a.time_ns - start, c ? '1' : '0'});
        if (v != vpp) expected["vpp"].push_back({a.time_ns - start, v ? '1' : '0'});
        clock = c;
        vpp = v;
    }
    const Wires got = parsevcd(file);
    EXPECT_EQ(got.at("clock"), expected["clock"]);
    EXPECT_EQ(got.at("vpp"), expected["vpp"]);
    EXPECT_EQ(got.at("vpp").size(), 3u);      // off (from x), on, off
    EXPECT_EQ(got.at("clock").size(), 101u);  // 3 commands and 2 frames, 2 edges a bit

    // The data line: pin 14 while the PC drives it, the read-back once it
    // lets go; data_in is what every status read gave. Accesses without a
    // wait between them share a time: the last of them shows.
    const auto log = sim::accesses();
    for (std::size_t i = 0; i < log.size(); ++i) {
        const auto& a = log[i];
        const int64_t t = a.time_ns - start;
        if (i + 1 < log.size() && log[i + 1].time_ns == a.time_ns) continue;
        if (a.is_read) {
            const char bit = (a.value & 0x80) ? '0' : '1';
            ASSERT_EQ(levelat(got.at("data_in"), t), bit) << t;
            if (levelat(got.at("data_dir"), t) == '0') {
                ASSERT_EQ(levelat(got.at("data"), t), bit) << t;
            }
        } else if (a.port == 0x27A) {
            const bool drives = a.value & 0x08;
            ASSERT_EQ(levelat(got.at("data_dir"), t), drives ? '1' : '0') << t;
            if (drives) {
                ASSERT_EQ(levelat(got.at("data"), t), (a.value & 0x02) ? '0' : '1') << t;
            }
        }
    }
}

TEST_F(Capture, SigrokReadsTheFileBack) {
    if (std::system("sigrok-cli --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sigrok-cli is not installed (tools/setup.sh installs it)";
    capturedrun();
    const std::string back = (dir.path() / "back.vcd").string();
    const std::string command = "sigrok-cli -I vcd -i '" + file + "' -O vcd -o '" + back + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Wires ours = parsevcd(file);
    const Wires theirs = parsevcd(back);
    // sigrok starts every wire at 0 where ours is unknown until the first
    // write or read.
    const auto wires = {"vpp", "clock", "data_dir", "data_in"};
    int64_t known = 0;
    for (const char* wire : wires) known = std::max(known, ours.at(wire).front().t);
    for (const char* wire : wires)
        EXPECT_EQ(after(theirs.at(wire), known), after(ours.at(wire), known)) << wire;
}
