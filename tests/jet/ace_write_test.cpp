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

// Large Number: 64-bit values beyond a Long and a Double's exact range, negative ones among
// them, in their column and its index; mdb-reader reads them back.
TEST(AceWrite, LargeNumbersWithTheirIndex) {
    const fs::path file = testsupport::copy_fixture("access/ace/bigintV2016.accdb", testsupport::fresh_dir("ace_write_bigint"));
    const std::vector<std::string> numbers = {"9223372036854775807", "-9223372036854775808", "-1", "9007199254740993",
                                              "0"};
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            jet::append_record(*db, "Table", {{"ID", Value::long_(static_cast<std::int32_t>(i + 2))},
                                              {"Numeric", Value::text(numbers[i])}});
        EXPECT_EQ(jet::execute(*db, "UPDATE [Table] SET [Numeric] = '-42' WHERE ID = 1"), 1);
        EXPECT_EQ(jet::run_query(*db, "SELECT * FROM [Table] WHERE [Numeric] = -42").rows.size(), 1u);
        const jet::JetError e = testsupport::error_of(
            [&] { jet::append_record(*db, "Table", {{"ID", Value::long_(99)}, {"Numeric", Value::text("9223372036854775808")}}); });
        EXPECT_EQ(e.number(), jet::err::DataTypeMismatchInCriteria) << e.description();
    }
    expect_check_passes(file);
    if (node_reader_installed()) {
        std::vector<std::string> read;
        for (const auto& row : node_rows(file, "Table")) read.push_back(row["Numeric"].is_string() ? row["Numeric"].get<std::string>() : row["Numeric"].dump());
        std::vector<std::string> expected = numbers;
        expected.insert(expected.begin(), "-42");
        EXPECT_EQ(read, expected);
    }
}

}  // namespace
