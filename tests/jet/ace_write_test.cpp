// Writing Access 2007-2019 (ACE) files: appends and updates through text indexes in Access
// 2010's "General" sort order, with the lock file Access users look for, every index kept, and
// what mdbtools, mdb-reader and our check see afterwards.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/query.h"
#include "support/jet_errors.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace {

using jet::Value;
using namespace writetest;

// Names with accents, apostrophes, hyphens and other punctuation, each key unique.
std::string name_of(int i) {
    static const char* const kNames[] = {"Hélène O'Brien-Sørensen", "Çelik, Ana", "Ærø (Zoë)", "Dvorak & Søn",
                                         "Ñuñez #", "éa", "Ea", "o'neil", "O-Neil", "Ünal. Ürün"};
    return fmt::format("{} {:04}", kNames[i % 10], i);
}

// A text literal of Jet SQL: quotes doubled.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? "''" : std::string(1, c);
    return out + "'";
}

// Table1 of testV2010 has a text primary key (A) and a text index (B), both in the "General"
// sort order: enough appends split their pages, updates move keys, and every reader agrees.
TEST(AceWrite, AppendsAndUpdatesKeepGeneralOrderIndexes) {
    const fs::path dir = testsupport::fresh_dir("ace_write_general");
    const fs::path file = testsupport::copy_fixture("access/ace/testV2010.accdb", dir);
    constexpr int kRows = 1200;
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_TRUE(fs::exists(dir / "testV2010.laccdb"));
        std::vector<jet::Fields> records;
        for (int i = 0; i < kRows; ++i)
            records.push_back({{"A", Value::text(name_of(i))}, {"B", Value::text(name_of(kRows - i))},
                               {"E", Value::long_(i)}, {"I", Value::boolean(i % 2 == 0)}});
        jet::append_records(*db, "Table1", records);
        for (int i = 0; i < kRows; i += 97) {
            const std::string where = " WHERE A = " + quoted(name_of(i));
            const jet::QueryResult found = jet::run_query(*db, "SELECT * FROM Table1" + where);
            EXPECT_EQ(found.index_used, "PrimaryKey");
            EXPECT_EQ(found.rows.size(), 1u) << name_of(i);
            EXPECT_EQ(jet::execute(*db, "UPDATE Table1 SET A = " + quoted("Zz " + name_of(i)) +
                                            ", B = 'moved, longer than before'" + where),
                      1);
        }
    }
    EXPECT_FALSE(fs::exists(dir / "testV2010.laccdb"));
    expect_check_passes(file);
    auto db = jet::Database::open(file.string());
    const jet::QueryResult moved = jet::run_query(*db, "SELECT * FROM Table1 WHERE A = " + quoted("ZZ " + name_of(97)));
    EXPECT_EQ(moved.index_used, "PrimaryKey");
    EXPECT_EQ(moved.rows.size(), 1u);
    const auto mdb = mdb_rows(file, "Table1");
    ASSERT_EQ(mdb.size(), kRows + 2u);
    int zz = 0;
    for (const auto& row : mdb) zz += row.value("A", "").starts_with("Zz ");
    EXPECT_EQ(zz, (kRows + 96) / 97);
    if (node_reader_installed()) {
        EXPECT_EQ(node_rows(file, "Table1").size(), kRows + 2u);
    }
}

}  // namespace
