// The tick and the run controls: what each phase's tick does to the timer, the pace list,
// Stop, and Generate used again during a run. Pause and Resume are run through the window's
// buttons in ui_tests.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

class RunControls : public ::testing::Test {
protected:
    void SetUp() override {
        auto shape = small_event();
        shape.member_numbers = false;
        event::build_event(db, shape);
    }
    ScratchDir dir;
    std::string db = dir.file("event.tlw");
};

TEST(PaceList, SecondsBecomeMillisecondsAndZeroBecomesOne) {
    TestHost host;
    sim::Simulator simulator(host);
    const std::vector<std::pair<double, int>> items{{0, 1}, {0.1, 100}, {0.5, 500}, {1, 1000}, {2, 2000}, {5, 5000}};
    for (const auto& [seconds, ms] : items) {
        simulator.cboWait_Click(seconds);
        EXPECT_EQ(simulator.PaceMs.value(), ms) << seconds;
    }
    EXPECT_EQ(host.interval, 0) << "choosing a pace leaves the timer alone";
    EXPECT_FALSE(host.enabled);
}

TEST_F(RunControls, NewPaceTakesEffectAtTheNextStep) {
    SimRun run(db, dir.path());
    run.generate();
    run.tick();  // Begin
    run.sim.cboWait_Click(0.5);
    EXPECT_EQ(run.host.interval, 1);
    run.tick();  // first log-on
    EXPECT_EQ(run.host.interval, 500);
}

TEST_F(RunControls, StopEndsTheProgramInAnyPhase) {
    SimRun run(db, dir.path());
    run.generate();
    run.run_until_waiting();
    ASSERT_EQ(run.sim.Phase, "UpdateFromRound");
    run.sim.cmdPause_Click();
    run.sim.cmdStop_Click();
    EXPECT_TRUE(run.host.ended);
    EXPECT_TRUE(run.sim.ended());
    const auto lines = run.host.log.size();
    run.sim.Timer1_Timer();
    run.sim.cmdGenerate_Click();
    EXPECT_EQ(run.host.log.size(), lines) << "nothing runs once the program has ended";
}

TEST_F(RunControls, PollingLeavesTheIntervalAlone) {
    SimRun run(db, dir.path());
    run.generate();
    run.run_until_waiting();
    run.sim.cboWait_Click(3);
    run.tick();
    EXPECT_EQ(run.host.interval, 1000);
    EXPECT_EQ(run.sim.Phase, "UpdateFromRound");
}

// A second Generate reloads and starts again at "Begin"; CurRound keeps the round reached.
TEST_F(RunControls, SecondGenerateStartsAgainFromBegin) {
    SimRun run(db, dir.path());
    run.generate();
    run.run_until_waiting();
    ASSERT_EQ(run.sim.CurRound, sim::Integer(3));
    run.generate();
    EXPECT_EQ(run.sim.Phase, "Begin");
    EXPECT_EQ(run.sim.CurRound, sim::Integer(3));
    EXPECT_EQ(run.sim.TableCount, sim::Integer(3));
    EXPECT_EQ(run.host.interval, 1);
    // No table is logged off before its results: the advance looks from StartRound on.
    const auto lines = run.lines_of([&] { run.run_until_waiting(); });
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], "Results for Round 1 - Section 1 - Table 1");
    EXPECT_EQ(count(db, "ReceivedData"), 24);
}

}  // namespace
}  // namespace simtest
