// SPDX-License-Identifier: GPL-2.0-or-later
// A crash in the middle of a burn leaves the board down. The burn runs as the
// command line runs it, in a child process on the simulated board, and its
// waits raise the signal at a clock phase with Vpp on; the board writes its
// pin levels to a pipe after every port write, so the parent sees the last
// ones of the process that died, and where the signal came (a marker byte
// the waits write before raising it).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/crashguard.h"
#include "core/lines.h"
#include "core/startup.h"
#include "support/runcli.h"
#include "support/scratchdir.h"
#include "support/simboard.h"

namespace {

constexpr uint8_t VPP = ZAVSIM_LEVEL_VPP, VDD = ZAVSIM_LEVEL_VDD, CLOCK = ZAVSIM_LEVEL_CLOCK,
                  DATA = ZAVSIM_LEVEL_DATA, PGM = ZAVSIM_LEVEL_PGM, PC = ZAVSIM_LEVEL_PCDRIVES;
constexpr uint8_t MARK = 0xFF;  // no level byte has bits 6 and 7

// A virtual clock that both the waits and the board read, and the signal
// at the given hold.
int64_t virtualNs = 1'000'000'000;
int64_t virtualclock() { return virtualNs; }
class CrashingWaits : public platform::Waits {
public:
    CrashingWaits(int signal, int at, int fd) : signal_(signal), at_(at), fd_(fd) {}
    int64_t nowNs() override { return virtualNs; }
    void holdUntil(int64_t deadline) override {
        if (++holds_ == at_) {
            const uint8_t mark = MARK;
            if (write(fd_, &mark, 1) != 1) _exit(4);
            raise(signal_);
        }
        virtualNs = std::max(virtualNs, deadline);
    }
    void sleepMs(int ms) override { virtualNs += ms * 1'000'000LL; }

private:
    int signal_, at_, fd_, holds_ = 0;
};

struct Death {
    int status = 0;
    std::vector<uint8_t> before, after;  // the levels up to the signal, and since
};

// quibb9x --board BOARD burn, crashing with `signal` at the hold given.
Death burncrashing(const std::string& board, int signal, int at) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const rlimit nocore{0, 0};
        setrlimit(RLIMIT_CORE, &nocore);
        setenv("QUIBB9X_SIM_LEVELS_FD", std::to_string(fds[1]).c_str(), 1);
        setenv("QUIBB9X_SIM_BOARD", board.c_str(), 1);
        sim::useSimulatedBoard();
        CrashingWaits waits(signal, at, fds[1]);
        platform::installWaits(&waits);
        sim::board().useClock(&virtualclock);
        cli::Options o;
        std::string error;
        cli::parseoptions({"quibb9x", "--device", "16F84", "--port", "0x278", "--board", board, "burn",
                           std::string(FIXTURE_DIR) + "/f84_blink_inhx32.hex"},
                          o, error);
        runcaptured(o);
        _exit(3);  // the signal never came
    }
    close(fds[1]);
    Death d;
    bool marked = false;
    uint8_t buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == MARK) marked = true;
            else (marked ? d.after : d.before).push_back(buffer[i]);
        }
    close(fds[0]);
    waitpid(child, &d.status, 0);
    return d;
}

}  // namespace

TEST(CrashGuard, EachCrashSignalMidBurnLeavesEveryLineLowAndVppOff) {
    ScratchDir dir("crash");
    const std::string pgmboard = (dir.path() / "pgm.board").string();
    // Lines on both registers: VDD and PGM on data bits, the rest on control.
    std::ofstream(pgmboard) << "vpp = !16\nvdd = 4\nclock = 1\ndataout = 14\ndatadir = !17\n"
                               "datain = 11\npgm = 5\n";
    struct Board {
        std::string name;
        std::vector<uint8_t> after;  // the handler's writes, as pin levels
    };
    const std::vector<Board> boards = {
        // The original board always powers the chip: clock and data down,
        // then Vpp off by pin 16 and by its companion, pin 2.
        {"original", {VPP | VDD | PC, VDD | PC, VDD | PC}},
        // Every line on the data register: one write each.
        {"tait-classic", {VPP | VDD | PC, VPP | PC, PC}},
        {pgmboard, {VPP | VDD | PC, VPP | VDD | PC, VPP | PC, PC}},
    };
    for (const Board& b : boards) {
        for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
            SCOPED_TRACE(b.name + ", " + strsignal(signal));
            // A rising clock edge of a read command after the first word's
            // programming cycle: the lines are anything but idle.
            const Death d = burncrashing(b.name, signal, 230);
            ASSERT_TRUE(WIFSIGNALED(d.status)) << "status " << d.status;
            EXPECT_EQ(WTERMSIG(d.status), signal);
            ASSERT_FALSE(d.before.empty());
            EXPECT_EQ(d.before.back() & (VPP | CLOCK), VPP | CLOCK);
            EXPECT_EQ(d.after, b.after);
            ASSERT_FALSE(d.after.empty());
            EXPECT_EQ(d.after.back() & (VPP | CLOCK | DATA | PGM), 0);
        }
    }
}

// The handler's writes follow the registers as last written and the board's
// plan; without a board touched yet there is nothing to write.
TEST(CrashGuard, PlansFromTheRegistersAsLastWritten) {
    crashguard::disarm();
    crashguard::Write w[6];
    EXPECT_EQ(crashguard::safewrites(w), 0);

    sim::useSimulatedBoard();
    State s;
    startup(s);
    setdevice(s, 2);
    s.portaddr = 0x278;
    vppreset(s);
    clockup(s);
    dataup(s);  // control 0x08: clock and data high, Vpp on
    ASSERT_EQ(crashguard::safewrites(w), 3);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{w[0].port, w[0].value}, {w[1].port, w[1].value},
                                                {w[2].port, w[2].value}}),
              (std::vector<std::pair<int, int>>{{0x27A, 0x0B}, {0x27A, 0x0F}, {0x278, 0x01}}));
    allpinslow(s);

    // The first write at another port moves the plan there.
    s.portaddr = 0x378;
    datareadable(s);  // control 0x05
    ASSERT_EQ(crashguard::safewrites(w), 3);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{w[0].port, w[0].value}, {w[1].port, w[1].value},
                                                {w[2].port, w[2].value}}),
              (std::vector<std::pair<int, int>>{{0x37A, 0x0F}, {0x37A, 0x0F}, {0x378, 0x01}}));
}
