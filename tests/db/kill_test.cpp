// Crash safety: a writer appending records and updating others is killed (SIGKILL) at random
// moments, many times over. After every kill mdbtools must read the file as the kill left it,
// and after our next open (which undoes an unfinished write) `tlw check`, mdbtools and our
// reader must agree and hold every record the writer reported saved and its last reported
// update (at most the operation in flight may be missing).
// TALLIMO_KILL_TRIALS sets the number of kills (200 by default), TALLIMO_KILL_SEED the seed.
#include "db/database.h"
#include "jet/page_io.h"
#include "support/child_process.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace {

using namespace testsupport;

long from_env(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v ? std::atol(v) : fallback;
}

constexpr int TrialsPerCopy = 40;  // then a fresh copy, so both young and grown files get killed
constexpr long RecordsPerWrite = 8;  // kill_writer mixed stores its records in writes of 8

TEST(KilledWriter, EveryKillLeavesAValidFileHoldingEverySavedRecord) {
    const long trials = from_env("TALLIMO_KILL_TRIALS", 200);
    const auto seed = static_cast<std::uint32_t>(from_env("TALLIMO_KILL_SEED", std::random_device{}()));
    RecordProperty("seed", std::to_string(seed));
    SCOPED_TRACE("TALLIMO_KILL_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    // Commits take microseconds: a pause inside each of the writer's (after its first store)
    // makes most kills land in the middle of one, where the journal must put the file back.
    struct PausedCommits {
        PausedCommits() { ::setenv("TALLIMO_TEST_COMMIT_PAUSE_US", "300", 1); }
        ~PausedCommits() { ::unsetenv("TALLIMO_TEST_COMMIT_PAUSE_US"); }
    } paused_commits;
    std::uniform_int_distribution<int> delay_us(200, 10000);

    const auto dir = fresh_dir("kill");
    std::string file;
    std::set<long> saved;                // Board numbers reported saved on this copy
    std::map<long, long> status;         // table -> Status last reported set
    long in_flight_allowance = 0;        // one unreported write of records per kill may have landed
    long interrupted_writes = 0;         // kills that landed inside a write
    std::set<long> saved_seen_raw;
    for (long trial = 0; trial < trials; ++trial) {
        if (trial % TrialsPerCopy == 0) {
            file = copy_fixture("scoring/club-evening.tlw", dir).string();
            std::filesystem::remove(dir / "club-evening.ldb");
            saved.clear();
            status.clear();
            in_flight_allowance = 0;
        }
        const long first = (trial + 1) * 100000;  // each trial its own range of Board numbers
        const int delay = delay_us(random);
        {
            ChildProcess writer({KILL_WRITER_PATH, "mixed", file, std::to_string(first)});
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            writer.kill_now();
            const int code = writer.wait();
            ASSERT_EQ(code, -9) << "the writer ended on its own before the kill (trial " << trial << ")";
            std::istringstream out(writer.output());
            std::string word;
            for (std::string line; std::getline(out, line);) {
                std::istringstream fields(line);
                long a = 0, b = 0;
                fields >> word >> a;
                if (word == "saved") saved.insert(a);
                if (word == "status" && fields >> b) status[a] = b;
            }
        }
        in_flight_allowance += RecordsPerWrite;
        const std::string when = "after kill " + std::to_string(trial) + " at " + std::to_string(delay) + " us";
        if (jet::Journal::has_unfinished_write(file)) ++interrupted_writes;

        // mdbtools first, on the file exactly as the kill left it (before any open of ours
        // undoes an unfinished write): it must read it and hold every saved record.
        for (const auto& row : mdb_export(file, "ReceivedData"))
            saved_seen_raw.insert(std::stol(row.at("Board")));
        for (long n : saved) ASSERT_TRUE(saved_seen_raw.count(n)) << when << ": mdbtools misses saved record " << n;
        saved_seen_raw.clear();

        const ProcessResult check = tlw_check(file);
        ASSERT_EQ(check.exit_code, 0) << when << "\n" << check.out << check.err;

        std::set<long> exported;
        for (const auto& row : mdb_export(file, "ReceivedData")) exported.insert(std::stol(row.at("Board")));
        for (long n : saved) ASSERT_TRUE(exported.count(n)) << when << ": mdbtools misses saved record " << n;

        db::Database database = db::Database::open(file);
        std::set<long> ours;
        long rows = 0;
        for (auto rs = database.open_recordset("ReceivedData"); !rs.at_end(); rs.move_next(), ++rows)
            ours.insert(jet::to_long(rs.field("Board")));
        ASSERT_EQ(ours.size(), static_cast<std::size_t>(rows)) << when << ": a record appears twice";
        ASSERT_EQ(ours, exported) << when << ": our reader and mdbtools disagree";
        for (long n : saved) ASSERT_TRUE(ours.count(n)) << when << ": saved record " << n << " is missing";
        ASSERT_LE(ours.size(), saved.size() + static_cast<std::size_t>(in_flight_allowance))
            << when << ": records appeared that were never written";
        for (auto rs = database.open_recordset("SELECT * FROM Tables WHERE Section = 1"); !rs.at_end();
             rs.move_next()) {
            const long table = jet::to_long(rs.field("Table"));
            if (!status.count(table)) continue;
            ASSERT_GE(jet::to_long(rs.field("Status")), status[table]) << when << ": update of table " << table
                                                                       << " lost";
        }
        database.close();
    }
    RecordProperty("interrupted_writes", std::to_string(interrupted_writes));
    // The test only means something if kills land inside writes, not just between them.
    if (trials >= 50) { EXPECT_GT(interrupted_writes, trials / 4) << "kills rarely landed inside a write"; }
}

}  // namespace
