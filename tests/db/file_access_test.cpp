// A database we may not write, in a folder we may not write, cut short, deleted or replaced by
// another program (as a compacting scoring program renames a new file over it) while we have it
// open: each is a numbered error naming the file, the file is left as it was, and nothing
// crashes or writes on into a file nobody reads.
#include "db/database.h"
#include "jet/base/error.h"
#include "jet/storage/page_file.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using testsupport::file_bytes;

namespace fs = std::filesystem;

constexpr const char* kUpdate = "UPDATE Tables SET LogOnOff = 1 WHERE Section = 1 And Table = 1";

fs::path club_copy(const std::string& name) {
    return testsupport::copy_fixture("scoring/club-evening.tlw", testsupport::fresh_dir(name));
}

// `tlw sql FILE UPDATE` as a user the permissions hold for (root is let through anything).
testsupport::ProcessResult update_as_a_user(const fs::path& file) {
    std::vector<std::string> argv = {TLW_PATH, "sql", file.string(), kUpdate};
    if (::geteuid() == 0)
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return testsupport::run_process(argv);
}

TEST(FileAccess, ReadOnlyDatabaseOrFolderIsANumberedErrorAndTheFileStaysAsItWas) {
    const fs::path file = club_copy("file-access-read-only"), dir = file.parent_path();
    const std::string before = file_bytes(file);

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    testsupport::ProcessResult r = update_as_a_user(file);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.err.rfind("3045: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(file.string()), std::string::npos) << r.err;

    fs::permissions(file, fs::perms::all);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    r = update_as_a_user(file);
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.err.rfind("3045: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
    EXPECT_EQ(file_bytes(file), before);
}

TEST(FileAccess, DatabaseCutShortByAnotherProgramIsNamedAtTheNextStatement) {
    const fs::path file = club_copy("file-access-truncated");
    db::Database database = db::Database::open(file.string());
    EXPECT_EQ(database.execute(kUpdate), 1);
    fs::resize_file(file, fs::file_size(file) / 2);
    const std::string cut = file_bytes(file);

    const jet::JetError e = testsupport::error_of([&] {
        database.execute("UPDATE ReceivedData SET Processed1 = True");
        database.open_recordset("ReceivedData");
    });
    EXPECT_EQ(e.number(), 3049) << e.description();
    EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    EXPECT_EQ(file_bytes(file), cut);
}

// Inside a statement our lock keeps our own writers out, not another program.
TEST(FileAccess, DatabaseCutShortInsideAStatementIsAnErrorNotACrash) {
    const fs::path file = club_copy("file-access-cut-mid-statement");
    const std::string whole = file_bytes(file);
    const auto pages = jet::PageFile::open(file.string(), jet::PageFile::Access::ReadOnly);
    const std::size_t page_size = pages->page_size();
    std::uint32_t last = 0;
    {
        const jet::StatementScope statement(*pages, jet::StatementLock::Mode::Shared);
        last = pages->page_count() - 1;
        const jet::Bytes page_one = pages->read_page(1);
        fs::resize_file(file, 2 * page_size);

        EXPECT_EQ(pages->read_page(1), page_one) << "a page read before the cut is still served";
        const jet::JetError e = testsupport::error_of([&] { pages->read_page(last); });
        EXPECT_EQ(e.number(), 3049) << e.description();
        EXPECT_NE(e.description().find("page " + std::to_string(last)), std::string::npos) << e.description();
        EXPECT_EQ(testsupport::error_number([&] { pages->read_page(1); }), 3049) << "the rest of the statement too";
    }
    // Whole again (as when a copy over it has ended): the next statement reads it afresh.
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(whole.data(), static_cast<std::streamsize>(whole.size()));
    const jet::StatementScope next(*pages, jet::StatementLock::Mode::Shared);
    const auto at = static_cast<std::ptrdiff_t>(last * page_size);
    EXPECT_EQ(pages->read_page(last), jet::Bytes(whole.begin() + at, whole.begin() + at + static_cast<std::ptrdiff_t>(page_size)));
}

TEST(FileSwap, FileRenamedOverTheDatabaseIsNeverWrittenTo) {
    const fs::path file = club_copy("file-swap-renamed");
    db::Database database = db::Database::open(file.string());
    EXPECT_EQ(database.execute(kUpdate), 1);

    const fs::path compacted = file.parent_path() / "compacted.tlw";
    fs::copy_file(file, compacted);
    fs::rename(compacted, file);
    const std::string before = file_bytes(file);
    const auto written = fs::last_write_time(file);

    const jet::JetError e = testsupport::error_of([&] { database.execute(kUpdate); });
    EXPECT_EQ(e.number(), 3420) << e.description();
    EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    EXPECT_EQ(file_bytes(file), before);
    EXPECT_EQ(fs::last_write_time(file), written);
}

TEST(FileSwap, DeletedDatabaseIsNamedAtTheNextStatement) {
    const fs::path file = club_copy("file-swap-deleted");
    db::Database database = db::Database::open(file.string());
    fs::remove(file);
    const jet::JetError e = testsupport::error_of([&] { database.open_recordset("RoundData"); });
    EXPECT_EQ(e.number(), 3024) << e.description();
    EXPECT_NE(e.description().find("deleted or moved"), std::string::npos) << e.description();
}

}  // namespace
