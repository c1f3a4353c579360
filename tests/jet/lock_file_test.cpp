// The .ldb beside a database open for writing: one 64-byte entry per user (computer name,
// then "Admin"), a second user of ours takes the next slot, a stale file left by a crash is
// taken over, and the last of our users to close removes it.
#include "jet/database.h"
#include "jet/storage/lock_file.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using testsupport::file_bytes;

struct Club {
    explicit Club(const std::string& name)
        : dir(testsupport::fresh_dir(name)), file(testsupport::copy_fixture("scoring/club-evening.tlw", dir).string()) {}
    std::shared_ptr<jet::Database> open(jet::PageFile::Access access = jet::PageFile::Access::ReadWrite) const {
        return jet::Database::open(file, access);
    }
    fs::path dir;
    std::string file;
    fs::path ldb = dir / "club-evening.ldb";
};

TEST(LockFile, LivesWhileOpenForWritingAndHoldsOneEntryPerUser) {
    const Club club("lock_file_users");
    EXPECT_EQ(jet::LockFile::lock_path_for(club.file), club.ldb.string());
    {
        auto reader = club.open(jet::PageFile::Access::ReadOnly);
        EXPECT_FALSE(fs::exists(club.ldb)) << "reading alone leaves no lock file";
    }
    {
        auto first = club.open();
        {
            auto second = club.open();
            const std::string bytes = file_bytes(club.ldb);
            ASSERT_EQ(bytes.size(), 128u);
            EXPECT_EQ(bytes.substr(32, 6), std::string("Admin\0", 6));
            EXPECT_EQ(bytes.substr(96, 6), std::string("Admin\0", 6));
            EXPECT_NE(bytes[0], '\0') << "computer name";
        }
        EXPECT_TRUE(fs::exists(club.ldb)) << "the first user is still there";
    }
    EXPECT_FALSE(fs::exists(club.ldb));
}

TEST(LockFile, StaleFileFromACrashIsTakenOverAndRemoved) {
    const Club club("lock_file_stale");
    std::string entry(64, '\0');
    entry.replace(0, 6, "OTHER1");
    entry.replace(32, 5, "Admin");
    std::ofstream(club.ldb, std::ios::binary) << entry;
    {
        auto db = club.open();
        EXPECT_EQ(file_bytes(club.ldb).size(), 64u) << "slot 1 is free: its entry is ours now";
    }
    EXPECT_FALSE(fs::exists(club.ldb));
}

}  // namespace
