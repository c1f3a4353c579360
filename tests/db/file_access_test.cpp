// A database we may not write, in a folder we may not write, or cut short by another program:
// each is a numbered error naming the file, the file is left as it was, and nothing crashes.
#include "db/database.h"
#include "jet/base/error.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using testsupport::file_bytes;

namespace fs = std::filesystem;

constexpr const char* kUpdate = "UPDATE Tables SET LogOnOff = 1 WHERE Section = 1 And Table = 1";

// `tlw sql FILE UPDATE` as a user the permissions hold for (root is let through anything).
testsupport::ProcessResult update_as_a_user(const fs::path& file) {
    std::vector<std::string> argv = {TLW_PATH, "sql", file.string(), kUpdate};
    if (::geteuid() == 0)
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return testsupport::run_process(argv);
}

TEST(FileAccess, ReadOnlyDatabaseOrFolderIsANumberedErrorAndTheFileStaysAsItWas) {
    const fs::path dir = testsupport::fresh_dir("file-access-read-only");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    const std::string before = file_bytes(file);

    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    testsupport::ProcessResult r = update_as_a_user(file);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.err.rfind("3045: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(file.string()), std::string::npos) << r.err;

    fs::permissions(file, fs::perms::all);
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    r = update_as_a_user(file);
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(r.exit_code, 1) << r.err;
    EXPECT_EQ(r.err.rfind("3045: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
    EXPECT_EQ(file_bytes(file), before);
}

TEST(FileAccess, DatabaseCutShortByAnotherProgramIsNamedAtTheNextStatement) {
    const fs::path dir = testsupport::fresh_dir("file-access-truncated");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
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

}  // namespace
