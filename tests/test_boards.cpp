// SPDX-License-Identifier: GPL-2.0-or-later
// Other boards: the board file and its mistakes, the built-in boards against
// the simulated board's own table, every board end to end with a PIC16F84,
// the order of VDD and Vpp on boards that switch VDD, and the command line's
// --board, boards and BOARD key.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <set>

#include "boardsim/wirings.h"
#include "cli/commands.h"
#include "core/capture.h"
#include "core/detect.h"
#include "core/lines.h"
#include "core/protocol.h"
#include "core/startup.h"
#include "core/wiring.h"
#include "devices/select.h"
#include "image/image.h"
#include "operations/erase.h"
#include "operations/program.h"
#include "operations/readiness.h"
#include "settings/settings.h"
#include "support/chipfacts.h"
#include "support/recorder.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace fs = std::filesystem;

namespace {

const char* const originalwrittenout =
    "# the original board, written out\n"
    "vpp = !16 !2     # one or more connector pins; ! = the line is on when the pin is low\n"
    "clock = 1\n"
    "dataout = 14\n"
    "datadir = !17    # optional: on = the PC drives the data line\n"
    "datain = 11\n";

std::string refusal(const std::string& text) {
    Wiring w;
    std::string why;
    EXPECT_FALSE(parseboard(text, "my.board", w, why)) << text;
    return why;
}

// The simulated board set to a wiring, and a record started on it.
void onboard(State& s, const Wiring& w, const char* simboard) {
    setenv("QUIBB9X_SIM_BOARD", simboard, 1);
    sim::useSimulatedBoard();
    s.wiring = w;
    startup(s);
    setdevice(s, 2);
    s.portaddr = 0x278;
}

struct SimBoardReset : ::testing::Test {
    ~SimBoardReset() override { unsetenv("QUIBB9X_SIM_BOARD"); }
};

}  // namespace

TEST(BoardFile, EveryMistakeIsRefusedWithItsLine) {
    EXPECT_EQ(refusal("vpp = 5\nclock 3\n"), "my.board line 2: 'clock 3' is not 'key = pins'");
    EXPECT_EQ(refusal("\n# x\nvcc = 4\n"),
              "my.board line 3: unknown key 'vcc'; the keys are vpp, vdd, clock, dataout, datadir, datain and pgm");
    EXPECT_EQ(refusal("vpp = 26\n"), "my.board line 1: pin 26 is not on the connector (pins 1 to 25)");
    EXPECT_EQ(refusal("vpp = 0\n"), "my.board line 1: pin 0 is not on the connector (pins 1 to 25)");
    EXPECT_EQ(refusal("vpp = !20\n"), "my.board line 1: pin 20 is a ground pin");
    EXPECT_EQ(refusal("vpp = 5\nclock = 18\n"), "my.board line 2: pin 18 is a ground pin");
    EXPECT_EQ(refusal("vpp = 5x\n"),
              "my.board line 1: '5x' is not a pin: write a pin number, with ! in front when the line is on "
              "while the pin is low");
    EXPECT_EQ(refusal("clock = 11\n"),
              "my.board line 1: pin 11 is an input of the port; clock needs an output pin (1-9, 14, 16 or 17)");
    EXPECT_EQ(refusal("datain = 2\n"),
              "my.board line 1: pin 2 is an output of the port; datain needs an input pin (10-13 or 15)");
    EXPECT_EQ(refusal("datain = 10 12\n"), "my.board line 1: datain takes one pin");
    EXPECT_EQ(refusal("vpp =\n"), "my.board line 1: vpp names no pin");
    EXPECT_EQ(refusal("vpp = 5\nclock = 3 !5\n"), "my.board line 2: pin 5 is used twice (also by vpp on line 1)");
    EXPECT_EQ(refusal("vpp = 5\nvpp = 6\n"), "my.board line 2: vpp is given twice (also on line 1)");
    EXPECT_EQ(refusal("vpp = 5\nclock = 3\ndataout = 2\n"),
              "my.board line 4 (the end): no datain line; vpp, clock, dataout and datain are required");
    EXPECT_EQ(refusal("vpp = 5\x01\n"),
              "my.board line 1: '5\\x01' is not a pin: write a pin number, with ! in front when the line is on "
              "while the pin is low");
}

// Keys ignore case as board names do; a FIFO (or any file that is not a
// regular one) is refused at once instead of waiting for a writer.
TEST(BoardFile, KeysIgnoreCaseAndOnlyARegularFileIsRead) {
    Wiring w;
    std::string why;
    ASSERT_TRUE(parseboard("VPP = !16 !2\nClock = 1\nDataOut = 14\nDATADIR = !17\ndatain = 11\n", "my.board",
                           w, why)) << why;
    EXPECT_TRUE(isoriginal(w));
    EXPECT_EQ(refusal("vpp = 5\nVpp = 6\n"), "my.board line 2: Vpp is given twice (also on line 1)");
    ScratchDir dir{"boards"};
    const std::string fifo = (dir.path() / "board.fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(chooseboard(fifo, w, why));
    EXPECT_EQ(why, "the board file " + fifo + " is not a regular file of at most 64 KiB");
    EXPECT_FALSE(chooseboard(dir.path().string(), w, why));
    EXPECT_EQ(why, "the board file " + dir.path().string() + " is not a regular file of at most 64 KiB");
}

TEST(BoardFile, TheOriginalWrittenOutDrivesTheDefaultsBytes) {
    ScratchDir dir{"boards"};
    const std::string path = (dir.path() / "original.board").string();
    std::ofstream(path) << originalwrittenout;
    Wiring file;
    std::string why;
    ASSERT_TRUE(chooseboard(path, file, why)) << why;
    EXPECT_TRUE(isoriginal(file));
    EXPECT_EQ(describepins(file), describepins(originalwiring()));
    auto run = [](const Wiring& w) {
        State s;
        onboard(s, w, "original");
        detecthardware(s);
        vppreset(s);
        progcycle(s, cmd::loadprog, 0x1234);
        sendcmd(s, cmd::readprog);
        EXPECT_EQ(recvdata(s), 0x1234);
        allpinslow(s);
        unsetenv("QUIBB9X_SIM_BOARD");
        return sim::accesses();
    };
    const auto ours = run(originalwiring()), theirs = run(file);
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        ASSERT_EQ(ours[i].port, theirs[i].port) << i;
        ASSERT_EQ(ours[i].value, theirs[i].value) << i;
    }
}

// Every register value, every line, through the program's table and the
// simulated board's own.
TEST(BoardTables, SimulatedAndProgramDecodingAgree) {
    std::set<std::string> programnames;
    for (const BuiltinBoard& b : builtinboards())
        for (const std::string& name : b.names) {
            programnames.insert(name);
            const Wiring w = *builtinboard(name);
            boardsim::BoardWiring simw;
            ASSERT_TRUE(boardsim::knownBoard(name, simw)) << name;
            for (int data = 0; data < 256; ++data)
                for (int control = 0; control < 256; ++control) {
                    const auto d = static_cast<uint8_t>(data), c = static_cast<uint8_t>(control);
                    const boardsim::BoardOutputs o = boardsim::decodeOutputs(simw, d, c);
                    ASSERT_EQ(lineon(w, LINE_VPP, d, c), o.vpp) << name << data << ' ' << control;
                    ASSERT_EQ(!w.has(LINE_VDD) || lineon(w, LINE_VDD, d, c), o.vdd) << name;
                    ASSERT_EQ(lineon(w, LINE_CLOCK, d, c), o.clock) << name;
                    ASSERT_EQ(lineon(w, LINE_DATAOUT, d, c), o.dataOut) << name;
                    ASSERT_EQ(pcdrives(w, d, c), o.pcDrives) << name;
                    ASSERT_EQ(lineon(w, LINE_PGM, d, c), o.pgm) << name;
                }
            for (bool high : {false, true}) EXPECT_EQ(datainon(w, boardsim::statusWith(simw, high)), high) << name;
        }
    EXPECT_EQ(programnames.size(), 35u);  // no name twice
}

TEST_F(SimBoardReset, EveryBuiltInBoardDetectsBurnsVerifiesAndErasesA16F84) {
    for (const BuiltinBoard& b : builtinboards()) {
        SCOPED_TRACE(b.names[0]);
        State s;
        onboard(s, *builtinboard(b.names[0]), b.names[0].c_str());
        EXPECT_EQ(detecthardware(s), 1);
        for (int i = 0; i < 8; ++i) s.progmem[i] = static_cast<int16_t>(0x2A55 ^ (i * 0x111));
        s.idmem[0] = 0x0123;
        s.datamem[0] = 0xA5;
        s.configmem[0] = 0x3FF1;
        s.progused = 8;
        s.idused = s.dataused = s.configused = 1;
        Recorder f;
        ASSERT_TRUE(program2(s, f, modeprogram));
        EXPECT_EQ(sim::board().read(0, 7), 0x2A55 ^ 0x777);
        EXPECT_EQ(sim::board().read(1, 0), 0x0123);
        EXPECT_EQ(sim::board().read(2, 0), 0x3FF1);
        EXPECT_EQ(sim::board().read(3, 0), 0xA5);
        EXPECT_TRUE(program2(s, f, modeverify));
        f.answers.push_back(Answer::Yes);
        EXPECT_TRUE(erasechip(s, f));
        EXPECT_EQ(sim::board().read(0, 7), 0x3FFF);
        EXPECT_EQ(sim::board().read(2, 0), 0x3FFF);
        EXPECT_EQ(sim::board().timingFaults() + sim::board().phaseFaults(), 0);
        EXPECT_EQ(sim::board().inProgrammingMode(), 0);
    }
    // The board matters: the original board's lines find nothing on a Tait.
    State s;
    onboard(s, originalwiring(), "tait-classic");
    EXPECT_EQ(detecthardware(s), 0);
}

// VDD and Vpp as the simulated board sees them, after each port write.
struct Power {
    bool vpp, vdd, clock, data;
    int64_t t;
};
std::vector<Power> powerchanges(const boardsim::BoardWiring& w) {
    std::vector<Power> out;
    uint8_t data = 0, control = 0x0C;
    for (const auto& a : sim::writes()) {
        (a.port == 0x278 ? data : control) = static_cast<uint8_t>(a.value);
        const auto o = boardsim::decodeOutputs(w, data, control);
        const Power p{o.vpp, o.vdd, o.clock, o.dataOut, a.time_ns};
        if (out.empty() || out.back().vpp != p.vpp || out.back().vdd != p.vdd) out.push_back(p);
    }
    return out;
}

TEST_F(SimBoardReset, BoardsThatSwitchVddPowerTheChipInItsOrder) {
    boardsim::BoardWiring tait;
    boardsim::knownBoard("tait-classic", tait);
    State s;
    onboard(s, *builtinboard("tait-classic"), "tait-classic");
    EXPECT_TRUE(boardswitchesvdd(s.wiring));
    EXPECT_FALSE(boardswitchesvdd(originalwiring()));
    for (bool vppfirst : {false, true}) {
        SCOPED_TRACE(vppfirst);
        s.vppfirst = vppfirst;
        sim::board().logClear();
        sim::clearWaits();
        vppreset(s);
        vppreset(s);  // again at once: the chip is off for the whole pause
        const auto p = powerchanges(tait);
        // Off, one line, both; VDD goes, then Vpp; one line, both again.
        ASSERT_EQ(p.size(), 7u);
        for (int i : {0, 1, 2, 4, 5, 6}) EXPECT_EQ(p[i].vpp + p[i].vdd, i % 4 == 0 ? 0 : i % 4 == 1 ? 1 : 2) << i;
        EXPECT_EQ(p[1].vdd, !vppfirst);
        EXPECT_EQ(p[5].vdd, !vppfirst);
        EXPECT_GE(p[2].t - p[1].t, vppfirst ? 5'000 : 50'000'000);
        // Going off: VDD first, so MCLR is still at Vpp while the supply falls.
        EXPECT_TRUE(p[3].vpp && !p[3].vdd);
        EXPECT_FALSE(p[3].clock || p[3].data);
        EXPECT_GE(p[5].t - p[3].t, 200'000'000);
        EXPECT_EQ(sim::sleeps(), vppfirst ? (std::vector<int>{200, 7, 200, 7}) : (std::vector<int>{200, 50, 7, 200, 50, 7}));
        EXPECT_EQ(sim::board().inProgrammingMode(), 1);
        allpinslow(s);
        const auto off = powerchanges(tait);
        EXPECT_TRUE(off.back().vpp == false && off.back().vdd == false);
        EXPECT_TRUE(off[off.size() - 2].vpp && !off[off.size() - 2].vdd);
    }
}

TEST_F(SimBoardReset, TheCaptureHasAVddWireWhereTheBoardSwitchesIt) {
    ScratchDir dir{"boards"};
    for (const char* name : {"original", "tait-classic"}) {
        const std::string file = (dir.path() / (std::string(name) + ".vcd")).string();
        State s;
        capture::board(*builtinboard(name));
        std::string why;
        ASSERT_TRUE(capture::open(file, why)) << why;
        onboard(s, *builtinboard(name), name);
        vppreset(s);
        allpinslow(s);
        ASSERT_TRUE(capture::close(why)) << why;
        std::ifstream in(file);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(text.find("$var wire 1 w vdd $end") != std::string::npos, std::string(name) != "original");
        // Power down: VDD falls before Vpp, both after the clock and data.
        if (std::string(name) == "tait-classic") {
            EXPECT_LT(text.rfind("\n0w\n"), text.rfind("\n0v\n"));
        }
    }
    capture::board(originalwiring());
}

TEST_F(SimBoardReset, CommandLineBoardOptionListAndSettingsKey) {
    ScratchDir dir{"boards", true};
    sim::useSimulatedBoard();
    cli::Options o;
    o.command = "detect";
    o.overrides.port = 0x278;
    o.overrides.board = "no-such-board";
    sim::board().logClear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::runcli(o), cli::exitusage);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quibb9x: --board: 'no-such-board' is neither a built-in board nor a file (No such file or "
              "directory); 'quibb9x boards' lists the boards; nothing was sent to the port\n");
    std::ofstream("bad.board") << "vpp = 5\nclock = 3\ndataout = 3\n";
    o.overrides.board = "bad.board";
    testing::internal::CaptureStderr();
    EXPECT_EQ(cli::runcli(o), cli::exitfailed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quibb9x: --board: bad.board line 3: pin 3 is used twice (also by clock on line 2); nothing was "
              "sent to the port\n");
    EXPECT_TRUE(sim::accesses().empty());

    // The settings file names the board for a run without --board.
    std::ofstream("quibb9x.ini") << "[OPTIONS]\nBOARD=Tait-Classic\n";
    setenv("QUIBB9X_SIM_BOARD", "tait-classic", 1);
    sim::useSimulatedBoard();
    o.overrides.board.reset();
    testing::internal::CaptureStdout();
    EXPECT_EQ(cli::runcli(o), cli::exitok);
    EXPECT_EQ(testing::internal::GetCapturedStdout().substr(0, 104),
              "quibb9x: looking for the board 'tait-classic' at port 0x278: vpp = !5, vdd = !4, clock = 3, "
              "dataout = 2,");

    // Saved: BOARD only for another board; a file for the original stays as it was.
    State s;
    startup(s);
    fs::remove("quibb9x.ini");
    ASSERT_TRUE(save_ini(s, "x.hex"));
    std::ifstream in("quibb9x.ini");
    const std::string plain{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(plain, "[OPTIONS]\nPIC= 0\nLPT= 0\nCWORD= 0\n\n[DIRECTORIES]\nLOAD=x.hex\n");
    s.wiring = *builtinboard("p16pro40");
    ASSERT_TRUE(save_ini(s, "x.hex"));
    EXPECT_EQ(readsettings(s).board, "tait-7406-pnp");
    s.wiring = originalwiring();
    ASSERT_TRUE(save_ini(s, "x.hex"));
    EXPECT_EQ(readsettings(s).board, "original");
}

// The 16F627/628 and 627A/628A/648A on their internal oscillator with MCLR
// tied inside start their program as soon as they have VDD: only Vpp before
// VDD enters, and only a board that switches VDD can do that. Every such row
// is tried on every board, with the entry its own row asks for.
TEST_F(SimBoardReset, EveryVppFirstChipEntersOnEveryBoardThatSwitchesVdd) {
    constexpr int internalNoMclr = 0x3FDD;
    const struct {
        const char* name;
        int32_t kind;
    } chips[] = {{"16F627", ZAVSIM_16F627},   {"16F628", ZAVSIM_16F628}, {"16F627A", ZAVSIM_16F627A},
                 {"16F628A", ZAVSIM_16F628A}, {"16F648A", ZAVSIM_16F648A}};
    for (const BuiltinBoard& b : builtinboards())
        for (const auto& chip : chips) {
            SCOPED_TRACE(b.names[0] + " " + chip.name);
            const ChipRow& row = *findchip(chip.name);
            const int word = internalNoMclr & row.config(0).mask;
            State s;
            onboard(s, *builtinboard(b.names[0]), b.names[0].c_str());
            sim::board().setChip(chip.kind);
            sim::board().write(2, 0, word);
            const bool switches = boardswitchesvdd(s.wiring);
            s.vppfirst = false;
            vppreset(s);
            EXPECT_EQ(sim::board().inProgrammingMode(), 0);
            allpinslow(s);
            selectchip(s, row);
            vppreset(s);
            EXPECT_EQ(sim::board().inProgrammingMode(), switches ? 1 : 0);
            allpinslow(s);
            if (!switches) continue;
            EXPECT_EQ(readconfigspace(s, 0x2007), word);
            // Such a board burns, verifies and erases the chip in that order.
            fillerased(s);
            for (int i = 0; i < 8; ++i) s.progmem[i] = static_cast<int16_t>(0x2A55 ^ (i * 0x111));
            s.datamem[0] = 0xA5;
            s.configmem[0] = static_cast<int16_t>(word);
            s.progused = 8;
            s.dataused = s.configused = 1;
            Recorder f;
            ASSERT_TRUE(program2(s, f, modeprogram));
            EXPECT_EQ(sim::board().read(0, 7), 0x2A55 ^ 0x777);
            EXPECT_EQ(sim::board().read(3, 0), 0xA5);
            EXPECT_EQ(sim::board().read(2, 0), word);
            EXPECT_TRUE(program2(s, f, modeverify));
            f.answers.push_back(Answer::Yes);
            EXPECT_TRUE(erasechip(s, f));
            EXPECT_EQ(sim::board().read(0, 7), 0x3FFF);
            EXPECT_EQ(sim::board().timingFaults() + sim::board().phaseFaults(), 0);
        }
}

// The board check before every operation, on every built-in board, as the
// simulated board's own table decodes each port write: no write raises Vpp
// or VDD (the PC's power-on bytes may hold a pin at a board's "on" until the
// register is first written), the check finds the board, and both are off
// afterwards.
TEST_F(SimBoardReset, TheBoardCheckLeavesVppAndVddOffOnEveryBoard) {
    for (const BuiltinBoard& b : builtinboards()) {
        SCOPED_TRACE(b.names[0]);
        boardsim::BoardWiring simw;
        ASSERT_TRUE(boardsim::knownBoard(b.names[0], simw));
        State s;
        onboard(s, *builtinboard(b.names[0]), b.names[0].c_str());
        EXPECT_FALSE(noboard(s).has_value());
        uint8_t data = 0x00, control = 0x0C;
        auto o = boardsim::decodeOutputs(simw, data, control);
        int writes = 0;
        for (const auto& a : sim::writes()) {
            if (a.port != 0x278 && a.port != 0x27A) continue;  // start-up's, at port 0
            (a.port == 0x278 ? data : control) = static_cast<uint8_t>(a.value);
            const auto before = o;
            o = boardsim::decodeOutputs(simw, data, control);
            ASSERT_FALSE(o.vpp && !before.vpp) << "write " << writes;
            ASSERT_FALSE(!simw.vdd.empty() && o.vdd && !before.vdd) << "write " << writes;
            ++writes;
        }
        EXPECT_GE(writes, 2);
        EXPECT_FALSE(o.vpp);
        EXPECT_FALSE(!simw.vdd.empty() && o.vdd);
        EXPECT_EQ(sim::board().inProgrammingMode(), 0);
        for (const auto& e : sim::chipEvents()) EXPECT_NE(e.kind, 4) << e.value;
    }
}

// The Asix Piccolo's read-back behind its data buffer is not documented: a
// check that fails there says so and points to --no-check, which goes on
// without it; then only a chip's device ID shows that the board is there.
TEST_F(SimBoardReset, ABoardTheCheckCannotConfirmGoesOnWithNoCheck) {
    ScratchDir dir{"boards", true};
    setenv("QUIBB9X_SIM_BOARD", "asix-piccolo", 1);
    sim::useSimulatedBoard();
    const auto run = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"quibb9x", "--port", "0x278", "--board", "piccolo"});
        cli::Options o;
        std::string error;
        EXPECT_TRUE(cli::parseoptions(args, o, error)) << error;
        return runcaptured(o);
    };
    sim::board().setChip(ZAVSIM_16F628A);
    sim::board().setBoard(0);
    CliRun r = run({"detect"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quibb9x: no board answers at port 0x278 as the board check expects: the check "
                     "looks for the original board's read-back (low while the PC drives the data line, "
                     "high once it lets go), and what the 'asix-piccolo' reads back is not documented; "
                     "if the board is connected and powered, give --no-check to go on without the "
                     "check\n");
    r = run({"--no-check", "detect"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no chip named itself by its device ID, so nothing shows that the board at "
                         "port 0x278 is there"), std::string::npos) << r.err;
    sim::board().setBoard(1);
    r = run({"--no-check", "detect"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("quibb9x: --no-check: the board was not checked; word 0x2006 reads 0x1061: "
                         "PIC16F628A, revision 1\n"), std::string::npos) << r.out;
    // A burn checks nothing but the chip's ID, and says so once.
    r = run({"--no-check", "--device", "auto", "burn", std::string(FIXTURE_DIR) + "/f628a_blink_inhx32.hex"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("quibb9x: --no-check: the board at port 0x278 was not checked\n"
                         "quibb9x: --device auto: word 0x2006 reads 0x1061: PIC16F628A, revision 1; "
                         "working on it as a PIC16F628A\n"), std::string::npos) << r.out;
    EXPECT_NE(sim::board().read(0, 0), 0x3FFF);
    // The original board's refusal keeps its own remedy.
    unsetenv("QUIBB9X_SIM_BOARD");
    sim::useSimulatedBoard();
    sim::board().setBoard(0);
    cli::Options o;
    std::string error;
    ASSERT_TRUE(cli::parseoptions({"quibb9x", "--port", "0x278", "detect"}, o, error));
    EXPECT_EQ(runcaptured(o).err, "quibb9x: no board answers at port 0x278; check the port address "
                                  "('quibb9x ports'), the cable and the board's power\n");
}
