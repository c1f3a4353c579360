// Generate's loading on databases as scoring programs leave them: rows in the order stored,
// not sorted; repeated section ids; flags left over from an earlier evening.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

class Loading : public EventTest {
protected:
    void SetUp() override {
        auto shape = small_event();
        shape.member_numbers = false;
        shape.keys = false;  // rows in the order stored, repeated ids allowed
        build(shape);
    }
};

// The last round is that of table 1's last row as stored, even when an earlier row has a
// higher round.
TEST_F(Loading, LastRoundIsTheLastRowStoredNotTheHighest) {
    execute(db, "INSERT INTO RoundData (Section, Table, Round, NSPair, EWPair, LowBoard, HighBoard) "
                "VALUES (1, 1, 1, 1, 1, 1, 2)");
    SimRun& r = start();
    EXPECT_EQ(r.sim.Sections[1].LastRound, sim::Integer(1));
    EXPECT_EQ(r.sim.MaxRound, sim::Integer(1));
    r.run_until_waiting();
    EXPECT_EQ(count(db, "SELECT * FROM ReceivedData WHERE Round = 2"), 0);
}

TEST_F(Loading, LaterSectionWithTheSameIdGivesTheLetter) {
    execute(db, "INSERT INTO Section (ID, Letter, Tables) VALUES (1, 'Q', 3)");
    SimRun& r = start();
    EXPECT_EQ(r.sim.SectionCount, sim::Integer(2));
    r.tick();
    EXPECT_EQ(r.lines_of([&] { r.tick(); }), std::vector<std::string>{"Log on Section 1(Q) - Table 1"});
}

TEST_F(Loading, EveryTableTakesPartWhateverItsFlag) {
    execute(db, "UPDATE Tables SET UpdateFromRound = 4, LogOnOff = 2");
    SimRun& r = start();
    ASSERT_EQ(r.sim.TableCount, sim::Integer(3));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(r.sim.TableList[i].FromRound, sim::Integer(1));
    EXPECT_EQ(r.sim.StartRound, sim::Integer(1));
    EXPECT_EQ(r.sim.SeatCount, sim::Integer(12));
}

}  // namespace
}  // namespace simtest
