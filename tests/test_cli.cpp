// SPDX-License-Identifier: GPL-2.0-or-later
// The command line's own parts: the option values and usage errors, the
// console front end's output, the start-up with settings and overrides, and
// an interrupted burn that must leave the board idle with Vpp off.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "core/stop.h"
#include "operations/deviceid.h"
#include "support/chipfacts.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace fs = std::filesystem;
using namespace cli;

namespace {

Options parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "quibb9x");
    Options o;
    std::string error;
    EXPECT_TRUE(parseoptions(args, o, error)) << error;
    return o;
}

std::string refused(std::vector<std::string> args) {
    args.insert(args.begin(), "quibb9x");
    Options o;
    std::string error;
    EXPECT_FALSE(parseoptions(args, o, error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
}

// Runs a test in a directory of its own, which holds the settings file.
struct InTempDir : ::testing::Test {
    ScratchDir scratch{"cli", true};
    fs::path dir = scratch.path();
    void settings(const std::string& text) { std::ofstream(dir / "quibb9x.ini") << text; }
};

}  // namespace

TEST(CliOptions, ValuesInEveryAcceptedFormAndNothingElse) {
    EXPECT_EQ(parsedevice("16C84"), 1);
    EXPECT_EQ(parsedevice("pic16f84"), 2);
    EXPECT_EQ(parsedevice("16F83"), 3);
    EXPECT_EQ(parsedevice("16F877"), std::nullopt);
    EXPECT_EQ(parsedevice(""), std::nullopt);

    EXPECT_EQ(parseport("lpt1"), 0x378);
    EXPECT_EQ(parseport("LPT2"), 0x278);
    EXPECT_EQ(parseport("0x3BC"), 0x3BC);
    EXPECT_EQ(parseport("3bc"), 0x3BC);
    EXPECT_EQ(parseport("FFFF"), -1);  // the 16-bit pattern, as the window keeps it
    EXPECT_EQ(parseport("10000"), std::nullopt);
    EXPECT_EQ(parseport("0x"), std::nullopt);
    EXPECT_EQ(parseport("3G"), std::nullopt);
    EXPECT_EQ(parseport("lpt3"), std::nullopt);

    EXPECT_EQ(parseconfig("0x3FF1"), 0x3FF1);
    EXPECT_EQ(parseconfig("3fff"), 0x3FFF);
    EXPECT_EQ(parseconfig("0"), 0);
    EXPECT_EQ(parseconfig("0x4000"), std::nullopt);  // no box holds bit 14
    EXPECT_EQ(parseconfig("-1"), std::nullopt);

    EXPECT_EQ(parsetprog("7"), 7);
    EXPECT_EQ(parsetprog("10"), 10);
    EXPECT_EQ(parsetprog("20"), 20);
    for (const char* bad : {"6", "21", "07x", "0x10", "", "-7", " 9", "100"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(parsetprog(bad), std::nullopt);
    }
}

TEST(CliOptions, CommandFileAndOptionsInAnyOrder) {
    Options o = parsed({"burn", "a file.hex", "--device", "16C84", "--port", "lpt1",
                        "--config", "0x3FF1", "--simulate"});
    EXPECT_EQ(o.command, "burn");
    EXPECT_EQ(o.file, "a file.hex");
    EXPECT_EQ(o.overrides.device, 1);
    EXPECT_EQ(o.overrides.port, 0x378);
    EXPECT_EQ(o.overrides.config, 0x3FF1);
    EXPECT_TRUE(o.simulate);
    EXPECT_FALSE(o.yes);

    o = parsed({"--yes", "erase"});
    EXPECT_EQ(o.command, "erase");
    EXPECT_TRUE(o.yes);
    EXPECT_FALSE(o.quiet);
    EXPECT_TRUE(parsed({"-q", "detect"}).quiet);
    EXPECT_TRUE(parsed({"detect", "--quiet"}).quiet);

    // No command: the window, with the same options, and Qt's own for it.
    o = parsed({"--device=16F83", "--quit-after-start", "-platform", "offscreen", "-reverse",
                "--board", "el-cheapo", "--simulate", "--no-check"});
    EXPECT_TRUE(o.command.empty());
    EXPECT_EQ(o.overrides.device, 3);
    EXPECT_TRUE(o.quitAfterStart);
    EXPECT_EQ(o.overrides.board, "el-cheapo");  // the window applies it
    EXPECT_TRUE(o.overrides.simulate);
    EXPECT_TRUE(o.overrides.nocheck);

    EXPECT_TRUE(parsed({"-h"}).help);
    EXPECT_TRUE(parsed({"--help-all"}).help);
    EXPECT_TRUE(parsed({"-v"}).version);
}

TEST(CliOptions, UsageErrorsSayWhatIsWrongInOneLine) {
    EXPECT_EQ(refused({"frobnicate"}), "unknown command 'frobnicate'");
    EXPECT_EQ(refused({"burn"}), "burn needs a FILE");
    EXPECT_EQ(refused({"read-bin", ""}), "read-bin needs a FILE");
    EXPECT_EQ(refused({"detect", "extra"}), "too many arguments for detect: 'extra'");
    EXPECT_EQ(refused({"verify", "a.hex", "b.hex"}), "too many arguments for verify: 'b.hex'");
    EXPECT_EQ(refused({"--device", "16F1827", "detect"}),
              "bad --device '16F1827': use a chip 'quibb9x devices' lists (e.g. 16F628A) or auto");
    EXPECT_EQ(refused({"--port", "12345", "detect"}),
              "bad --port '12345': use lpt1, lpt2 or a hexadecimal address up to FFFF");
    EXPECT_EQ(refused({"--config", "0x4000", "burn", "x.hex"}),
              "bad --config '0x4000': use a hexadecimal word from 0 to 0x3FFF");
    EXPECT_EQ(refused({"--tprog", "21", "burn", "x.hex"}),
              "bad --tprog '21': use a programming time of 7 to 20 ms");
    EXPECT_EQ(refused({"--device", "16F628A", "--tprog", "10", "burn", "x.hex"}),
              "--tprog sets the programming time of the PIC16C84, 16F84, 16F83 and 16F84A; "
              "the PIC16F628A keeps its own");
    EXPECT_EQ(parsed({"--tprog", "12", "--device", "16C84", "burn", "x.hex"}).overrides.tprog, 12);
    EXPECT_NE(refused({"--bogus"}).find("bogus"), std::string::npos);
    EXPECT_NE(refused({"detect", "--device"}).find("device"), std::string::npos);
}

TEST(CliOptions, HelpNamesEveryCommandAndVisibleOption) {
    int argc = 1;
    char name[] = "quibb9x";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const std::string help = helptext();
    for (const char* word : {"burn FILE", "verify FILE", "erase", "read-hex FILE",
                             "read-bin FILE", "detect", "ports", "--device", "--port", "--config",
                             "--simulate", "--yes", "--help", "--version"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_EQ(help.find("quit-after-start"), std::string::npos);
    EXPECT_EQ(help.rfind("Usage: quibb9x [options] [command] [FILE]\n", 0), 0u) << help;
}

TEST(CliConsole, StatusOnStandardOutputBoxesOnStandardError) {
    std::ostringstream out, err;
    ConsoleFrontend f(out, err, false, false, nullptr);
    f.statusClear();
    f.statusAdd("Program memory: ");
    f.statusAdd("Programming...");
    f.fileListClear();
    f.fileListAdd("001->:00000001FF");
    f.progressMax(10);
    f.progressValue(5);
    EXPECT_EQ(f.message("Unable to load file.", "ERROR!", Buttons::Ok), Answer::Ok);
    EXPECT_EQ(f.message("Invalid address: 0x200", "", Buttons::Ok), Answer::Ok);
    // Text from a file (a dump's name, a quoted line) with control characters.
    f.statusAdd("dump\x1b[2J\x7f\xc3\xa9.hex");
    f.message("Invalid line (skipped): '\r\n'", "INVALID LINE!", Buttons::Ok);
    f.finish();
    EXPECT_EQ(out.str(), "Program memory: \nProgramming...\ndump\\x1b[2J\\x7f\xc3\xa9.hex\n");
    EXPECT_EQ(err.str(), "ERROR!: Unable to load file.\nInvalid address: 0x200\n"
                         "INVALID LINE!: Invalid line (skipped): '\\x0d\\x0a'\n");
}

TEST(CliConsole, QuestionAnsweredByYesOptionOrTheTerminalElseNo) {
    // The question goes to standard error, --yes's answer is a status line.
    auto ask = [](bool yes, std::istream* terminal, std::string* shown = nullptr) {
        std::ostringstream out, err;
        ConsoleFrontend f(out, err, false, yes, terminal);
        const Answer a = f.message("Are you sure you want to erase the PIC?", "*ERASE*",
                                   Buttons::YesNo);
        if (shown) *shown = yes ? out.str() : err.str();
        return a;
    };
    std::string shown;
    EXPECT_EQ(ask(true, nullptr, &shown), Answer::Yes);
    EXPECT_EQ(shown, "*ERASE*: Are you sure you want to erase the PIC? yes (--yes)\n");
    EXPECT_EQ(ask(false, nullptr), Answer::No);
    for (const char* typed : {"y\n", "yes\n", " Y \n", "YES"}) {
        std::istringstream in(typed);
        EXPECT_EQ(ask(false, &in, &shown), Answer::Yes) << typed;
        EXPECT_EQ(shown, "*ERASE*: Are you sure you want to erase the PIC? [y/N] ");
    }
    for (const char* typed : {"n\n", "\n", "yep\n", ""}) {
        std::istringstream in(typed);
        EXPECT_EQ(ask(false, &in), Answer::No) << typed;
    }
}

TEST(CliConsole, ProgressIsOneRedrawnLineClearedBeforeOtherOutput) {
    std::ostringstream out, err;
    ConsoleFrontend f(out, err, true, false, nullptr);
    double now = 10;
    f.setclock([&] { return now; });
    f.statusAdd("Program memory: ");
    f.statusAdd("Programming...");
    f.progressValue(0);  // nothing to show yet; the pass starts
    f.progressMax(5);
    now = 12;
    f.progressValue(1);
    f.progressValue(1);  // no change, no redraw
    now = 13;
    f.progressValue(3);
    const std::string drawn = err.str();
    EXPECT_EQ(drawn,
              "\rProgram memory: Programming... [######........................] 20%, 8 s left\x1b[K"
              "\rProgram memory: Programming... [##################............] 60%, 2 s left\x1b[K");
    // The next line ends the pass: the bar reaches its total, then goes.
    f.statusAdd("SUCCESS!");
    f.progressValue(0);  // the pass's final reset draws nothing
    const std::string total =
        "\rProgram memory: Programming... [##############################] 100%\x1b[K\r\x1b[K";
    EXPECT_EQ(err.str(), drawn + total);
    f.finish();  // nothing left to clear
    EXPECT_EQ(err.str(), drawn + total);
    EXPECT_EQ(out.str(), "Program memory: \nProgramming...\nSUCCESS!\n");
}

TEST(CliConsole, EraseAndBlankCheckStepsShowFromZeroAndReachTheirTotal) {
    std::ostringstream out, err;
    ConsoleFrontend f(out, err, true, false, nullptr);
    double now = 0;
    f.setclock([&] { return now; });
    f.statusAdd("configuration, ");
    f.stepsDone("Erasing", 0, 3);  // no pace yet: no time left
    now = 2;
    f.stepsDone("Erasing", 1, 3);
    f.statusAdd("program,");  // a line takes the bar off first
    f.stepsDone("Erasing", 3, 3);
    f.finish();
    EXPECT_EQ(err.str(),
              "\rErasing [..............................] 0%\x1b[K"
              "\rErasing [#########.....................] 33%, 4 s left\x1b[K\r\x1b[K"
              "\rErasing [##############################] 100%\x1b[K\r\x1b[K");
    EXPECT_EQ(out.str(), "configuration, \nprogram,\n");

    std::ostringstream qout, qerr;
    ConsoleFrontend quiet(qout, qerr, true, false, nullptr, true);
    quiet.stepsDone("Blank check", 5, 10);
    EXPECT_EQ(qerr.str(), "");
}

TEST(CliConsole, QuietKeepsOnlyErrorsQuestionsAndTheSummary) {
    std::ostringstream out, err;
    ConsoleFrontend q(out, err, true, true, nullptr, true);
    q.statusAdd("Programming...");
    q.progressMax(4);
    q.progressValue(2);
    q.message("QUIBB H/W Successfully detected on port!", "SUCCESS!", Buttons::Ok);
    EXPECT_EQ(q.message("Are you sure you want to erase the PIC?", "*ERASE*", Buttons::YesNo),
              Answer::Yes);
    q.statusAdd("**ERROR!**");
    q.message("Invalid address: 0x200", "", Buttons::Ok);
    q.summary("SUCCESS!");
    q.finish();
    EXPECT_EQ(out.str(), "*ERASE*: Are you sure you want to erase the PIC? yes (--yes)\nSUCCESS!\n");
    EXPECT_EQ(err.str(), "Invalid address: 0x200\n");
}

TEST_F(InTempDir, StartUpTakesTheSettingsFileThenTheOverrides) {
    sim::useSimulatedBoard();
    settings("[OPTIONS]\nPIC= 3\nLPT= 888\nCWORD= 16371\n");
    State s;
    ConfigEditor editor;
    clistartup(s, editor, {});
    EXPECT_EQ(s.picmodel, 3);
    EXPECT_EQ(progsize(s), 512);
    EXPECT_EQ(s.portaddr, 0x378);
    EXPECT_EQ(s.configmem[0], 0x3FF3);
    EXPECT_EQ(s.configused, 1);
    EXPECT_EQ(editor.cvalue, "3FF3");

    State o;
    ConfigEditor e2;
    clistartup(o, e2, Overrides{1, 0x278, 0x3FF1});
    EXPECT_EQ(o.picmodel, 1);
    EXPECT_EQ(configmask(o), 0x1F);
    EXPECT_EQ(o.portaddr, 0x278);
    EXPECT_EQ(o.configmem[0], 0x3FF3);  // --config waits for the loaded image
}

TEST_F(InTempDir, StartUpWithoutSettingsFileEndsOnPortZeroAsTheWindowDoes) {
    sim::useSimulatedBoard();
    State s;
    ConfigEditor editor;
    clistartup(s, editor, {});
    EXPECT_EQ(s.picmodel, 0);
    EXPECT_EQ(progsize(s), 1024);
    EXPECT_EQ(configmask(s), 0x3FFF);
    EXPECT_EQ(s.portaddr, 0);
    EXPECT_FALSE(fs::exists(dir / "quibb9x.ini"));  // nothing is ever saved
}

TEST_F(InTempDir, FileThatDoesNotLoadNeverReachesTheBoard) {
    sim::useSimulatedBoard();
    std::ofstream("bad.hex") << ":020000000528D1\n:00000001FE\n";
    sim::board().logClear();
    Options o;
    o.command = "burn";
    o.file = "bad.hex";
    o.overrides.port = 0x278;
    EXPECT_EQ(runcli(o), exitfailed);
    // Only the start-up's idle state, written before any port was chosen.
    for (const auto& w : sim::writes())
        EXPECT_TRUE(w.port == 0 || w.port == 2) << std::hex << w.port;
    EXPECT_TRUE(sim::chipEvents().empty());
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
}

TEST_F(InTempDir, InterruptedBurnLeavesTheBoardIdleWithVppOff) {
    sim::useSimulatedBoard();
    sim::useRealTime();  // a real burn, stopped in its program-memory pass
    sim::board().setChip(ZAVSIM_16C84);
    clearinterrupt();
    Options o;
    o.command = "burn";
    o.file = std::string(FIXTURE_DIR) + "/c84_full_inhx32.hex";
    o.overrides.device = 1;
    o.overrides.port = 0x278;

    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        kill(getpid(), SIGTERM);
    });
    const int status = runcli(o);
    signaller.join();
    clearinterrupt();
    signal(SIGTERM, SIG_DFL);

    EXPECT_EQ(status, exitinterrupted);
    EXPECT_EQ(sim::board().inProgrammingMode(), 0);
    const auto w = sim::writes();
    ASSERT_GE(w.size(), 3u);
    // The last writes are allpinslow's: Vpp off (control bit 2 set, data 1),
    // then the control register's idle byte.
    EXPECT_EQ(w[w.size() - 3].port, 0x27A);
    EXPECT_EQ(w[w.size() - 3].value & 0x04, 0x04);
    EXPECT_EQ(w[w.size() - 2].port, 0x278);
    EXPECT_EQ(w[w.size() - 2].value, 0x01);
    EXPECT_EQ(w[w.size() - 1].port, 0x27A);
    EXPECT_EQ(w[w.size() - 1].value, 0x0F);
    // Stopped in the middle: the first word is burnt, the last is not.
    EXPECT_EQ(sim::board().read(0, 0), 0x2BFF);
    EXPECT_EQ(sim::board().read(0, 1023), 0x3FFF);
    EXPECT_EQ(sim::board().read(2, 0), 0x3FFF);  // the configuration never came
}

TEST_F(InTempDir, Device16F84ARefusesAnotherChipBeforeAnyWordIsWritten) {
    sim::useSimulatedBoard();
    const Options o = parsed({"--device", "16F84A", "--port", "0x278", "burn",
                              std::string(FIXTURE_DIR) + "/f84_blink_inhx32.hex"});
    EXPECT_EQ(o.overrides.device, 2);
    EXPECT_TRUE(o.overrides.requiref84a);
    EXPECT_EQ(runcli(o), exitwrongchip);  // a PIC16F84: word 0x2006 reads 0x3FFF
    // Only the ID's read: load configuration, six increments, read.
    EXPECT_EQ(sim::commands(), (std::vector<int>{0, 6, 6, 6, 6, 6, 6, 4}));
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);

    sim::board().setChip(ZAVSIM_16F84A);
    EXPECT_EQ(runcli(o), exitok);
    EXPECT_EQ(sim::board().read(0, 0), 0x2805);
}

namespace {

// A command run in-process on the simulated board, its standard error kept.
struct Refusals : InTempDir {
    int run(const std::string& command, const std::string& file, std::optional<int16_t> port = 0x278) {
        Options o;
        o.command = command;
        o.file = file;
        o.yes = command == "erase";
        if (port) o.overrides.port = *port;
        std::ostringstream out, captured;
        auto* oldout = std::cout.rdbuf(out.rdbuf());
        auto* olderr = std::cerr.rdbuf(captured.rdbuf());
        sim::board().logClear();
        sim::board().eventClear();
        const int status = runcli(o);
        std::cout.rdbuf(oldout);
        std::cerr.rdbuf(olderr);
        err = captured.str();
        return status;
    }
    // Programming mode needs Vpp: the control register's bit 2 cleared.
    bool vppraised() const {
        for (const auto& w : sim::writes())
            if (w.port == 0x27A && !(w.value & 0x04)) return true;
        return false;
    }
    std::string err;
};

}  // namespace

// Every refusal: its exit status and exact line, and the chip never entered
// programming mode (Vpp never raised, no command reached it).
TEST_F(Refusals, EveryRefusalComesBeforeProgrammingMode) {
    sim::useSimulatedBoard();
    std::ofstream("empty.hex") << "";
    std::ofstream("notes.txt") << "some notes\n";
    std::ofstream("short.hex") << ":10000000F0\n";
    std::ofstream("sum.hex") << ":020000000528D1\n:02000000FF3FC1\n";
    std::ofstream("count.hex") << ":21000000\n";
    std::ofstream("esc.hex") << "hi\x1b[2J\x07\n";
    std::ofstream("noconfig.hex") << ":020000000528D1\n:00000001FF\n";
    std::ofstream("endonly.hex") << ":020000040000FA\n:00000001FF\n";
    std::ofstream("big.hex") << ":020000000528D1\n";
    fs::resize_file(fs::path("big.hex"), (16 << 20) + 1);
    const std::string blink = std::string(FIXTURE_DIR) + "/f84_blink_inhx32.hex";
    const std::string tail = "; mend the file, nothing was sent to the chip\n";
    const std::string noport =
        "choose one with --port (lpt1, lpt2 or a hexadecimal address; 'quibb9x ports' lists "
        "this machine's)\n";
    struct Case {
        std::string command, file;
        std::optional<int16_t> port;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"burn", "empty.hex", 0x278, 1,
         "quibb9x: empty.hex holds no data record; give a HEX file with the chip's words "
         "(lines such as :02000000...)\n"},
        {"verify", "endonly.hex", 0x278, 1,
         "quibb9x: endonly.hex holds no data record; give a HEX file with the chip's words "
         "(lines such as :02000000...)\n"},
        {"burn", "notes.txt", 0x278, 1,
         "quibb9x: notes.txt line 1: not a HEX record ('some notes'); the reader would skip it" + tail},
        {"burn", "short.hex", 0x278, 1,
         "quibb9x: short.hex line 1: record cut short: its byte count 0x10 needs 43 characters, "
         "the line has 11" + tail},
        {"verify", "sum.hex", 0x278, 1,
         "quibb9x: sum.hex line 2: checksum 0xC1 is wrong, the record needs 0xC0" + tail},
        {"burn", "count.hex", 0x278, 1, "quibb9x: count.hex line 1: byte count 0x21 is more than 32" + tail},
        {"burn", "esc.hex", 0x278, 1,
         "quibb9x: esc.hex line 1: not a HEX record ('hi\\x1b[2J\\x07'); the reader would skip it" + tail},
        {"burn", "/dev/zero", 0x278, 1, "quibb9x: /dev/zero is not a regular file; give a HEX file\n"},
        {"burn", ".", 0x278, 1, "quibb9x: . is not a regular file; give a HEX file\n"},
        {"burn", "big.hex", 0x278, 1,
         "quibb9x: big.hex is larger than 16 MiB (16777217 bytes); no HEX file for these chips "
         "is that large\n"},
        {"burn", "noconfig.hex", 0x278, 2,
         "quibb9x: noconfig.hex has no configuration word and the settings file gives none; "
         "give one with --config (e.g. --config 0x3FF1)\n"},
        {"burn", blink, std::nullopt, 2,
         "quibb9x: no port chosen (no --port, and the settings file gives none); " + noport},
        {"read-hex", "out.hex", 0, 2, "quibb9x: --port 0 names no port; " + noport},
        {"read-hex", ".", 0x278, 1,
         "quibb9x: cannot write .: it is a directory; give a file name\n"},
        {"read-bin", "nowhere/out.bin", 0x278, 1,
         "quibb9x: cannot write nowhere/out.bin: No such file or directory; choose another "
         "place, nothing was read from the chip\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.command, c.file, c.port), c.status) << c.file;
        EXPECT_EQ(err, c.err);
        EXPECT_FALSE(vppraised()) << c.file;
        EXPECT_TRUE(sim::chipEvents().empty()) << c.file;
    }

    // No board at the port: burn, verify, erase and the read-outs say so.
    sim::board().setBoard(0);
    for (const std::string command : {"burn", "verify", "erase", "read-hex", "read-bin"}) {
        EXPECT_EQ(run(command, command[0] == 'r' ? "out" : blink), 1) << command;
        EXPECT_EQ(err, "quibb9x: no board answers at port 0x278; check the port address "
                       "('quibb9x ports'), the cable and the board's power\n");
        EXPECT_FALSE(vppraised()) << command;
    }
    sim::board().setBoard(1);
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
    EXPECT_FALSE(fs::exists("out") || fs::exists("out.hex"));
}

// A protected chip reads as zeros: the read-out refuses after reading only
// the configuration word, and writes no file, temporary or not.
TEST_F(Refusals, AProtectedChipsReadOutWritesNoFile) {
    sim::useSimulatedBoard();
    setenv("TMPDIR", dir.c_str(), 1);
    sim::board().setProtected(1);
    sim::board().write(2, 0, 0x3FCF);  // one code-protection bit clear
    for (const std::string command : {"read-hex", "read-bin"}) {
        EXPECT_EQ(run(command, "out"), exitprotected);
        EXPECT_EQ(err, "quibb9x: the chip is code-protected (configuration word 0x3FCF): its memory "
                       "cannot be read, so no file was written; only an erase (quibb9x erase) "
                       "lifts the protection, and it clears the chip\n");
        EXPECT_EQ(sim::board().inProgrammingMode(), 0);
        EXPECT_TRUE(fs::is_empty(dir)) << command;
    }
    unsetenv("TMPDIR");
}

// Ctrl-C while the file is read: exit 130, and the chip is never reached.
TEST_F(Refusals, InterruptedWhileLoading) {
    sim::useSimulatedBoard();
    stop::request();
    EXPECT_EQ(run("burn", std::string(FIXTURE_DIR) + "/f84_blink_inhx32.hex"), exitinterrupted);
    clearinterrupt();
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    EXPECT_FALSE(vppraised());
    EXPECT_TRUE(sim::chipEvents().empty());
}

namespace {

// A whole command run in-process, as `quibb9x --port 0x278 [--device D] ARGS`
// would: its exit status and standard output.
struct EveryCommand : InTempDir {
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "0x278", "--yes"});
        if (!device.empty()) args.insert(args.begin(), {"--device", device});
        Options o = parsed(args);
        o.yes = true;
        std::ostringstream captured, errors;
        auto* oldout = std::cout.rdbuf(captured.rdbuf());
        auto* olderr = std::cerr.rdbuf(errors.rdbuf());
        sim::board().logClear();
        const int status = runcli(o);
        std::cout.rdbuf(oldout);
        std::cerr.rdbuf(olderr);
        out = captured.str();
        err = errors.str();
        return status;
    }
    // The board idle at the end: not in programming mode, the last control
    // byte the idle one (Vpp off, clock and data low), no wait cut short.
    void expectidle(const std::string& what) const {
        EXPECT_EQ(sim::board().inProgrammingMode(), 0) << what;
        int lastcontrol = -1;
        for (const auto& w : sim::writes())
            if (w.port == 0x27A) lastcontrol = w.value;
        EXPECT_EQ(lastcontrol, 0x0F) << what;
        EXPECT_EQ(sim::board().timingFaults(), 0) << what;
        EXPECT_EQ(sim::board().phaseFaults(), 0) << what;
    }
    std::string device, out, err;
};

}  // namespace

// Every command on every original chip ends with the board idle, and does
// what it says: the burnt words read back, only-changed compares under the
// chip's masks (a 16C84's configuration word holds five bits), the dumps and
// the blank check see what the chip holds.
TEST_F(EveryCommand, OnEachOriginalChipTheBoardEndsIdle) {
    sim::useSimulatedBoard();
    struct Chip {
        int kind;
        const char* device;
        const char* file;
    };
    for (const Chip& c : {Chip{ZAVSIM_16C84, "16C84", "c84_blink_inhx32.hex"},
                          Chip{ZAVSIM_16F84, "16F84", "f84_blink_inhx32.hex"},
                          Chip{ZAVSIM_16F83, "16F83", "f83_blink_inhx32.hex"}}) {
        sim::board().setChip(c.kind);
        device = c.device;
        const std::string hex = std::string(FIXTURE_DIR) + "/" + c.file;
        EXPECT_EQ(run({"blank-check"}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " blank-check");
        EXPECT_EQ(run({"burn", hex}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " burn");
        EXPECT_NE(sim::board().read(0, 0), 0x3FFF) << c.device;
        const int config = sim::board().read(2, 0);
        EXPECT_EQ(run({"verify", hex}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " verify");
        EXPECT_EQ(run({"burn", "--only-changed", hex}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " burn --only-changed");
        EXPECT_NE(out.find("quibb9x: programmed 0 of the "), std::string::npos) << c.device << out;
        EXPECT_EQ(sim::board().read(2, 0), config) << c.device;
        EXPECT_EQ(run({"blank-check"}), exitfailed) << c.device;
        expectidle(std::string(c.device) + " blank-check of a burnt chip");
        for (const char* command : {"read-hex", "read-bin"}) {
            EXPECT_EQ(run({command, "dump"}), exitok) << c.device << command << err;
            expectidle(std::string(c.device) + " " + command);
            EXPECT_TRUE(fs::is_regular_file("dump")) << c.device << command;
            fs::remove("dump");
        }
        EXPECT_EQ(run({"detect"}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " detect");
        EXPECT_EQ(run({"erase"}), exitok) << c.device << err;
        expectidle(std::string(c.device) + " erase");
        EXPECT_EQ(sim::board().read(0, 0), 0x3FFF) << c.device;
        EXPECT_EQ(run({"blank-check"}), exitok) << c.device << err;
    }
}

// Only-changed on a 16C84 with one configuration bit changed within its
// mask: exactly that word is programmed; bits outside the mask never count.
TEST_F(EveryCommand, OnlyChangedComparesUnderThe16C84sMask) {
    sim::useSimulatedBoard();
    sim::board().setChip(ZAVSIM_16C84);
    device = "16C84";
    const std::string hex = std::string(FIXTURE_DIR) + "/c84_blink_inhx32.hex";
    ASSERT_EQ(run({"burn", hex}), exitok) << err;
    const int config = sim::board().read(2, 0);
    char word[8];
    for (const int unused : {0x3FE0, 0x0000}) {  // only bits the chip lacks differ
        std::snprintf(word, sizeof word, "0x%04X", (config & 0x1F) | unused);
        ASSERT_EQ(run({"--config", word, "burn", "--only-changed", hex}), exitok) << err;
        EXPECT_NE(out.find("quibb9x: programmed 0 of the "), std::string::npos) << word << out;
    }
    const int other = (config ^ 0x01) | 0x3FE0;  // bit 0 differs as well
    std::snprintf(word, sizeof word, "0x%04X", other);
    ASSERT_EQ(run({"--config", word, "burn", "--only-changed", hex}), exitok) << err;
    EXPECT_NE(out.find("quibb9x: programmed 1 of the "), std::string::npos) << out;
    EXPECT_EQ(sim::board().read(2, 0) & 0x1F, other & 0x1F);
    expectidle("only-changed");
}

// Every revision the 16F84A's ID can carry reads as one; its neighbours do
// not.
TEST(DeviceId, EveryRevisionOfThe16F84A) {
    for (int revision = 0; revision < 32; ++revision) {
        const int16_t id = static_cast<int16_t>(0x0560 + revision);
        EXPECT_TRUE(isf84a(id)) << revision;
        EXPECT_EQ(describedeviceid(id), "PIC16F84A, revision " + std::to_string(revision));
    }
    for (const int16_t id : {0x055F, 0x0580, 0x0460, 0x1560, 0x0000})
        EXPECT_FALSE(isf84a(id)) << id;
    EXPECT_EQ(describedeviceid(0x3FFF),
              "no device ID (a PIC16F84, PIC16C84 or PIC16F83, or an empty socket)");
}
