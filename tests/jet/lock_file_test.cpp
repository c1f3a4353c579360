// The .ldb beside a database open for writing: one 64-byte entry per user (computer name,
// then "Admin"), a second user of ours takes the next slot, a stale file left by a crash is
// taken over, and the last of our users to close removes it.
#include "jet/database.h"
#include "jet/storage/lock_file.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(LockFile, LivesWhileOpenForWritingAndHoldsOneEntryPerUser) {
    const fs::path dir = testsupport::fresh_dir("lock_file_users");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    const fs::path ldb = dir / "club-evening.ldb";
    EXPECT_EQ(jet::LockFile::lock_path_for(file.string()), ldb.string());
    {
        auto reader = jet::Database::open(file.string(), jet::PageFile::Access::ReadOnly);
        EXPECT_FALSE(fs::exists(ldb)) << "reading alone leaves no lock file";
    }
    {
        auto first = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        ASSERT_TRUE(fs::exists(ldb));
        {
            auto second = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
            const std::string bytes = writetest::file_bytes(ldb);
            ASSERT_EQ(bytes.size(), 128u);
            EXPECT_EQ(bytes.substr(32, 6), std::string("Admin\0", 6));
            EXPECT_EQ(bytes.substr(96, 6), std::string("Admin\0", 6));
            EXPECT_NE(bytes[0], '\0') << "computer name";
        }
        EXPECT_TRUE(fs::exists(ldb)) << "the first user is still there";
    }
    EXPECT_FALSE(fs::exists(ldb));
}

TEST(LockFile, StaleFileFromACrashIsTakenOverAndRemoved) {
    const fs::path dir = testsupport::fresh_dir("lock_file_stale");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    const fs::path ldb = dir / "club-evening.ldb";
    {
        std::ofstream stale(ldb, std::ios::binary);
        std::string entry(64, '\0');
        entry.replace(0, 6, "OTHER1");
        entry.replace(32, 5, "Admin");
        stale << entry;
    }
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_EQ(writetest::file_bytes(ldb).size(), 64u) << "slot 1 is free: its entry is ours now";
    }
    EXPECT_FALSE(fs::exists(ldb));
}

}  // namespace
