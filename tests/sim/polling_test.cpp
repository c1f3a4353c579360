// Waiting for added rounds: which flags count, the round the run starts again from, the
// flags cleared, and no player numbers the second time. (Rounds added beyond the old last
// round are played by the headless runner's test.)
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace simtest {
namespace {

using Lines = std::vector<std::string>;

class Polling : public EventTest {
protected:
    void SetUp() override {
        build();
        dir.copy_fixture("scoring/TLPlayerDB.mdb");
        start().run_until_waiting();
        ASSERT_EQ(run->sim.Phase, "UpdateFromRound");
    }
    void flag(int table, const std::string& value) {
        execute(db, "UPDATE Tables SET UpdateFromRound = " + value + " WHERE Table = " + std::to_string(table));
    }
};

// A Null flag is no flag either, and no error.
TEST_F(Polling, UnflaggedTablesLeaveEverythingAsItWas) {
    flag(1, "Null");
    flag(2, "900");
    flag(3, "-4");
    const auto lines = run->lines_of([&] {
        run->tick();
        run->tick();
    });
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(run->host.messages.empty());
    EXPECT_EQ(run->sim.Phase, "UpdateFromRound");
    EXPECT_EQ(run->sim.TableCount, sim::Integer(0));
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE UpdateFromRound = 900"), 1) << "nothing is cleared";
}

TEST_F(Polling, FlagsOneAndEightHundredNinetyNineAreTaken) {
    flag(1, "899");
    flag(3, "1");
    flag(2, "900");
    run->tick();
    EXPECT_EQ(run->sim.Phase, "Begin");
    ASSERT_EQ(run->sim.TableCount, sim::Integer(2));
    EXPECT_EQ(run->sim.TableList[1].Table, sim::Integer(1));
    EXPECT_EQ(run->sim.TableList[1].FromRound, sim::Integer(899));
    EXPECT_EQ(run->sim.TableList[2].Table, sim::Integer(3));
    EXPECT_EQ(run->sim.StartRound, sim::Integer(1)) << "the smaller round, not the first table's";
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE UpdateFromRound = 0"), 3) << "every flag cleared, 900 too";
    EXPECT_FALSE(run->sim.UseMemberNumbers);
}

// After an update the round advance looks from StartRound on, not past the round the
// earlier pass reached: a flagged table with rounds left is not logged off before them.
TEST_F(Polling, RoundsAgainFromTheFlaggedRoundWithoutPlayerNumbers) {
    flag(2, "2");
    const auto before = count(db, "ReceivedData");
    const auto lines = run->lines_of([&] {
        run->tick();  // the poll
        run->run_until_waiting();
    });
    const Lines expected{"Log on Section 1(A) - Table 2",
                         "Results for Round 2 - Section 1 - Table 1",
                         "Log off Section 1 - Table 1",
                         "Results for Round 2 - Section 1 - Table 2",
                         "Log off Section 1 - Table 2",
                         "Results for Round 2 - Section 1 - Table 3",
                         "Log off Section 1 - Table 3",
                         "All Done",
                         "Waiting for more rounds"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(count(db, "ReceivedData"), before + 6) << "round 2 of every table that plays it";
}

// The scoring program may flag a table while a poll reads the flags: its write waits for the
// clearing and so survives for the next poll, instead of being cleared untaken.
TEST_F(Polling, FlagWrittenDuringThePollWaitsForTheClearing) {
    auto poller = db::Database::open(db);
    std::atomic<bool> written{false};
    std::thread scoring_program;
    poller.execute_if(
        [&] {
            scoring_program = std::thread([&] {
                auto other = db::Database::open(db);
                other.execute("UPDATE Tables SET UpdateFromRound = 5 WHERE Table = 2");
                written = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_FALSE(written) << "the other writer waits while the flags are read";
            return true;
        },
        "UPDATE Tables SET UpdateFromRound = 0");
    scoring_program.join();
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE UpdateFromRound = 5"), 1);
    run->tick();
    EXPECT_EQ(run->sim.Phase, "Begin");
    EXPECT_EQ(run->sim.StartRound, sim::Integer(5));
}

}  // namespace
}  // namespace simtest
