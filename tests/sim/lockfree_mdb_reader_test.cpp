// Scoring programs on Linux read the file through libraries that take no locks of ours, while
// the simulator writes it. mdb-reader, reading every table over and over through a whole event
// played at full speed, must never fail.
#include "harness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using testsupport::run_process;

TEST(LockFreeMdbReader, ReadsEveryTableWithoutErrorThroughAWholeEvent) {
    const fs::path dir = testsupport::fresh_dir("lock-free-mdb-reader");
    const fs::path event = dir / "e.tlw", stop = dir / "stop";
    const auto made = run_process({TLW_PATH, "new-event", event.string(), "--sections", "12", "--tables", "15",
                                   "--rounds", "14", "--boards", "3", "--members-db", (dir / "TLPlayerDB.mdb").string(),
                                   "--members", "200"});
    ASSERT_EQ(made.exit_code, 0) << made.err;

    testsupport::ChildProcess reader({"node", std::string(TALLIMO_NODE_DIR) + "/read_loop.mjs", event.string(),
                                      stop.string()});
    const auto run = run_process({simtest::headless_path(), "/f:[" + event.string() + "]",
                                  "--pace", "0", "--seed", "7", "--exit-when-done"});
    std::ofstream{stop};
    ASSERT_EQ(reader.wait(), 0);
    EXPECT_EQ(run.exit_code, 0) << run.err;

    const nlohmann::json seen = nlohmann::json::parse(reader.output());
    EXPECT_GE(seen["reads"].get<long>(), 5) << "too few reads while the event ran to prove anything";
    EXPECT_TRUE(seen["errors"].empty()) << seen["errors"].dump(2);
    std::printf("%ld reads of every table while the event was played\n", seen["reads"].get<long>());
}

}  // namespace
