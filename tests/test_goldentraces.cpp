// SPDX-License-Identifier: GPL-2.0-or-later
// Golden traces: the exact port traffic of every operation on the PIC16C84,
// PIC16F84, PIC16F83 and PIC16F84A, as the command line runs them (burn,
// verify, read-hex, read-bin, erase, blank-check, detect, burn --only-changed)
// and as the window's "&Check H/W" and "&Test H/W" run them, each compared
// with its file in tests/golden/: the number of port accesses, an FNV-1a hash
// of every (port, value, read or write) in order, the waits asked for, and the
// chip's decoded command stream, each line with its own port accesses' count,
// hash and time, so that a difference shows where it starts.
//
// The traffic of these four chips must never change: not by a port byte, a
// wait or a command. Refactoring the device code or the board's wiring must
// leave every file as it is. Only a change meant to alter this traffic (a
// mended fault in it, agreed as such) may write the files anew:
//
//     QUIBB9X_GOLDEN_WRITE=1 build/test_goldentraces
//
// then read the diff of tests/golden/ line by line before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <tuple>
#include <utility>
#include <iostream>
#include <sstream>

#include "cli/commands.h"
#include "operations/boardcheck.h"
#include "support/recorder.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/trace.h"

namespace {

struct Chip {
    const char* name;  // as --device takes it
    int32_t kind;      // the simulated chip
    const char* blink; // a small gpasm-made program for it
};
const Chip chips[] = {{"16C84", ZAVSIM_16C84, "c84_blink_inhx32.hex"},
                      {"16F84", ZAVSIM_16F84, "f84_blink_inhx32.hex"},
                      {"16F83", ZAVSIM_16F83, "f83_blink_inhx32.hex"},
                      {"16F84A", ZAVSIM_16F84A, "f84_blink_inhx32.hex"}};

const char* const operations[] = {"burn",   "verify",      "read-hex", "read-bin",  "erase",
                                  "blank-check", "detect", "only-changed", "check-hw", "test-hw"};

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

// The command line in-process, its output kept off the test's.
// --tprog for the traced operation; unset: the chips' usual 7 ms.
std::optional<int16_t> tprog;

int runquibb9x(const Chip& chip, const std::string& command, const std::string& file = "",
               bool onlychanged = false) {
    std::vector<std::string> args = {"quibb9x", "--device", chip.name, "--port", "0x278", command};
    if (tprog) args.insert(args.begin() + 1, {"--tprog", std::to_string(*tprog)});
    if (!file.empty()) args.push_back(file);
    if (command == "erase") args.push_back("--yes");
    if (onlychanged) args.push_back("--only-changed");
    cli::Options o;
    std::string error;
    EXPECT_TRUE(cli::parseoptions(args, o, error)) << error;
    return runcaptured(o).status;
}

// The window's handlers after its start-up, with the message boxes answered.
void runwindow(const Chip& chip, bool test) {
    State s;
    ConfigEditor editor;
    Overrides chosen;
    chosen.device = cli::parsedevice(chip.name);  // the 16F84A is the 16F84's row
    chosen.port = 0x278;
    chosen.tprog = tprog;
    cli::clistartup(s, editor, chosen);
    sim::board().logClear();
    sim::board().eventClear();
    sim::clearWaits();
    Recorder rec;
    if (test) troubleshoot(s, rec);
    else checkhardware(s, rec);
}

std::string filebytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One operation from a known start: a blank chip, or one holding the chip's
// program (for verify, the read-outs, erase and detect) or the 16F84's (for
// the only-changed burn of three words and a byte changed).
std::string traced(const Chip& chip, const std::string& op) {
    ScratchDir dir("golden", true);
    sim::useSimulatedBoard();
    auto& b = sim::board();
    b.setBoard(1);
    b.setBase(0x278);
    b.setChip(op == "test-hw" ? ZAVSIM_EMPTY : chip.kind);  // "no PIC in socket"
    b.setProtected(0);
    {
        // The chip is made ready as always.
        const auto traced = std::exchange(tprog, std::nullopt);
        if (op == "verify" || op == "read-hex" || op == "read-bin" || op == "erase" || op == "detect") {
            EXPECT_EQ(runquibb9x(chip, "burn", fixture(chip.blink)), 0);
        } else if (op == "only-changed") {
            EXPECT_EQ(runquibb9x(chip, "burn", fixture("f84_blink_inhx32.hex")), 0);
        }
        tprog = traced;
    }
    // Stale hold deadlines from before lie far in the past.
    sim::advance(1'000'000'000);
    b.logClear();
    b.eventClear();
    sim::clearWaits();

    std::string head;
    if (op == "check-hw" || op == "test-hw") {
        runwindow(chip, op == "test-hw");
    } else {
        const std::string dump = (dir.path() / "dump").string();
        const std::string file = op == "burn" || op == "verify" ? fixture(chip.blink)
                                 : op == "only-changed"         ? fixture("f84_blink_changed_inhx32.hex")
                                 : op.rfind("read-", 0) == 0    ? dump
                                                                : "";
        const int status = runquibb9x(chip, op == "only-changed" ? "burn" : op, file, op == "only-changed");
        head = "exit status " + std::to_string(status) + "\n";
        if (op.rfind("read-", 0) == 0) {
            trace::Fnv f;
            for (char c : filebytes(dump)) f.add(static_cast<uint8_t>(c));
            head += "file " + std::to_string(filebytes(dump).size()) + " bytes, fnv1a64 " + trace::hex(f.h, 16) + "\n";
        }
    }
    return "# " + std::string(chip.name) + " " + op + "\n" + head + trace::recorded();
}

struct Golden : ::testing::TestWithParam<std::tuple<int, int>> {
    static void SetUpTestSuite() { setenv("QUIBB9X_SIM_FILE", "", 1); }  // no chip file
};

TEST_P(Golden, TrafficIsAsRecorded) {
    const Chip& chip = chips[std::get<0>(GetParam())];
    const std::string op = operations[std::get<1>(GetParam())];
    const std::string path = std::string(SOURCE_DIR) + "/tests/golden/" + chip.name + "_" + op + ".txt";
    const std::string actual = traced(chip, op);

    if (const char* w = std::getenv("QUIBB9X_GOLDEN_WRITE"); w && std::string(w) == "1") {
        std::ofstream out(path, std::ios::binary);
        out << actual;
        out.close();
        ASSERT_TRUE(out) << "cannot write " << path;
        return;
    }
    const std::string expected = filebytes(path);
    ASSERT_FALSE(expected.empty()) << path << " is missing";
    if (actual == expected) return;
    // The summary lines that differ, then the first line of the command
    // stream that does, with the line before it.
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    };
    const auto got = lines(actual), want = lines(expected);
    auto at = [](const std::vector<std::string>& v, size_t i) { return i < v.size() ? v[i] : "(end)"; };
    std::string report = path + " no longer matches the traffic:";
    size_t n = 0;
    for (; n < std::max(got.size(), want.size()); ++n) {
        if (at(want, n).rfind("---", 0) == 0) break;
        if (at(got, n) != at(want, n))
            report += "\n  line " + std::to_string(n + 1) + "\n    expected: " + at(want, n) +
                      "\n    actual:   " + at(got, n);
    }
    for (++n; n < std::max(got.size(), want.size()) && at(got, n) == at(want, n);) ++n;
    if (n < std::max(got.size(), want.size()))
        report += "\n  first difference in the command stream, line " + std::to_string(n + 1) +
                  ", after: " + at(want, n - 1) + "\n    expected: " + at(want, n) +
                  "\n    actual:   " + at(got, n);
    else
        report += "\n  the command stream is the same";
    ADD_FAILURE() << report << "\nThis traffic must not change (see the top of " << __FILE__ << ").";
}

// What the board saw of one operation, for comparing two runs of it.
struct Seen {
    std::vector<zavsim_access> accesses;
    std::vector<std::pair<int, int>> events;  // kind, value
    std::vector<int> sleeps;
    int holds;
};
Seen seen() {
    Seen r{sim::accesses(), {}, sim::sleeps(), sim::holds()};
    for (const auto& e : sim::chipEvents()) r.events.emplace_back(e.kind, e.value);
    return r;
}

// With --tprog 10 every wait of the originals lasts 10 ms instead of 7, and
// nothing else moves: the same port accesses in the same order, the same
// clock phases held, the same commands understood, and between two accesses
// the same time but for 3 ms more for each wait between them. The run
// without --tprog is the recorded one.
TEST_P(Golden, ATenMillisecondTprogLengthensEveryWaitAndNothingElse) {
    const Chip& chip = chips[std::get<0>(GetParam())];
    const std::string op = operations[std::get<1>(GetParam())];
    const std::string path = std::string(SOURCE_DIR) + "/tests/golden/" + chip.name + "_" + op + ".txt";
    ASSERT_EQ(traced(chip, op), filebytes(path));
    const Seen usual = seen();
    tprog = 10;
    traced(chip, op);
    tprog.reset();
    const Seen longer = seen();

    std::vector<int> tens;
    for (int ms : usual.sleeps) tens.push_back(ms == 7 ? 10 : ms);
    EXPECT_EQ(longer.sleeps, tens);
    EXPECT_EQ(longer.holds, usual.holds);
    EXPECT_EQ(longer.events, usual.events);
    ASSERT_EQ(longer.accesses.size(), usual.accesses.size());
    for (size_t i = 0; i < usual.accesses.size(); ++i) {
        const zavsim_access &a = usual.accesses[i], &b = longer.accesses[i];
        ASSERT_EQ(std::tie(b.port, b.value, b.is_read), std::tie(a.port, a.value, a.is_read)) << i;
        if (i == 0) continue;
        const int64_t gap = a.time_ns - usual.accesses[i - 1].time_ns;
        const int64_t waits = gap / 7'000'000;  // the traffic between two waits takes far less
        ASSERT_EQ(b.time_ns - longer.accesses[i - 1].time_ns, gap + waits * 3'000'000) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(All, Golden,
                         ::testing::Combine(::testing::Range(0, 4), ::testing::Range(0, 10)),
                         [](const auto& info) {
                             std::string name = std::string("PIC") + chips[std::get<0>(info.param)].name +
                                                "_" + operations[std::get<1>(info.param)];
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
