// Round results on movements as scoring programs prepare them: sit-outs, odd board ranges,
// rounds without play, the log-off of each table after its last playable round, and the end
// of the run. (Automatic shutdown is run through by the headless runner's test.)
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace simtest {
namespace {

using Lines = std::vector<std::string>;

class Results : public EventTest {
protected:
    void build_rounds(int rounds = 2, bool auto_shutdown = false) {
        auto shape = small_event();
        shape.movement.rounds = rounds;
        shape.member_numbers = false;
        shape.auto_shutdown = auto_shutdown;
        build(shape);
    }
    // Runs to the end and returns every log line.
    Lines run_all() {
        start().run_until_waiting();
        return run->host.log;
    }
    long records(const std::string& where) { return count(db, "SELECT * FROM ReceivedData WHERE " + where); }
};

bool has(const Lines& lines, const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

long position(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
}

TEST_F(Results, BoardRangesDecideTheRecords) {
    build_rounds();
    execute(db, "UPDATE RoundData SET LowBoard = 0 WHERE Round = 1 AND Table = 1");
    execute(db, "UPDATE RoundData SET LowBoard = 7, HighBoard = 7 WHERE Round = 1 AND Table = 2");
    execute(db, "UPDATE RoundData SET LowBoard = 9, HighBoard = 8 WHERE Round = 1 AND Table = 3");
    const Lines lines = run_all();
    EXPECT_TRUE(has(lines, "Results for Round 1 - Section 1 - Table 1")) << "a row without boards still logs";
    EXPECT_EQ(records("Round = 1 AND Table = 1"), 0);
    EXPECT_EQ(records("Round = 1 AND Table = 2 AND Board = 7"), 1);
    EXPECT_EQ(records("Round = 1 AND Table = 3"), 0);
    EXPECT_EQ(records("Round = 2"), 6);
}

// A table whose later rounds are all sit-outs has nothing left to play: it logs off after
// its last playable round, not never.
TEST_F(Results, TableLogsOffAfterItsLastPlayableRound) {
    build_rounds(3);
    execute(db, "UPDATE RoundData SET NSPair = 0 WHERE Table = 2 AND Round > 1");
    const Lines lines = run_all();
    const long results = position(lines, "Results for Round 1 - Section 1 - Table 2");
    ASSERT_LT(results + 1, static_cast<long>(lines.size()));
    EXPECT_EQ(lines[results + 1], "Log off Section 1 - Table 2");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Log off Section 1 - Table 2"), 1);
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE LogOnOff = 2"), 3);
    EXPECT_FALSE(has(lines, "Results for Round 2 - Section 1 - Table 2"));
}

TEST_F(Results, TableWithoutAnyPlayableRoundLogsOffBeforeTheResults) {
    build_rounds();
    execute(db, "UPDATE RoundData SET EWPair = -1 WHERE Table = 3");
    const Lines lines = run_all();
    EXPECT_EQ(position(lines, "Log off Section 1 - Table 3"), 3) << "right after the last log-on, same tick";
    EXPECT_EQ(records("Table = 3"), 0);
}

TEST_F(Results, RoundsWithoutPlayAreSkippedSilently) {
    build_rounds(3);
    for (int t = 1; t <= 3; ++t)
        execute(db, "INSERT INTO RoundData (Section, Table, Round, NSPair, EWPair, LowBoard, HighBoard) VALUES (1, " +
                        std::to_string(t) + ", 4, " + std::to_string(t) + ", " + std::to_string(t % 3 + 1) + ", 1, 2)");
    execute(db, "UPDATE RoundData SET NSPair = 0 WHERE Round = 2 OR Round = 3");
    start();
    for (int i = 0; i < 6; ++i) run->tick();  // Begin, 3 log-ons, round 1 tables 1 and 2
    EXPECT_EQ(run->lines_of([&] { run->tick(); }), Lines{"Results for Round 1 - Section 1 - Table 3"});
    EXPECT_EQ(run->sim.CurRound, sim::Integer(4)) << "rounds 2 and 3 skipped in the same tick";
    EXPECT_EQ(run->lines_of([&] { run->tick(); }),
              (Lines{"Results for Round 4 - Section 1 - Table 1", "Log off Section 1 - Table 1"}));
}

// The first round may have no playable row at all: the results go on with the next round
// that has one, instead of failing on a missing current row.
TEST_F(Results, FirstRoundWithoutPlayGoesOnToTheNext) {
    build_rounds();
    execute(db, "UPDATE RoundData SET NSPair = 0 WHERE Round = 1");
    start();
    for (int i = 0; i < 4; ++i) run->tick();
    ASSERT_EQ(run->sim.Phase, "Results");
    EXPECT_EQ(run->lines_of([&] { run->tick(); }), Lines{});
    EXPECT_EQ(run->sim.CurRound, sim::Integer(2));
    EXPECT_EQ(run->lines_of([&] { run->tick(); }),
              (Lines{"Results for Round 2 - Section 1 - Table 1", "Log off Section 1 - Table 1"}));
    EXPECT_TRUE(run->host.messages.empty());
}

TEST_F(Results, NoPlayableRoundAtAllEndsTheRun) {
    build_rounds();
    execute(db, "UPDATE RoundData SET NSPair = 0");
    const Lines lines = run_all();
    EXPECT_TRUE(run->host.messages.empty());
    EXPECT_EQ(lines.back(), "Waiting for more rounds");
    EXPECT_EQ(count(db, "ReceivedData"), 0);
}

TEST_F(Results, LastRoundRuleFollowsTableOneOfEachSection) {
    build_rounds(3);
    // Table 1 of the section stops after round 2: round 3 is never reached.
    execute(db, "UPDATE RoundData SET Table = 9 WHERE Table = 1 AND Round = 3");
    run_all();
    EXPECT_EQ(run->sim.MaxRound, sim::Integer(2));
    EXPECT_EQ(records("Round = 3"), 0);
}

}  // namespace
}  // namespace simtest
