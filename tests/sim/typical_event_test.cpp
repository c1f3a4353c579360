// The typical event end to end on a database our engine built (one section of three
// tables, two rounds of two boards, member numbers on) with the member-name fixture: the
// tick on which each line, each LogOnOff value, each seat and each result appears.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

using Lines = std::vector<std::string>;

class TypicalEvent : public EventTest {
protected:
    void SetUp() override {
        build();
        dir.copy_fixture("scoring/TLPlayerDB.mdb");
    }
    std::vector<long> log_on_off() {
        std::vector<long> out;
        for (const auto& r : rows(db, "Tables", {"LogOnOff"})) out.push_back(jet::to_long(r[0]));
        return out;
    }
};

TEST_F(TypicalEvent, EveryTickDoesItsOneStep) {
    SimRun& r = start();
    const auto step = [&] { return r.lines_of([&] { r.tick(); }); };
    EXPECT_EQ(r.sim.Phase, "Begin");
    EXPECT_TRUE(r.host.enabled);
    EXPECT_EQ(r.host.interval, 1);
    EXPECT_TRUE(r.host.pause_visible);
    EXPECT_TRUE(r.host.resume_moved);
    EXPECT_TRUE(r.host.log.empty());

    EXPECT_EQ(step(), Lines{});
    EXPECT_EQ(r.sim.Phase, "Tables");
    EXPECT_EQ(r.host.interval, 1) << "the first log-on follows at once";

    EXPECT_EQ(step(), Lines{"Log on Section 1(A) - Table 1"});
    EXPECT_EQ(log_on_off(), (std::vector<long>{1, 0, 0}));
    EXPECT_EQ(r.host.interval, 1000);
    EXPECT_EQ(step(), Lines{"Log on Section 1(A) - Table 2"});
    EXPECT_EQ(step(), Lines{"Log on Section 1(A) - Table 3"});
    EXPECT_EQ(log_on_off(), (std::vector<long>{1, 1, 1}));
    EXPECT_EQ(r.sim.Phase, "PlayerNumbers");
    EXPECT_TRUE(r.sim.MemberNames.has_value());

    EXPECT_EQ(step(), Lines{"Player numbers Section 1(A) - Table 1"});
    EXPECT_EQ(count(db, "SELECT * FROM PlayerNumbers WHERE Processed = False AND Name <> ''"), 4);
    EXPECT_EQ(step(), Lines{"Player numbers Section 1(A) - Table 2"});
    EXPECT_EQ(step(), Lines{"Player numbers Section 1(A) - Table 3"});
    EXPECT_EQ(r.sim.Phase, "Results") << "the last seats start the round advance";
    EXPECT_EQ(r.sim.CurRound, sim::Integer(1));

    EXPECT_EQ(step(), Lines{"Results for Round 1 - Section 1 - Table 1"});
    EXPECT_EQ(count(db, "ReceivedData"), 2);
    EXPECT_EQ(step(), Lines{"Results for Round 1 - Section 1 - Table 2"});
    EXPECT_EQ(step(), Lines{"Results for Round 1 - Section 1 - Table 3"});
    EXPECT_EQ(r.sim.CurRound, sim::Integer(2));

    EXPECT_EQ(step(), (Lines{"Results for Round 2 - Section 1 - Table 1", "Log off Section 1 - Table 1"}));
    EXPECT_EQ(log_on_off(), (std::vector<long>{2, 1, 1}));
    EXPECT_EQ(step(), (Lines{"Results for Round 2 - Section 1 - Table 2", "Log off Section 1 - Table 2"}));
    EXPECT_EQ(step(), (Lines{"Results for Round 2 - Section 1 - Table 3", "Log off Section 1 - Table 3", "All Done",
                             "Waiting for more rounds"}));
    EXPECT_EQ(log_on_off(), (std::vector<long>{2, 2, 2}));
    EXPECT_EQ(r.sim.Phase, "UpdateFromRound");
    EXPECT_EQ(r.sim.CurRound, sim::Integer(3));
    EXPECT_EQ(count(db, "ReceivedData"), 12);
    EXPECT_TRUE(r.host.messages.empty());
    EXPECT_FALSE(r.host.ended);
}

TEST_F(TypicalEvent, SeatsGetTheFixturesMembersAndTheClock) {
    SimRun& r = start();
    for (int i = 0; i < 7; ++i) r.tick();
    ASSERT_EQ(r.sim.Phase, "Results");
    // The fixture's second member: 79884 does not fit 16 bits.
    const auto seats = rows(db, "SELECT * FROM PlayerNumbers WHERE Table = 1", {"Number", "Name", "TimeLog"});
    ASSERT_EQ(seats.size(), 4u);
    EXPECT_EQ(jet::to_text(seats[1][0]), "79884");
    EXPECT_EQ(jet::to_text(seats[1][1]), "Hélène Lefèvre");
    EXPECT_EQ(jet::to_text(seats[1][2]), "2026-12-06 19:30:15");
}

TEST_F(TypicalEvent, ResultRecordsCarryTheTableRoundBoardPairsAndClock) {
    start().run_until_waiting();
    const auto records = rows(db, "ReceivedData",
                              {"Section", "Table", "Round", "Board", "PairNS", "PairEW", "Declarer", "NS/EW",
                               "Contract", "Result", "LeadCard", "Remarks", "DateLog", "TimeLog", "Processed",
                               "Processed1", "Processed2", "Processed3", "Processed4", "Erased"});
    ASSERT_EQ(records.size(), 12u);
    // Round 1: table t plays boards 2t-1 and 2t against pair t; round 2 moves EW up a table
    // and the boards down.
    const std::vector<std::array<long, 6>> expected{
        {1, 1, 1, 1, 1, 1}, {1, 1, 1, 2, 1, 1}, {1, 2, 1, 3, 2, 2}, {1, 2, 1, 4, 2, 2},
        {1, 3, 1, 5, 3, 3}, {1, 3, 1, 6, 3, 3}, {1, 1, 2, 3, 1, 3}, {1, 1, 2, 4, 1, 3},
        {1, 2, 2, 5, 2, 1}, {1, 2, 2, 6, 2, 1}, {1, 3, 2, 1, 3, 2}, {1, 3, 2, 2, 3, 2}};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(jet::to_long(r[k]), expected[i][k]) << "record " << i;
        const std::string seat = jet::to_text(r[7]);
        const bool north_south = seat == "N" || seat == "S";
        EXPECT_EQ(jet::to_long(r[6]), north_south ? expected[i][4] : expected[i][5]) << "declarer of record " << i;
        const bool passed = jet::to_text(r[8]) == "PASS";
        EXPECT_EQ(jet::to_text(r[9]).empty(), passed);
        EXPECT_EQ(jet::to_text(r[10]).empty(), passed);
        EXPECT_EQ(jet::to_text(r[11]), "");
        EXPECT_EQ(jet::to_text(r[12]), "2026-12-06");
        EXPECT_EQ(jet::to_text(r[13]), "19:30:15");
        EXPECT_LT(r[13].as_date().days, 1.0) << "time of day without a date";
        for (std::size_t k = 14; k < 20; ++k) EXPECT_FALSE(jet::to_bool(r[k]));
    }
}

}  // namespace
}  // namespace simtest
