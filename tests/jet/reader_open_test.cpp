// Opening files: every Jet 3 / Jet 4 fixture opens with its user tables listed; what we
// cannot read is refused with the old engine's number and a message naming the file.
#include "jet/base/error.h"
#include "jet/database.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

using testsupport::fixture;

// The error an open gives, or number 0 when it opens.
jet::JetError open_error(const std::string& path) {
    return testsupport::error_of([&] { jet::Database::open(path); });
}

std::vector<std::string> user_tables(const std::string& path) {
    std::vector<std::string> names;
    for (const jet::CatalogEntry& e : jet::Database::open(path)->tables()) names.push_back(e.name);
    return names;
}

TEST(ReaderOpen, EveryJetFixtureOpensAndListsItsTables) {
    int opened = 0;
    for (const std::string& file : testsupport::fixture_files({"access/jet3", "access/jet4", "scoring"}, "password")) {
        const std::string path = fixture(file);
        SCOPED_TRACE(path);
        auto db = jet::Database::open(path);
        const auto tables = db->tables();
        EXPECT_FALSE(tables.empty());
        for (const jet::CatalogEntry& t : tables) {
            const jet::TableDef def = *db->table_def(t.name);
            EXPECT_EQ(def.tdef_page, t.tdef_page());
            EXPECT_FALSE(def.columns.empty());
            db->scan(def, [](jet::RowId, const std::vector<jet::Value>&) { return true; });
        }
        ++opened;
    }
    EXPECT_GE(opened, 20);
}

TEST(ReaderOpen, RecognisesTheFormatOfEachGeneration) {
    EXPECT_TRUE(jet::Database::open(fixture("access/jet3/testV1997.mdb"))->format().jet3());
    EXPECT_TRUE(jet::Database::open(fixture("access/jet4/testV2000.mdb"))->format().jet4());
    EXPECT_EQ(jet::Database::open(fixture("access/jet3/testV1997.mdb"))->format().page_size, 2048u);
    EXPECT_EQ(jet::Database::open(fixture("scoring/club-evening.tlw"))->code_page(), 1252);
}

TEST(ReaderOpen, ListsUserTablesInCatalogOrderWithoutSystemTables) {
    const auto names = user_tables(fixture("scoring/club-evening.tlw"));
    EXPECT_EQ(names, (std::vector<std::string>{"Section", "Tables", "RoundData", "PlayerNumbers", "Settings",
                                               "ReceivedData"}));
}

TEST(ReaderOpen, RefusesAPasswordProtectedDatabase) {
    const std::string path = fixture("access/jet4/passwordV2000.mdb");
    const jet::JetError e = open_error(path);
    EXPECT_EQ(e.number(), jet::err::PasswordProtected);
    EXPECT_NE(e.description().find(path), std::string::npos);
    EXPECT_NE(e.description().find("password"), std::string::npos);
}

TEST(ReaderOpen, RefusesAccess2007AndLaterAsNotYetSupported) {
    for (const char* name : {"access/ace/testV2007.accdb", "access/ace/testV2010.accdb"}) {
        const jet::JetError e = open_error(fixture(name));
        EXPECT_EQ(e.number(), jet::err::NotADatabase) << name;
        EXPECT_NE(e.description().find(fixture(name)), std::string::npos);
        EXPECT_NE(e.description().find("not yet supported"), std::string::npos);
    }
}

TEST(ReaderOpen, RefusesAFileThatIsNotAJetDatabase) {
    const fs::path dir = testsupport::fresh_dir("reader_open_not_jet");
    const fs::path path = dir / "notes.mdb";
    std::ofstream(path) << std::string(8192, 'x');
    const jet::JetError e = open_error(path.string());
    EXPECT_EQ(e.number(), jet::err::NotADatabase);
    EXPECT_NE(e.description().find(path.string()), std::string::npos);
}

TEST(ReaderOpen, RefusesATruncatedFile) {
    const fs::path dir = testsupport::fresh_dir("reader_open_truncated");
    const fs::path copy = testsupport::copy_fixture("access/jet4/testV2000.mdb", dir);
    fs::resize_file(copy, fs::file_size(copy) - 1000);
    const jet::JetError e = open_error(copy.string());
    EXPECT_EQ(e.number(), jet::err::CorruptDatabase);
    EXPECT_NE(e.description().find("truncated"), std::string::npos);
    EXPECT_NE(e.description().find(copy.string()), std::string::npos);
}

TEST(ReaderOpen, RefusesAnEncodedDatabase) {
    const fs::path dir = testsupport::fresh_dir("reader_open_encoded");
    const fs::path copy = testsupport::copy_fixture("access/jet4/testV2000.mdb", dir);
    {
        // The db key sits in the masked header region; flipping a stored byte makes it non-zero.
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(0x3E);
        char c = 0;
        f.get(c);
        f.seekp(0x3E);
        f.put(static_cast<char>(c ^ 0x5A));
    }
    const jet::JetError e = open_error(copy.string());
    EXPECT_EQ(e.number(), jet::err::NotADatabase);
    EXPECT_NE(e.description().find("encrypted"), std::string::npos);
}

TEST(ReaderOpen, MissingFileIs3024WithThePath) {
    const jet::JetError e = open_error("/nonexistent/dir/club.tlw");
    EXPECT_EQ(e.number(), jet::err::FileNotFound);
    EXPECT_EQ(e.description(), "Could not find file '/nonexistent/dir/club.tlw'.");
}

TEST(ReaderOpen, MissingTableIs3078WithJetsText) {
    auto db = jet::Database::open(fixture("scoring/club-evening.tlw"));
    try {
        db->table_def("RoundDta");
        FAIL() << "no error";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::err::TableNotFound);
        EXPECT_EQ(e.description(), "The Microsoft Jet database engine cannot find the input table or query "
                                   "'RoundDta'. Make sure it exists and that its name is spelled correctly.");
    }
}

TEST(ReaderOpen, TableNamesAreCaseInsensitive) {
    auto db = jet::Database::open(fixture("scoring/club-evening.tlw"));
    EXPECT_EQ(db->table_def("rounddata")->name, "RoundData");
}

}  // namespace
