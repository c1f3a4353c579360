// How a run ends on bad input: the program's own messages, engine and conversion errors shown
// as "number: description", and everything written before the error left in the database.
// Also inputs that look odd but are valid: no tables, no seats, no settings.
#include "harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>

namespace simtest {
namespace {

class Errors : public EventTest {
protected:
    void expect_ended_with(const std::string& message) {
        ASSERT_EQ(run->host.messages.size(), 1u);
        EXPECT_EQ(run->host.messages[0], message);
        EXPECT_TRUE(run->host.ended);
        EXPECT_FALSE(run->host.enabled) << "no tick may follow";
    }
};

// Whatever fails inside a step ends the run with a numbered message, never an abort.
TEST_F(Errors, FailuresBeyondTheEnginesAreNumberedToo) {
    build();
    for (const auto& [failure, message] :
         std::vector<std::pair<std::function<void()>, std::string>>{
             {[] { throw std::length_error("list too long"); }, "51: Internal error (list too long)"},
             {[] { throw std::bad_alloc(); }, "7: Out of memory"}}) {
        start().tick();
        run->host.before_log = failure;
        run->tick();
        expect_ended_with(message);
    }
}

TEST_F(Errors, TableOfAnUnknownSectionIsNamed) {
    auto shape = small_event();
    shape.member_numbers = false;
    build(shape);
    execute(db, "INSERT INTO Tables (Section, Table, LogOnOff, UpdateFromRound) VALUES (9, 1, 0, 0)");
    SimRun& r = start();
    for (int i = 0; i < 5 && !r.host.ended; ++i) r.tick();
    expect_ended_with("Table Tables Section 9 not found in Section table");
    EXPECT_EQ(r.host.log.size(), 3u) << "nothing is logged for that table";
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE LogOnOff = 1"), 3) << "the log-ons before it stay";
}

TEST_F(Errors, SeatOfAnUnknownSectionIsNamed) {
    build();
    dir.copy_fixture("scoring/TLPlayerDB.mdb");
    execute(db, "INSERT INTO PlayerNumbers (Section, Table, Direction, Processed) VALUES (7, 1, 'N', False)");
    SimRun& r = start();
    for (int i = 0; i < 10 && !r.host.ended; ++i) r.tick();
    expect_ended_with("Table PlayerNumbers section 7 not found in Section table");
    EXPECT_EQ(count(db, "SELECT * FROM PlayerNumbers WHERE Name <> ''"), 12);
}

// A board number the runtime cannot take ends the run; the records before it stay, those of
// the failing table's earlier boards too.
TEST_F(Errors, BadBoardNumberStopsTheRunKeepingEarlierRecords) {
    struct Case {
        const char* change;
        const char* message;
        long records;
        const char* last_line;
    };
    const Case cases[] = {
        {"HighBoard = Null WHERE Round = 2 AND Table = 2", "94: Invalid use of Null", 8,
         "Results for Round 2 - Section 1 - Table 2"},
        {"LowBoard = 40000 WHERE Round = 1 AND Table = 3", "6: Overflow", 4, "Results for Round 1 - Section 1 - Table 3"},
        // The board counter overflows after the table's last board: both its boards stay.
        {"LowBoard = 32766, HighBoard = 32767 WHERE Round = 1 AND Table = 3", "6: Overflow", 6,
         "Results for Round 1 - Section 1 - Table 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        std::filesystem::remove(db);
        auto shape = small_event();
        shape.member_numbers = false;
        build(shape);
        execute(db, std::string("UPDATE RoundData SET ") + c.change);
        SimRun& r = start();
        r.run_until_waiting();
        expect_ended_with(c.message);
        EXPECT_EQ(count(db, "ReceivedData"), c.records);
        EXPECT_EQ(r.host.log.back(), c.last_line);
    }
}

TEST_F(Errors, TwentySixSectionsLoadATwentySeventhIsOutOfRange) {
    auto shape = small_event();
    shape.sections = 26;
    shape.movement.tables = 1;
    shape.movement.rounds = 1;
    shape.member_numbers = false;
    build(shape);
    SimRun& r = start();
    EXPECT_TRUE(r.host.messages.empty());
    r.run_until_waiting();
    EXPECT_EQ(r.host.log[25], "Log on Section 26(Z) - Table 1");
    EXPECT_EQ(count(db, "ReceivedData"), 26 * 2);

    execute(db, "INSERT INTO Section (ID, Letter, Tables) VALUES (27, '?', 1)");
    start();
    expect_ended_with("9: Subscript out of range");
}

// No tables and no seats is a valid database: each phase ends at once.
TEST_F(Errors, EventWithoutTablesOrSeatsRunsThrough) {
    auto shape = small_event();
    shape.movement.tables = 0;
    event::write_event(db, shape, {});
    dir.copy_fixture("scoring/TLPlayerDB.mdb");
    SimRun& r = start();
    r.tick();
    r.tick();
    EXPECT_EQ(r.sim.Phase, "PlayerNumbers");
    r.tick();
    EXPECT_EQ(r.sim.Phase, "Results");
    r.tick();
    EXPECT_TRUE(r.host.messages.empty());
    EXPECT_EQ(r.host.log, (std::vector<std::string>{"All Done", "Waiting for more rounds"}));
}

// Without a Settings table: member numbers, no shutdown.
TEST_F(Errors, SettingsTableMayBeMissing) {
    auto shape = small_event();
    shape.settings_table = false;
    build(shape);
    SimRun& r = start();
    EXPECT_TRUE(r.host.messages.empty());
    EXPECT_TRUE(r.sim.UseMemberNumbers);
    EXPECT_FALSE(r.sim.AutoShutdown);
}

}  // namespace
}  // namespace simtest
