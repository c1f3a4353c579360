// Two processes of ours writing one file at once: one appends records, the other flips a flag
// on each of those records as it appears and counts the tables' Status up meanwhile. Both must
// finish, every record and every last update must be there, and the file must stay valid for
// our checker and mdbtools. TALLIMO_SHARING_OPERATIONS sets the records (2500).
#include "support/child_process.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace {

using namespace testsupport;

long operations() {
    const char* n = std::getenv("TALLIMO_SHARING_OPERATIONS");
    return n ? std::atol(n) : 2500;
}

// Lines "word a [b]" of a writer's output.
std::vector<std::vector<long>> reported(const std::string& out, const std::string& word) {
    std::vector<std::vector<long>> lines;
    std::istringstream in(out);
    std::string w;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        if (!(fields >> w) || w != word) continue;
        std::vector<long> numbers;
        for (long v; fields >> v;) numbers.push_back(v);
        lines.push_back(numbers);
    }
    return lines;
}

TEST(TwoWritingProcesses, AppenderAndFlaggerBothFinishAndNothingIsLost) {
    const long n = operations();
    const auto dir = fresh_dir("sharing");
    const std::string file = copy_fixture("scoring/club-evening.tlw", dir).string();

    ChildProcess appender({KILL_WRITER_PATH, "append", file, "1", std::to_string(n)});
    ChildProcess flagger({KILL_WRITER_PATH, "flags", file, std::to_string(n)});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    // Keep reading both, so neither blocks on a full pipe while holding the file's lock.
    while (appender.running() | flagger.running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            appender.kill_now();
            flagger.kill_now();
            FAIL() << "the writers did not finish in time; appender reached "
                   << reported(appender.output(), "saved").size() << ", flagger "
                   << reported(flagger.output(), "flagged").size();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(appender.wait(), 0);
    ASSERT_EQ(flagger.wait(), 0);
    ASSERT_EQ(reported(appender.output(), "saved").size(), static_cast<std::size_t>(n));
    ASSERT_EQ(reported(flagger.output(), "flagged").size(), static_cast<std::size_t>(n));
    std::map<long, long> last_status;  // table -> value the flagger set last
    for (const auto& s : reported(flagger.output(), "status")) last_status[s.at(0)] = s.at(1);

    expect_tlw_check_passes(file);
    const auto exported = mdb_export(file, "ReceivedData");
    ASSERT_EQ(exported.size(), static_cast<std::size_t>(n));
    std::set<std::string> ids, boards;
    for (const auto& row : exported) {
        ids.insert(row.at("ID"));
        boards.insert(row.at("Board"));
        EXPECT_EQ(row.at("Processed1"), "1") << "record " << row.at("Board");
        EXPECT_EQ(row.at("Remarks"), "record " + row.at("Board"));
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(n)) << "autonumbers handed out twice";
    EXPECT_EQ(boards.size(), static_cast<std::size_t>(n)) << "a record saved twice, another lost";
    for (const auto& row : mdb_export(file, "Tables")) {
        if (row.at("Section") != "1") continue;
        EXPECT_EQ(std::stol(row.at("Status")), last_status[std::stol(row.at("Table"))]);
    }
}

}  // namespace
