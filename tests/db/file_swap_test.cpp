// Another program deletes the database or renames a new file over it (as a compacting scoring
// program does) while we have it open: the next statement fails with a numbered error instead
// of writing on into a file nobody reads.
#include "db/database.h"
#include "jet/base/error.h"
#include "support/child_process.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr const char* kUpdate = "UPDATE Tables SET LogOnOff = 1 WHERE Section = 1 And Table = 1";

TEST(FileSwap, FileRenamedOverTheDatabaseIsNeverWrittenTo) {
    const fs::path dir = testsupport::fresh_dir("file-swap-renamed");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    db::Database database = db::Database::open(file.string());
    EXPECT_EQ(database.execute(kUpdate), 1);

    const fs::path compacted = dir / "compacted.tlw";
    fs::copy_file(file, compacted);
    fs::rename(compacted, file);
    const auto size = fs::file_size(file);
    const auto written = fs::last_write_time(file);

    const jet::JetError e = testsupport::error_of([&] { database.execute(kUpdate); });
    EXPECT_EQ(e.number(), 3420) << e.description();
    EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    EXPECT_EQ(fs::file_size(file), size);
    EXPECT_EQ(fs::last_write_time(file), written);
}

TEST(FileSwap, DeletedDatabaseIsNamedAtTheNextStatement) {
    const fs::path dir = testsupport::fresh_dir("file-swap-deleted");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    db::Database database = db::Database::open(file.string());
    fs::remove(file);
    const jet::JetError e = testsupport::error_of([&] { database.open_recordset("RoundData"); });
    EXPECT_EQ(e.number(), 3024) << e.description();
    EXPECT_NE(e.description().find("deleted or moved"), std::string::npos) << e.description();
}

}  // namespace
