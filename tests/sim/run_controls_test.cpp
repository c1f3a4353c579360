// The tick and the run controls: what each phase's tick does to the timer, the pace list,
// Stop, and Generate used again during a run. Pause and Resume are run through the window's
// buttons in ui_tests.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

class RunControls : public EventTest {
protected:
    void SetUp() override {
        auto shape = small_event();
        shape.member_numbers = false;
        build(shape);
    }
};

TEST(PaceList, SecondsBecomeMillisecondsAndZeroBecomesOne) {
    TestHost host;
    sim::Simulator simulator(host);
    for (const auto& [seconds, ms] : std::vector<std::pair<double, int>>{{0, 1}, {0.1, 100}, {0.5, 500}, {5, 5000}}) {
        simulator.cboWait_Click(seconds);
        EXPECT_EQ(simulator.PaceMs.value(), ms) << seconds;
    }
    EXPECT_EQ(host.interval, 0) << "choosing a pace leaves the timer alone";
    EXPECT_FALSE(host.enabled);
}

TEST_F(RunControls, NewPaceTakesEffectAtTheNextStepButNotWhilePolling) {
    SimRun& r = start();
    r.tick();  // Begin
    r.sim.cboWait_Click(0.5);
    EXPECT_EQ(r.host.interval, 1);
    r.tick();  // first log-on
    EXPECT_EQ(r.host.interval, 500);

    r.run_until_waiting();
    r.sim.cboWait_Click(3);
    r.tick();
    EXPECT_EQ(r.host.interval, 500) << "polling leaves the interval alone";
    EXPECT_EQ(r.sim.Phase, "UpdateFromRound");
}

TEST_F(RunControls, StopEndsTheProgramInAnyPhase) {
    SimRun& r = start();
    r.run_until_waiting();
    r.sim.cmdPause_Click();
    r.sim.cmdStop_Click();
    EXPECT_TRUE(r.host.ended);
    EXPECT_TRUE(r.sim.ended());
    const auto lines = r.host.log.size();
    r.sim.Timer1_Timer();
    r.sim.cmdGenerate_Click();
    EXPECT_EQ(r.host.log.size(), lines) << "nothing runs once the program has ended";
}

// A second Generate reloads and starts again at "Begin"; CurRound keeps the round reached.
TEST_F(RunControls, SecondGenerateStartsAgainFromBegin) {
    SimRun& r = start();
    r.run_until_waiting();
    ASSERT_EQ(r.sim.CurRound, sim::Integer(3));
    r.generate();
    EXPECT_EQ(r.sim.Phase, "Begin");
    EXPECT_EQ(r.sim.CurRound, sim::Integer(3));
    EXPECT_EQ(r.sim.TableCount, sim::Integer(3));
    EXPECT_EQ(r.host.interval, 1);
}

}  // namespace
}  // namespace simtest
