// The database path on the command line: "/f:[" up to the first "]" after it.
#include "run/command_line.h"

#include <gtest/gtest.h>

namespace {

using sim::GetCommandLine;

TEST(CommandLinePath, TakesTheTextBetweenMarkerAndBracket) {
    EXPECT_EQ(GetCommandLine(R"(/f:[C:\data\club.tlw])"), R"(C:\data\club.tlw)");
    EXPECT_EQ(GetCommandLine(R"(-x /f:[C:\my data\club night.tlw] trailing])"), R"(C:\my data\club night.tlw)");
    EXPECT_EQ(GetCommandLine(R"(/f:["/tmp/a b.tlw"])"), R"("/tmp/a b.tlw")") << "nothing is unquoted";
}

TEST(CommandLinePath, MissingOrMalformedSwitchGivesNoPath) {
    EXPECT_EQ(GetCommandLine(""), "");
    EXPECT_EQ(GetCommandLine("/f:[/tmp/club.tlw"), "");
    EXPECT_EQ(GetCommandLine("/F:[/tmp/club.tlw]"), "") << "the marker is case-sensitive";
    EXPECT_EQ(GetCommandLine("/f:[]"), "");
}

// A "]" in an earlier argument used to give a negative length.
TEST(CommandLinePath, BracketBeforeTheMarkerIsPassedOver) {
    EXPECT_EQ(GetCommandLine("--title=[x] /f:[/tmp/club.tlw]"), "/tmp/club.tlw");
    EXPECT_EQ(GetCommandLine("] /f:[/tmp/club.tlw"), "");
}

}  // namespace
