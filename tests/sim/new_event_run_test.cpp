// Events prepared by `tlw new-event` run from log-on to "All Done" in the headless runner, in
// Jet 3, Jet 4 and Access 2010 (named .accdb), Mitchell and Howell, with a pair short;
// afterwards the file checks and mdbtools reads one result record per board played.
#include "harness.h"
#include "support/lines.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace simtest {
namespace {

using testsupport::run_process;

struct EventKind {
    const char* name;
    std::vector<std::string> options;
    const char* file = "event.tlw";
};

class NewEventRun : public ::testing::TestWithParam<EventKind> {};

TEST_P(NewEventRun, PlaysToTheEndAndLeavesAValidFile) {
    ScratchDir dir;
    const std::string event = dir.file(GetParam().file), members = dir.file("TLPlayerDB.mdb");
    std::vector<std::string> make = {TLW_PATH, "new-event", event, "--rounds", "5", "--boards", "2",
                                     "--members-db", members, "--members", "30"};
    make.insert(make.end(), GetParam().options.begin(), GetParam().options.end());
    const auto made = run_process(make);
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;

    const auto run = run_process({headless_path(), "/f:[" + event + "]", "--fast", "--seed", "3", "--exit-when-done",
                                  "--members", members});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const auto log = testsupport::split_lines(run.out);
    EXPECT_TRUE(std::find(log.begin(), log.end(), "All Done") != log.end());
    const auto results = std::count_if(log.begin(), log.end(),
                                       [](const std::string& l) { return l.rfind("Results for Round ", 0) == 0; });
    EXPECT_GT(results, 0);
    testsupport::expect_tlw_check_passes(event);
    EXPECT_EQ(long(testsupport::mdb_export(event, "ReceivedData").size()), results * 2) << "two boards a table and round";
}

// Without member numbers, and a Mitchell pair short, are run in the simulator's own tests.
INSTANTIATE_TEST_SUITE_P(
    Kinds, NewEventRun,
    ::testing::Values(EventKind{"MitchellWithMembers", {"--sections", "2", "--tables", "5"}},
                      EventKind{"MitchellAccess2010", {"--tables", "5", "--format", "ace2010"}, "event.accdb"},
                      EventKind{"HowellPairShortJet3", {"--tables", "3", "--movement", "howell", "--odd-pairs", "--jet3"}}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace simtest
