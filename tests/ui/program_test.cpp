// The program tallimo-sim itself: with --headless, --help or --version it needs no display,
// which a program that made its window toolkit first could not do.
#include "support/child_process.h"
#include "window_support.h"

#include <gtest/gtest.h>

namespace {

// Takes the display variables out of the environment of the programs this test starts.
struct NoDisplay {
    uitest::ScopedEnv display{"DISPLAY", std::nullopt}, wayland{"WAYLAND_DISPLAY", std::nullopt},
        platform{"QT_QPA_PLATFORM", std::nullopt};
};

TEST(Program, HeadlessRunsAnEventWithoutADisplay) {
    uitest::ScoringCopy copy;
    const NoDisplay no_display;
    const auto result = testsupport::run_process(
        {TALLIMO_SIM_PATH, "--headless", "/f:[" + copy.database().toStdString() + "]", "--fast", "--exit-when-done",
         "--members", copy.members().toStdString()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out.find("Log on Section 1(A) - Table 1\n"), 0u) << result.out.substr(0, 200);
    EXPECT_NE(result.out.find("\nAll Done\n"), std::string::npos);
}

TEST(Program, HelpAndVersionNeedNoDisplay) {
    const NoDisplay no_display;
    const auto help = testsupport::run_process({TALLIMO_SIM_PATH, "--help"});
    EXPECT_EQ(help.exit_code, 0) << help.err;
    EXPECT_NE(help.out.find("--members PATH"), std::string::npos) << help.out;
    const auto version = testsupport::run_process({TALLIMO_SIM_PATH, "--version"});
    EXPECT_EQ(version.exit_code, 0) << version.err;
    EXPECT_EQ(version.out.rfind("Tallimo Pro Simulator v", 0), 0u) << version.out;
    const auto missing = testsupport::run_process({TALLIMO_SIM_PATH, "--members"});
    EXPECT_EQ(missing.exit_code, 2);
    EXPECT_NE(missing.err.find("--members needs"), std::string::npos) << missing.err;
}

}  // namespace
