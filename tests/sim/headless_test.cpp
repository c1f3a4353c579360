// The headless runner as a user runs it: whole events on copies of the fixtures, exit
// statuses, Ctrl-C, and the scoring program's side played by another process (`tlw sql`)
// adding rounds while the run waits. Every database is checked with `tlw check` and read
// with mdbtools afterwards.
#include "harness.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace simtest {
namespace {

using testsupport::run_process;

std::string headless_path() { return (std::filesystem::path(TLW_PATH).parent_path() / "tallimo-sim-headless").string(); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

long count_of(const std::vector<std::string>& all, const std::string& line) {
    return std::count(all.begin(), all.end(), line);
}

// mdbtools' count of a table's records: an independent reader of what we wrote.
long mdb_records(const std::string& path, const std::string& table) {
    const auto r = run_process({"mdb-export", path, table});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return static_cast<long>(lines(r.out).size()) - 1;
}

void expect_check_passes(const std::string& path) {
    const auto r = run_process({TLW_PATH, "check", path});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
}

// A runner in the background with its output in a file, so that the test can read what it
// reported so far and interrupt it as Ctrl-C would.
class Background {
public:
    Background(const std::vector<std::string>& argv, const std::string& output) : output_(output) {
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::vector<std::string> output() const {
        std::ifstream in(output_);
        std::stringstream s;
        s << in.rdbuf();
        return lines(s.str());
    }
    // Waits until the output holds `line` `times` times; false when the runner ended first or
    // after the deadline.
    bool wait_for(const std::string& line, long times, std::chrono::seconds deadline = std::chrono::seconds(60)) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        while (std::chrono::steady_clock::now() < until) {
            if (count_of(output(), line) >= times) return true;
            if (!reaped_ && waitpid(pid_, nullptr, WNOHANG) == pid_) reaped_ = true;
            if (reaped_) return count_of(output(), line) >= times;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    int interrupt() {
        if (reaped_) return -1;
        kill(pid_, SIGINT);
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

private:
    std::string output_;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

class Headless : public ::testing::Test {
protected:
    ScratchDir dir;
    std::string club = dir.copy_fixture("scoring/club-evening.tlw");
    std::string members = dir.copy_fixture("scoring/TLPlayerDB.mdb");
};

TEST_F(Headless, WholeClubEveningThenTheFileChecksAndReads) {
    const auto r = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--seed", "7", "--exit-when-done",
                                "--members", members});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), "Log on Section 1(A) - Table 1");
    EXPECT_EQ(out[16], "Player numbers Section 1(A) - Table 1");
    EXPECT_EQ(out[32], "Results for Round 1 - Section 1 - Table 1");
    EXPECT_EQ(out.back(), "Waiting for more rounds");
    EXPECT_EQ(out.size(), 16u + 16u + 112u + 16u + 2u);
    EXPECT_EQ(r.err, "") << "no progress line when standard error is not a terminal";
    expect_check_passes(club);
    EXPECT_EQ(mdb_records(club, "ReceivedData"), 336);
}

TEST_F(Headless, SeedMakesRunsRepeatable) {
    const std::string second = dir.file("second.tlw");
    std::filesystem::copy_file(club, second);
    auto results = [&](const std::string& path) {
        const auto r = run_process({headless_path(), "/f:[" + path + "]", "--fast", "--seed", "99", "--exit-when-done",
                                    "--members", members});
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return rows(path, "ReceivedData", {"Declarer", "NS/EW", "Contract", "Result", "LeadCard"});
    };
    EXPECT_EQ(results(club), results(second));
}

TEST_F(Headless, PathWithSpacesAcrossArguments) {
    const std::string spaced = dir.file("club evening.tlw");
    std::filesystem::rename(club, spaced);
    const auto r = run_process({headless_path(), "--fast", "/f:[" + dir.path() + "/club", "evening.tlw]",
                                "--exit-when-done", "--members", members});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(mdb_records(spaced, "ReceivedData"), 336);
}

TEST_F(Headless, AutomaticShutdownExitsZero) {
    execute(club, "UPDATE Settings SET AutoShutdownTPC = True");
    const auto r = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--members", members});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(lines(r.out).back(), "All Done");
    expect_check_passes(club);
}

TEST_F(Headless, FailedRunExitsNonZeroWithNumberAndDescription) {
    const auto r = run_process({headless_path(), "/f:[" + dir.file("missing.tlw") + "]", "--fast"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err.rfind("3024: ", 0), 0u) << r.err;

    const auto m = run_process({headless_path(), "/f:[" + club + "]", "--fast", "--members", dir.file("none.mdb")});
    EXPECT_EQ(m.exit_code, 1);
    EXPECT_NE(m.err.find("Cannot find the Tallimo database of members' names - "), std::string::npos) << m.err;
    expect_check_passes(club);
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
    Background run({headless_path(), "/f:[" + club + "]", "--pace", "0.1", "--members", members}, dir.file("out.txt"));
    ASSERT_TRUE(run.wait_for("Results for Round 1 - Section 1 - Table 2", 1));
    EXPECT_EQ(run.interrupt(), 130);
    expect_check_passes(club);
    const long written = mdb_records(club, "ReceivedData");
    EXPECT_GE(written, 6);
    EXPECT_EQ(written % 3, 0) << "whole tables only: a step is never cut in half";
}

// The scoring program's side, played by `tlw sql` from another process: while the run waits
// it adds round 8 for section 1 and flags table 1; the run picks the round up and waits again.
TEST_F(Headless, RoundsAddedByAnotherProgramAreSimulated) {
    Background run({headless_path(), "/f:[" + club + "]", "--fast", "--pace", "0.1", "--members", members},
                   dir.file("out.txt"));
    ASSERT_TRUE(run.wait_for("Waiting for more rounds", 1));
    for (int t = 1; t <= 8; ++t) {
        const auto r = run_process({TLW_PATH, "sql", club,
                                    "INSERT INTO RoundData (Section, Table, Round, NSPair, EWPair, LowBoard, HighBoard) "
                                    "VALUES (1, " + std::to_string(t) + ", 8, " + std::to_string(t) + ", " +
                                        std::to_string(t % 8 + 1) + ", 1, 3)"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    ASSERT_EQ(run_process({TLW_PATH, "sql", club, "UPDATE Tables SET UpdateFromRound = 8 WHERE Section = 1 AND Table = 1"})
                  .exit_code,
              0);
    ASSERT_TRUE(run.wait_for("Waiting for more rounds", 2));
    const auto out = run.output();
    EXPECT_EQ(count_of(out, "Log on Section 1(A) - Table 1"), 2);
    EXPECT_EQ(count_of(out, "Results for Round 8 - Section 1 - Table 5"), 1);
    EXPECT_EQ(run.interrupt(), 130);
    expect_check_passes(club);
    EXPECT_EQ(count(club, "SELECT * FROM ReceivedData WHERE Round = 8"), 24);
    EXPECT_EQ(count(club, "SELECT * FROM Tables WHERE UpdateFromRound <> 0"), 0);
}

}  // namespace
}  // namespace simtest
