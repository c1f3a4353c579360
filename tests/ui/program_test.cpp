// The program tallimo-sim itself: with --headless it runs an event without any display,
// which a program that made its window toolkit first could not do.
#include "support/child_process.h"
#include "window_support.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

// Takes the display variables out of the environment of the programs this test starts.
class NoDisplay {
public:
    NoDisplay() {
        for (const char* name : names) {
            if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
            ::unsetenv(name);
        }
    }
    ~NoDisplay() {
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }
    NoDisplay(const NoDisplay&) = delete;
    NoDisplay& operator=(const NoDisplay&) = delete;

private:
    static constexpr const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::vector<std::pair<std::string, std::string>> saved_;
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

}  // namespace
