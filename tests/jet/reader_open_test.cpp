// Opening files: what we cannot read is refused with the old engine's number and a message
// naming the file. (Every fixture is opened and read by reader_compare_test; a missing table is
// checked through `tlw dump` in tlw_dump_test, a missing file by the headless runner's and the
// window's tests, names in any case by sql_eval_test.)
#include "jet/base/error.h"
#include "jet/database.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;

using testsupport::fixture;

// A copy of a fixture in a fresh directory, changed by `damage`.
std::string damaged_copy(const std::string& name, const std::function<void(const fs::path&)>& damage,
                         const std::string& fixture = "access/jet4/testV2000.mdb") {
    const fs::path copy = testsupport::copy_fixture(fixture, testsupport::fresh_dir(name));
    damage(copy);
    return copy.string();
}

TEST(ReaderOpen, UnreadableFilesAreRefusedByNumberNamingTheFile) {
    struct Case {
        const char* what;
        std::string path;
        int number;
        const char* says;
        bool names_file = true;
    };
    const auto flip_key = [](const fs::path& p) { testsupport::flip_byte(p, 0x3E, 0x5A); };
    const std::vector<Case> cases = {
        {"password", fixture("access/jet4/passwordV2000.mdb"), jet::err::PasswordProtected, "password"},
        {"not Jet", damaged_copy("reader_open_not_jet", [](const fs::path& p) { std::ofstream(p) << std::string(8192, 'x'); }),
         jet::err::NotADatabase, ""},
        {"truncated", damaged_copy("reader_open_truncated", [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) - 1000); }),
         jet::err::CorruptDatabase, "truncated"},
        // The db key sits in the masked header region; flipping a stored byte makes it non-zero.
        {"encoded", damaged_copy("reader_open_encoded", flip_key),
         jet::err::NotADatabase, "encrypted", false},
        // Access 2007+ encrypts the whole file under a password; the key lies in the masked header.
        {"ace encrypted", damaged_copy("reader_open_ace", flip_key, "access/ace/testV2010.accdb"),
         jet::err::PasswordProtected, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const jet::JetError e = testsupport::error_of([&] { jet::Database::open(c.path); });
        EXPECT_EQ(e.number(), c.number) << e.description();
        EXPECT_NE(e.description().find(c.says), std::string::npos) << e.description();
        if (c.names_file) {
            EXPECT_NE(e.description().find(c.path), std::string::npos) << e.description();
        }
    }
}

}  // namespace
