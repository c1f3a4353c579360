// The headless runner as a user runs it: whole events on copies of the fixtures, exit
// statuses, Ctrl-C, and the scoring program's side played by another process (`tlw sql`)
// adding rounds while the run waits. Every database is checked with `tlw check` and read
// with mdbtools afterwards.
#include "harness.h"
#include "support/lines.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <tuple>

namespace simtest {
namespace {

using testsupport::expect_tlw_check_passes;
using testsupport::run_process;
using testsupport::split_lines;

long count_of(const std::vector<std::string>& all, const std::string& line) {
    return std::count(all.begin(), all.end(), line);
}

long mdb_records(const std::string& path) { return long(testsupport::mdb_export(path, "ReceivedData").size()); }

// Waits until a runner's output holds `line` `times` times; false when it ended first or after
// a minute.
bool wait_for(testsupport::ChildProcess& run, const std::string& line, long times) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < until) {
        const bool alive = run.running();
        if (count_of(split_lines(run.output()), line) >= times) return true;
        if (!alive) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

class Headless : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string club = dir.copy_fixture("scoring/club-evening.tlw");
    std::string members = dir.copy_fixture("scoring/TLPlayerDB.mdb");
};

// A second run on a copy whose path has a space, split across two arguments, draws the same
// results from the same seed.
TEST_F(Headless, WholeClubEveningRepeatableFromItsSeed) {
    const std::string spaced = dir.file("club evening.tlw");
    std::filesystem::copy_file(club, spaced);
    const auto r = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--seed", "7", "--exit-when-done",
                                "--members", members});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto out = split_lines(r.out);
    ASSERT_EQ(out.size(), 16u + 16u + 112u + 16u + 2u);
    EXPECT_EQ(out.front(), "Log on Section 1(A) - Table 1");
    EXPECT_EQ(out[16], "Player numbers Section 1(A) - Table 1");
    EXPECT_EQ(out[32], "Results for Round 1 - Section 1 - Table 1");
    EXPECT_EQ(out.back(), "Waiting for more rounds");
    EXPECT_EQ(r.err, "") << "no progress line when standard error is not a terminal";
    expect_tlw_check_passes(club);
    EXPECT_EQ(mdb_records(club), 336);

    const auto again = run_process({headless_path(), "--fast", "/f:[" + dir.path() + "/club", "evening.tlw]",
                                    "--seed", "7", "--exit-when-done", "--members", members});
    ASSERT_EQ(again.exit_code, 0) << again.err;
    const std::vector<std::string> drawn{"Declarer", "NS/EW", "Contract", "Result", "LeadCard"};
    EXPECT_EQ(rows(club, "ReceivedData", drawn), rows(spaced, "ReceivedData", drawn));
}

TEST_F(Headless, AutomaticShutdownExitsZero) {
    execute(club, "UPDATE Settings SET AutoShutdownTPC = True");
    const auto r = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--members", members});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(split_lines(r.out).back(), "All Done");
    expect_tlw_check_passes(club);
}

TEST_F(Headless, FailedRunExitsNonZeroWithNumberAndDescription) {
    const auto r = run_process({headless_path(), "/f:[" + dir.file("missing.tlw") + "]", "--fast"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err.rfind("3024: ", 0), 0u) << r.err;

    const auto m = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--members", dir.file("none.mdb")});
    EXPECT_EQ(m.exit_code, 1);
    EXPECT_NE(m.err.find("Cannot find the Tallimo database of members' names - "), std::string::npos) << m.err;
    expect_tlw_check_passes(club);
}

TEST_F(Headless, WrongArgumentsAreRefused) {
    EXPECT_EQ(run_process({headless_path(), "--fast"}).exit_code, 2) << "no database named";
    EXPECT_EQ(run_process({headless_path(), "/f:[" + club + "]", "--pace", "6"}).exit_code, 2);
    EXPECT_EQ(run_process({headless_path(), "/f:[" + club + "]", "--bogus"}).exit_code, 2);
    const auto help = run_process({headless_path(), "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("--exit-when-done"), std::string::npos);
    const auto version = run_process({headless_path(), "--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_NE(version.out.find("Tallimo Pro Simulator v1.14"), std::string::npos);
}

TEST_F(Headless, CtrlCStopsBetweenStepsLeavingAValidDatabase) {
    testsupport::ChildProcess run({headless_path(), "/f:[" + club + "]", "--pace", "0.1", "--members", members});
    ASSERT_TRUE(wait_for(run, "Results for Round 1 - Section 1 - Table 2", 1));
    EXPECT_EQ(run.interrupt(), 130);
    expect_tlw_check_passes(club);
    const long written = mdb_records(club);
    EXPECT_GE(written, 6);
    EXPECT_EQ(written % 3, 0) << "whole tables only: a step is never cut in half";
}

// A disk that fails once during a run: the statement it hit is refused, the run ends with
// "number: description" naming the file, and the file keeps every table's boards saved
// before it (a table's boards are one statement: all or none).
TEST_F(Headless, DiskFaultEndsTheRunKeepingWhatWasSaved) {
    const std::string file = dir.file("faulted.tlw");
    auto run_with = [&](const std::string& fault, long n) {
        std::filesystem::copy_file(club, file, std::filesystem::copy_options::overwrite_existing);
        return run_process({DISK_FAULT_RUN_PATH, fault, std::to_string(n), "/f:[" + file + "]", "--fast", "--seed", "7",
                            "--exit-when-done", "--members", members});
    };
    long changes = 0;
    const auto clean = run_with("none", 0);
    ASSERT_EQ(clean.exit_code, 0) << clean.err;
    ASSERT_EQ(std::sscanf(clean.err.c_str(), "changes %ld", &changes), 1) << clean.err;

    for (const auto& [fault, at, number] : std::vector<std::tuple<std::string, long, std::string>>{
             {"enospc", changes / 3, "3026: "}, {"eio", changes / 2, "3043: "}}) {
        SCOPED_TRACE(fault + " at " + std::to_string(at));
        const auto r = run_with(fault, at);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.err.rfind(number, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("faulted.tlw"), std::string::npos) << "the message names the file: " << r.err;
        expect_tlw_check_passes(file);
        const auto out = split_lines(r.out);
        const long tables = std::count_if(out.begin(), out.end(),
                                          [](const std::string& l) { return l.rfind("Results for Round", 0) == 0; });
        const long written = mdb_records(file);
        EXPECT_TRUE(written == 3 * tables || written == 3 * (tables - 1))
            << written << " records for " << tables << " tables begun";
    }
}

// The scoring program's side, played by `tlw sql` from another process: while the run waits
// it adds round 8 for section 1 and flags table 1; the run picks the round up and waits again.
TEST_F(Headless, RoundsAddedByAnotherProgramAreSimulated) {
    testsupport::ChildProcess run({headless_path(), "/f:[" + club + "]", "--fast", "--pace", "0.1", "--members", members});
    ASSERT_TRUE(wait_for(run, "Waiting for more rounds", 1));
    const auto sql = [&](const std::string& statement) {
        const auto r = run_process({TLW_PATH, "sql", club, statement});
        EXPECT_EQ(r.exit_code, 0) << statement << ": " << r.err;
    };
    for (int t = 1; t <= 8; ++t)
        sql("INSERT INTO RoundData (Section, Table, Round, NSPair, EWPair, LowBoard, HighBoard) VALUES (1, " +
            std::to_string(t) + ", 8, " + std::to_string(t) + ", " + std::to_string(t % 8 + 1) + ", 1, 3)");
    sql("UPDATE Tables SET UpdateFromRound = 8 WHERE Section = 1 AND Table = 1");
    ASSERT_TRUE(wait_for(run, "Waiting for more rounds", 2));
    const auto out = split_lines(run.output());
    EXPECT_EQ(count_of(out, "Log on Section 1(A) - Table 1"), 2);
    EXPECT_EQ(count_of(out, "Results for Round 8 - Section 1 - Table 5"), 1);
    EXPECT_EQ(run.interrupt(), 130);
    expect_tlw_check_passes(club);
    EXPECT_EQ(count(club, "SELECT * FROM ReceivedData WHERE Round = 8"), 24);
    EXPECT_EQ(count(club, "SELECT * FROM Tables WHERE UpdateFromRound <> 0"), 0);
}

}  // namespace
}  // namespace simtest
