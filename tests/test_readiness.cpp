// SPDX-License-Identifier: GPL-2.0-or-later
// What the command line checks before it reads or burns a chip, through the
// command line in-process on the simulated board, on the original board and
// on one that switches VDD: a chip that does not answer (another chip, an
// empty socket, a chip set to its internal oscillator with MCLR off) is
// refused by every read with its likely causes, and no file is written; a
// configuration this board cannot enter again is burnt only when asked for,
// read back before Vpp drops, and reported as done with a note.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace fs = std::filesystem;

namespace {

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }
const std::string blink628a = fixture("f628a_blink_inhx32.hex");

// FOSC = 100 (internal oscillator, RA6 and RA7 as I/O) and MCLRE = 0.
constexpr int lockedword = 0x2150;

// Standard input is never a terminal here, so no question waits for an
// answer whatever runs the tests.
struct NoTerminal {
    int saved = dup(STDIN_FILENO);
    NoTerminal() {
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        close(null);
    }
    ~NoTerminal() {
        dup2(saved, STDIN_FILENO);
        close(saved);
    }
};

struct OnBoard : ::testing::TestWithParam<const char*> {
    ScratchDir scratch{"readiness", true};
    NoTerminal noterminal;
    const std::string board = GetParam();
    const bool switchesvdd = board != "original";
    void SetUp() override {
        setenv("QUIBB9X_SIM_BOARD", board.c_str(), 1);
        sim::useSimulatedBoard();
    }
    void TearDown() override { unsetenv("QUIBB9X_SIM_BOARD"); }
    CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"quibb9x", "--port", "0x278", "--board", board});
        cli::Options o;
        std::string error;
        EXPECT_TRUE(cli::parseoptions(args, o, error)) << error;
        return runcaptured(o);
    }
};

// The reads a chip that does not answer must refuse, and what each says it
// did not do.
struct Read {
    std::vector<std::string> args;
    const char* nothing;
};
const Read reads[] = {
    {{"verify", blink628a}, "nothing was written"},
    {{"read-hex", "out.hex"}, "no file was written"},
    {{"read-bin", "out.bin"}, "no file was written"},
    {{"blank-check"}, "nothing was checked"},
    {{"burn", "--only-changed", blink628a}, "nothing was written"},
    {{"erase", "--yes"}, "nothing was written"},
};

const std::string noanswer =
    "the chip did not answer in programming mode (every word reads the released data line). "
    "Likely causes: an empty or wrongly seated socket; LVP left on with the PGM pin RB4 (pin 10) "
    "floating high (hold it low through a resistor)";

void expectrefused(const CliRun& r, const std::string& found, const char* nothing) {
    EXPECT_EQ(r.status, 4);  // another chip, or none that answers
    EXPECT_EQ(r.err.rfind("quibb9x: --device 16F628A, but word 0x2006 reads " + found, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(std::string("; ") + nothing + ". Put a PIC16F628A in the socket"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("SUCCESS"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("blank"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists("out.hex") || fs::exists("out.bin"));
}

}  // namespace

// Another chip, or none: every read refuses before it reads a word.
TEST_P(OnBoard, EveryReadRefusesAChipThatIsNotTheChosenOne) {
    struct Socket {
        int32_t kind;
        std::string found;
    };
    for (const Socket& socket : {Socket{ZAVSIM_16F88, "0x0761: PIC16F88, revision 1"}, Socket{ZAVSIM_EMPTY, "0x3FFF: no device ID"}}) {
        for (const Read& read : reads) {
            SCOPED_TRACE(read.args[0] + " " + socket.found);
            sim::board().setChip(socket.kind);
            std::vector<std::string> args = {"--device", "16F628A"};
            args.insert(args.end(), read.args.begin(), read.args.end());
            const CliRun r = run(args);
            expectrefused(r, socket.found, read.nothing);
            if (socket.kind == ZAVSIM_EMPTY) {
                EXPECT_NE(r.err.find(noanswer), std::string::npos) << r.err;
            }
            if (socket.kind == ZAVSIM_16F88) {
                EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
            }
        }
    }
}

// The internal oscillator with MCLR off: this board asks first where it
// cannot enter the chip again, burns and reads the word back in one visit,
// and then refuses every read with the cause; a board that switches VDD
// raises Vpp first and goes on as with any other word.
TEST_P(OnBoard, AConfigurationThisBoardCannotEnterAgainIsAskedForAndCheckedInPlace) {
    sim::board().setChip(ZAVSIM_16F628A);
    CliRun r = run({"--device", "16F628A", "--config", "0x2150", "burn", blink628a});
    const std::string question =
        "LOCKED OUT?: quibb9x: the configuration word 0x2150 selects the internal oscillator with "
        "MCLR off. Once it is burnt, the PIC16F628A runs its program as soon as it has power, and "
        "this board, which cannot switch VDD, cannot enter programming mode on it again: no verify, "
        "read-out or erase here afterwards. A board that switches VDD can still reprogram it: "
        "quibb9x raises Vpp before VDD there. Burn it all the same?";
    if (switchesvdd) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.find("LOCKED OUT?"), std::string::npos);
        EXPECT_EQ(sim::board().read(2, 0), lockedword);
        EXPECT_EQ(run({"--device", "16F628A", "--config", "0x2150", "verify", blink628a}).status, 0);
        EXPECT_EQ(run({"--device", "16F628A", "read-hex", "out.hex"}).status, 0);
        EXPECT_EQ(run({"--device", "16F628A", "erase", "--yes"}).status, 0);
        EXPECT_EQ(sim::board().read(2, 0), 0x21FF);
        return;
    }
    // Not asked (no terminal, no --yes): refused before the port is touched.
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, question + " no (no terminal to ask; give --yes)\n");
    EXPECT_EQ(sim::board().read(2, 0), 0x21FF);
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);

    // Agreed to, quiet: the question and the note stay.
    sim::board().eventClear();
    r = run({"--device", "16F628A", "--config", "0x2150", "-q", "--yes", "burn", blink628a});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, question + " yes (--yes)\nSUCCESS!\n"
                     "quibb9x: note: the configuration word 0x2150 was burnt and read back; the chip "
                     "now runs its program as soon as it has power, and this board cannot enter "
                     "programming mode on it again (a board that switches VDD can)\n");
    EXPECT_EQ(sim::board().read(2, 0), lockedword);
    EXPECT_NE(sim::board().read(0, 0), 0x3FFF);  // the program is there too
    // The configuration word was read back in the visit that wrote it: the
    // chip sent it right after its write cycle, with no Load Configuration
    // (and no new entry, which this chip would refuse) in between.
    const auto events = sim::chipEvents();
    int written = -1;
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == 3 && events[i].value == 0x2007) written = static_cast<int>(i);
    ASSERT_GE(written, 0);
    size_t next = static_cast<size_t>(written) + 1;
    while (next < events.size() && events[next].kind != 2) {
        EXPECT_FALSE(events[next].kind == 0 && events[next].value == 0) << next;
        ++next;
    }
    ASSERT_LT(next, events.size()) << "the word was not read back";
    EXPECT_EQ(events[next].value & 0x21FF, lockedword);

    // From now on the chip does not answer on this board.
    for (const Read& read : reads) {
        SCOPED_TRACE(read.args[0]);
        std::vector<std::string> args = {"--device", "16F628A", "--config", "0x2150", "--yes"};
        args.insert(args.end(), read.args.begin(), read.args.end());
        r = run(args);
        expectrefused(r, "0x3FFF: no device ID", read.nothing);
        EXPECT_NE(r.err.find(noanswer + "; an internal oscillator with MCLR off in the chip's "
                                        "configuration, which needs Vpp before VDD, and this board "
                                        "cannot raise Vpp before VDD"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(sim::board().read(2, 0), lockedword);
}

INSTANTIATE_TEST_SUITE_P(Boards, OnBoard, ::testing::Values("original", "tait-classic"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });
