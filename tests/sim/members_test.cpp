// Player numbers from member-name databases as clubs keep them: lists that run out, quotes
// in names, national member numbers, missing names, and a missing member-name database.
#include "harness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace simtest {
namespace {

class Members : public EventTest {
protected:
    void SetUp() override {
        auto shape = small_event();
        shape.movement.tables = 2;
        shape.movement.rounds = 1;
        build(shape);
    }
    // Runs log-on and player numbers with the given member list.
    SimRun& run_seats(const std::vector<event::Member>& members) {
        event::build_member_list(dir.file("TLPlayerDB.mdb"), members);
        start();
        for (int i = 0; i < 5 && !run->host.ended; ++i) run->tick();
        return *run;
    }
    std::vector<std::vector<jet::Value>> seats() {
        return rows(db, "PlayerNumbers", {"Table", "Direction", "Number", "Name", "Processed"});
    }
};

TEST_F(Members, ListThatRunsOutLeavesTheLastSeatsEmpty) {
    std::vector<event::Member> six;
    for (int i = 1; i <= 6; ++i) six.push_back({i * 10, "Member " + std::to_string(i)});
    SimRun& r = run_seats(six);
    EXPECT_TRUE(r.host.messages.empty());
    EXPECT_EQ(r.sim.Phase, "Results");
    const auto s = seats();
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(jet::to_text(s[5][2]), "60");
    EXPECT_EQ(jet::to_text(s[5][3]), "Member 6");
    for (std::size_t i : {6u, 7u}) {
        EXPECT_EQ(jet::to_text(s[i][2]), "0");
        EXPECT_EQ(jet::to_text(s[i][3]), "");
        EXPECT_FALSE(jet::to_bool(s[i][4]));
    }
}

// A quote in a name is written doubled; no name can change what the statement does.
TEST_F(Members, QuotesInNamesAreStoredAsTheyStand) {
    const std::string hostile = "x', Processed = True WHERE 1=1 OR 'a'='a";
    SimRun& r = run_seats({{1, "O'Brien"}, {2, hostile}, {3, "''"}, {4, "a\"b"}});
    ASSERT_TRUE(r.host.messages.empty()) << r.host.messages.front();
    const auto s = seats();
    EXPECT_EQ(jet::to_text(s[0][3]), "O'Brien");
    EXPECT_EQ(jet::to_text(s[1][3]), hostile);
    EXPECT_EQ(jet::to_text(s[2][3]), "''");
    EXPECT_EQ(jet::to_text(s[3][3]), "a\"b");
    EXPECT_EQ(count(db, "SELECT * FROM PlayerNumbers WHERE Processed = True"), 0);
    EXPECT_EQ(count(db, "SELECT * FROM PlayerNumbers WHERE Name = 'x'"), 0);
}

// National member numbers are often above 32767; a Null name is no name.
TEST_F(Members, LargeNumbersAndMissingNamesAreOrdinary) {
    SimRun& r = run_seats({{70000, "Big"}, {2147483647, std::nullopt}});
    ASSERT_TRUE(r.host.messages.empty()) << r.host.messages.front();
    const auto s = seats();
    EXPECT_EQ(jet::to_text(s[0][2]), "70000");
    EXPECT_EQ(jet::to_text(s[1][2]), "2147483647");
    EXPECT_EQ(jet::to_text(s[1][3]), "");
}

// A number beyond 32 bits, or none, ends the run; the seat written before the error stays.
TEST_F(Members, NumberThatCannotBeStoredEndsTheRun) {
    for (const auto& [bad, message] : {std::pair{event::Member{3e9, "Too big"}, "6: Overflow"},
                                       std::pair{event::Member{std::nullopt, "Nobody"}, "94: Invalid use of Null"}}) {
        SCOPED_TRACE(message);
        run.reset();   // closes the member list before it is replaced
        std::filesystem::remove(dir.file("TLPlayerDB.mdb"));
        SimRun& r = run_seats({{1, "One"}, bad});
        ASSERT_EQ(r.host.messages.size(), 1u);
        EXPECT_EQ(r.host.messages[0], message);
        EXPECT_TRUE(r.host.ended);
        EXPECT_EQ(count(db, "SELECT * FROM PlayerNumbers WHERE Name = 'One' AND Direction = 'N'"), 1);
    }
}

TEST_F(Members, MissingMemberDatabaseIsNamedAndEndsTheProgram) {
    SimRun& r = start();
    for (int i = 0; i < 3; ++i) r.tick();
    ASSERT_EQ(r.host.messages.size(), 1u);
    EXPECT_EQ(r.host.messages[0],
              "Cannot find the Tallimo database of members' names - \r\n" + dir.path() + "/TLPlayerDB.mdb");
    EXPECT_NE(r.host.details[0].find("/nonexistent/tallimo/TLPlayerDB.mdb"), std::string::npos) << r.host.details[0];
    EXPECT_TRUE(r.host.ended);
    EXPECT_FALSE(r.host.enabled);
    EXPECT_EQ(count(db, "SELECT * FROM Tables WHERE LogOnOff = 1"), 2) << "the log-ons stay";
}

TEST(MemberDatabaseFolder, BesideTheProgramFirstThenTheEventThenTheDataFolders) {
    TestHost host;
    sim::Simulator simulator(host);
    host.folder = "C:\\VB98\\Sim";
    EXPECT_EQ(simulator.member_database_paths().front(), "C:\\Tallimo Simulator\\TLPlayerDB.mdb");
    host.folder = "c:\\vb98\\Sim";
    EXPECT_EQ(simulator.member_database_paths().front(), "c:\\vb98\\Sim\\TLPlayerDB.mdb");

    host.folder = "/usr/bin";
    simulator.DatabasePath = "/srv/club/evening.tlw";
    host.environment = {{"HOME", "/home/td"}, {"XDG_DATA_DIRS", "/opt/share::/usr/share"}};
    EXPECT_EQ(simulator.member_database_paths(),
              (std::vector<std::string>{"/usr/bin/TLPlayerDB.mdb", "/srv/club/TLPlayerDB.mdb",
                                        "/home/td/.local/share/tallimo/TLPlayerDB.mdb",
                                        "/opt/share/tallimo/TLPlayerDB.mdb", "/usr/share/tallimo/TLPlayerDB.mdb"}));
    host.environment = {{"XDG_DATA_HOME", "/data"}};
    EXPECT_EQ(simulator.member_database_paths().at(2), "/data/tallimo/TLPlayerDB.mdb");
    EXPECT_EQ(simulator.member_database_paths().back(), "/usr/share/tallimo/TLPlayerDB.mdb");

    simulator.MemberDatabaseOverride = "/data/members.mdb";
    EXPECT_EQ(simulator.member_database_paths(), std::vector<std::string>{"/data/members.mdb"});
}

TEST_F(Members, FoundBesideTheScoringDatabaseWhenNotBesideTheProgram) {
    event::build_member_list(dir.file("TLPlayerDB.mdb"), {{1, "Ann"}});
    SimRun r(db, dir.path() + "/bin");
    r.generate();
    for (int i = 0; i < 4; ++i) r.tick();
    EXPECT_TRUE(r.host.messages.empty()) << r.host.messages.front();
    EXPECT_FALSE(r.host.ended);
}

}  // namespace
}  // namespace simtest
