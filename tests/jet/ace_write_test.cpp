// Writing Access 2007-2019 (ACE) files: appends and updates through text indexes in Access
// 2010's "General" sort order, with the lock file Access users look for, every index kept, and
// what mdbtools, mdb-reader and our check see afterwards.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/query.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace {

using jet::Value;
using namespace writetest;

// Names with accents, apostrophes, hyphens and other punctuation, Greek, Cyrillic and
// Japanese, each key unique.
std::string name_of(int i) {
    static const char* const kNames[] = {"Hélène O'Brien-Sørensen", "Çelik, Анна", "Ærø (Ζωή)", "Dvořák & Łoś",
                                         "Ñuñez #", "éa", "Ea", "o'neil", "O-Neil", "Ünal. 山田はなこ"};
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
    const fs::path dir = fresh_dir("ace_write_general");
    const fs::path file = copy_fixture("access/ace/testV2010.accdb", dir);
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
    for (const auto& row : mdb) zz += row.at("A").starts_with("Zz ");
    EXPECT_EQ(zz, (kRows + 96) / 97);
    EXPECT_EQ(node_rows(file, "Table1").size(), kRows + 2u);
}

// Large Number: 64-bit values beyond a Long and a Double's exact range, negative ones among
// them, in their column and its index; mdb-reader reads them back.
TEST(AceWrite, LargeNumbersWithTheirIndex) {
    const fs::path file = copy_fixture("access/ace/bigintV2016.accdb", fresh_dir("ace_write_bigint"));
    const std::vector<std::string> numbers = {"9223372036854775807", "-9223372036854775808", "-1", "9007199254740993",
                                              "0"};
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            jet::append_record(*db, "Table", {{"ID", Value::long_(static_cast<std::int32_t>(i + 2))},
                                              {"Numeric", Value::text(numbers[i])}});
        EXPECT_EQ(jet::execute(*db, "UPDATE [Table] SET [Numeric] = '-42' WHERE ID = 1"), 1);
        EXPECT_EQ(jet::run_query(*db, "SELECT * FROM [Table] WHERE [Numeric] = -42").rows.size(), 1u);
        const jet::JetError e = error_of(
            [&] { jet::append_record(*db, "Table", {{"ID", Value::long_(99)}, {"Numeric", Value::text("9223372036854775808")}}); });
        EXPECT_EQ(e.number(), jet::err::DataTypeMismatchInCriteria) << e.description();
    }
    expect_check_passes(file);
    std::vector<std::string> read;
    for (const auto& row : node_rows(file, "Table")) read.push_back(row.at("Numeric"));
    std::vector<std::string> expected = numbers;
    expected.insert(expected.begin(), "-42");
    EXPECT_EQ(read, expected);
}

std::size_t position(const jet::TableDef& def, const std::string& column) {
    return static_cast<std::size_t>(def.find_column(column) - def.columns.data());
}

// Date/Time Extended values to the 100 ns through their ascending and descending indexes, and
// the calculated column [DateNormal] computed on append and recomputed on update.
TEST(AceWrite, ExtendedDatesAndAComputedCalculatedColumn) {
    const fs::path file = copy_fixture("access/ace/extDateTestV2019.accdb", fresh_dir("ace_write_extdate"));
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        for (int i = 0; i < 40; ++i)
            jet::append_record(*db, "Table1", {{"ID", Value::long_(100 + i)},
                                               {"DateExt", Value::text(fmt::format("{:04}-02-28T23:59:59.{:07}", 1 + i * 250, i))},
                                               {"DateNormal", Value::text(fmt::format("{}-03-01 12:30", 1900 + i))}});
        EXPECT_EQ(jet::execute(*db, "UPDATE Table1 SET DateNormal = #1999-12-31# WHERE ID = 1"), 1);
        const jet::TableDef def = *db->table_def("Table1");
        db->scan(def, [&](jet::RowId, const std::vector<Value>& v) {
            EXPECT_EQ(v[position(def, "DateNormalCalc")], v[position(def, "DateNormal")]);
            if (v[0] == Value::long_(139)) {
                EXPECT_EQ(v[position(def, "DateExt")], Value::text("9751-02-28T23:59:59.0000039"));
            }
            return true;
        });
    }
    expect_check_passes(file);
    EXPECT_EQ(mdb_rows(file, "Table1").size(), 49u);
    EXPECT_EQ(node_rows(file, "Table1").size(), 49u);
}

// A new record's complex columns share one new key from the table's counter (their lists
// empty); a value for one, and a calculated column whose expression we do not evaluate, are
// refused naming table and column, leaving the file as it was.
TEST(AceWrite, ComplexColumnsGetANewKeyAndUnevaluatedExpressionsAreRefused) {
    const fs::path dir = fresh_dir("ace_write_complex");
    const fs::path complex = copy_fixture("access/ace/complexDataTestV2010.accdb", dir);
    const fs::path calc = copy_fixture("access/ace/calcFieldTestV2010.accdb", dir);
    {
        auto db = jet::Database::open(complex.string(), jet::PageFile::Access::ReadWrite);
        const std::uint32_t before = db->table_def("Table1")->last_complex_key;
        EXPECT_EQ(jet::execute(*db, "INSERT INTO Table1 (id, [memo-data]) VALUES ('row5', 'new memo')"), 1);
        const jet::TableDef def = *db->table_def("Table1");
        EXPECT_EQ(def.last_complex_key, before + 1);
        db->scan(def, [&](jet::RowId, const std::vector<Value>& v) {
            if (v[0] != Value::text("row5")) return true;
            for (std::size_t i = 0; i < def.columns.size(); ++i) {
                if (def.columns[i].type == jet::ColumnType::Complex) {
                    EXPECT_EQ(v[i], Value::long_(static_cast<std::int32_t>(before + 1)));
                }
            }
            return true;
        });
    }
    expect_check_passes(complex);
    EXPECT_EQ(mdb_rows(complex, "Table1").size(), 5u);
    EXPECT_EQ(jet::execute(*jet::Database::open(calc.string(), jet::PageFile::Access::ReadWrite),
                           "UPDATE Table1 SET City = 'Paris'"),
              4);
    expect_check_passes(calc);

    const struct {
        fs::path file;
        const char* sql;
        const char* column;
    } refusals[] = {
        {complex, "INSERT INTO Table1 (id, [attach-data]) VALUES ('row6', 3)", "'attach-data'"},
        {complex, "UPDATE Table1 SET [multi-value-data] = 1", "'multi-value-data'"},
        {calc, "INSERT INTO Table1 (FirstName, LastName) VALUES ('Ann', 'Lee')", "'LastFirst'"},
        {calc, "UPDATE Table1 SET FirstName = 'Ann'", "'LastFirst'"},
    };
    for (const auto& r : refusals) {
        const std::string bytes = file_bytes(r.file);
        const jet::JetError e = error_of(
            [&] { jet::execute(*jet::Database::open(r.file.string(), jet::PageFile::Access::ReadWrite), r.sql); });
        EXPECT_EQ(e.number(), jet::err::Unsupported) << r.sql;
        EXPECT_NE(e.description().find(r.column), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("'Table1'"), std::string::npos) << e.description();
        EXPECT_EQ(file_bytes(r.file), bytes) << r.sql;
    }
}

}  // namespace
