// Clock phases on the real clock: the simulated chip checks every phase in
// programming mode against its 1 µs floor, through a burn, a verify, an
// erase and a detect, also with two busy processes on the machine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "core/detect.h"
#include "core/startup.h"
#include "operations/erase.h"
#include "operations/program.h"
#include "support/recorder.h"
#include "support/simboard.h"

namespace {

class ClockPhases : public ::testing::Test {
protected:
    void SetUp() override {
        sim::useSimulatedBoard();
        sim::useRealTime();
        sim::board().setChip(ZAVSIM_16F84);
        startup(s);
        setdevice(s, 2);
        s.portaddr = 0x278;
        // A tenth of the chip keeps the burn under a second of programming cycles.
        for (int i = 0; i < 64; ++i) s.progmem[i] = static_cast<int16_t>((i * 0x9E5 + 7) & 0x3FFF);
        for (int i = 0; i < 4; ++i) s.idmem[i] = static_cast<int16_t>(0x1230 + i);
        for (int i = 0; i < 8; ++i) s.datamem[i] = static_cast<int16_t>((i * 37 + 1) & 0xFF);
        s.configmem[0] = 0x3FF1;
        s.progused = 64;
        s.idused = 4;
        s.dataused = 8;
        s.configused = 1;
    }
    void TearDown() override { sim::useSimulatedBoard(); }

    void expectnofaults(const char* what) {
        EXPECT_EQ(sim::board().phaseFaults(), 0) << what;
        EXPECT_EQ(sim::board().timingFaults(), 0) << what;
    }
    void expectchipholdsimage() {
        auto& b = sim::board();
        for (int i = 0; i < 64; ++i) ASSERT_EQ(b.read(0, i), s.progmem[i]) << "program " << i;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(b.read(1, i), s.idmem[i]) << "ID " << i;
        EXPECT_EQ(b.read(2, 0), 0x3FF1);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(b.read(3, i), s.datamem[i]) << "data " << i;
    }

    State s;
    Recorder rec;
};

// Processes that keep a processor busy until killed (or for a minute at
// most, should the test die first).
class BusyProcesses {
public:
    explicit BusyProcesses(int n) {
        for (int i = 0; i < n; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                alarm(60);
                volatile unsigned long spins = 0;
                for (;;) spins = spins + 1;
            }
            if (child > 0) children_.push_back(child);
        }
    }
    ~BusyProcesses() {
        for (pid_t child : children_) kill(child, SIGKILL);
        for (pid_t child : children_) waitpid(child, nullptr, 0);
    }
    std::size_t count() const { return children_.size(); }

private:
    std::vector<pid_t> children_;
};

}  // namespace

TEST_F(ClockPhases, NoneUnderOneMicrosecondInBurnVerifyEraseAndDetect) {
    ASSERT_TRUE(program2(s, rec, modeprogram));
    expectnofaults("burn");
    ASSERT_TRUE(program2(s, rec, modeverify));
    expectnofaults("verify");
    rec.answers.push_back(Answer::Yes);
    ASSERT_TRUE(erasechip(s, rec));
    expectnofaults("erase");
    EXPECT_EQ(sim::board().read(0, 0), 0x3FFF);
    EXPECT_EQ(detecthardware(s), 1);
    expectnofaults("detect");
    // The chip saw every one of those clock edges in programming mode.
    int commands = 0;
    for (const auto& e : sim::chipEvents()) commands += e.kind == 0;
    EXPECT_GT(commands, 400);
}

TEST_F(ClockPhases, ABurnBesideTwoBusyProcessesStaysCorrect) {
    BusyProcesses busy(2);
    ASSERT_EQ(busy.count(), 2u);
    ASSERT_TRUE(program2(s, rec, modeprogram));
    expectchipholdsimage();
    expectnofaults("burn under load");
    ASSERT_TRUE(program2(s, rec, modeverify));
}
