// Decoding what the comparison with mdbtools (reader_compare_test) cannot check: binary long
// values, the order of moved rows, text codecs mdbtools maps differently, and properties.
// Expected values come from the bytes of Access-written fixtures. (Dates before 1900 are
// value_test's: a stored date is a plain double.)
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/value/text_codec.h"

#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testsupport::fixture;

struct Table {
    jet::TableDef def;
    std::vector<std::vector<jet::Value>> rows;
    const jet::Value& at(std::size_t row, const std::string& column) const {
        const jet::Column* c = def.find_column(column);
        EXPECT_NE(c, nullptr) << column;
        return rows.at(row).at(static_cast<std::size_t>(c - def.columns.data()));
    }
};

Table read_table(const std::string& file, const std::string& table) {
    auto db = jet::Database::open(fixture(file));
    Table t{*db->table_def(table), {}};
    db->scan(t.def, [&](jet::RowId, const std::vector<jet::Value>& v) {
        t.rows.push_back(v);
        return true;
    });
    return t;
}

TEST(ReaderDecode, BinaryLongValueChainedOverPages) {
    // Texts inline and in one long-value row are compared with mdbtools by ReaderCompare,
    // which cannot compare binary values: 22970 bytes in a chain of rows over several pages.
    const Table t = read_table("access/jet4/test2V2000.mdb", "MSP_PROJECTS");
    const jet::Bytes& blob = t.at(0, "RESERVED_BINARY_DATA").as_binary();
    ASSERT_EQ(blob.size(), 22970u);
    EXPECT_EQ(blob[0], 0x15);
    EXPECT_EQ(blob[1], 0x1C);
    EXPECT_EQ(blob[2], 0x2D);
}

std::vector<std::string> first_columns(const Table& t, const std::string& column) {
    std::vector<std::string> out;
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        out.push_back(t.at(r, column).is_null() ? "-" : t.at(r, column).as_text_raw());
    return out;
}

TEST(ReaderDecode, MovedRowsAreReadWhereTheyNowLieInTheirOriginalPlace) {
    // Rows 3 and 5 were updated until they no longer fitted; their slots hold pointers. Table
    // order keeps them in their original slots (Jackcess agrees; mdbtools lists them where the
    // moved copies lie, at the end).
    for (const char* file : {"access/jet3/overflowTestV1997.mdb", "access/jet4/overflowTestV2000.mdb"}) {
        SCOPED_TRACE(file);
        const Table t = read_table(file, "Table1");
        EXPECT_EQ(first_columns(t, "data3"), (std::vector<std::string>{"-", "row2col3", "row3col3", "row4col2",
                                                                        "row5col2", "row6col2", "-"}));
        EXPECT_EQ(t.at(2, "data9").as_text_raw(), "row3col9");
    }
}

TEST(ReaderDecode, Jet3CodePageText) {
    const std::uint8_t bytes[] = {'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, ' ', 0x9C, ' ', 0x81};
    // 0x81 is undefined in Windows-1252; Windows (and we) map it to U+0081, mdbtools shows '?'.
    EXPECT_EQ(jet::decode_code_page(bytes, sizeof bytes, 1252), "Müller € œ \xC2\x81");
    EXPECT_EQ(jet::encode_code_page("Müller € œ Dvořák", 1252),
              (jet::Bytes{'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, ' ', 0x9C, ' ', 'D', 'v', 'o', '?', 0xE1, 'k'}));
}

// Jet 4 properties are read in reader_damage_test and written byte for byte in
// properties_write_test; these are Access 97's.
TEST(ReaderDecode, Jet3PropertiesOfTablesAndColumns) {
    const jet::TableProperties p3 = jet::Database::open(fixture("access/jet3/testV1997.mdb"))->properties("Table1");
    const jet::Property* azl = jet::find_property(*jet::column_properties(p3, "a"), "allowzerolength");   // any case
    ASSERT_NE(azl, nullptr);
    EXPECT_EQ(azl->value, jet::Value::boolean(false));
    EXPECT_NE(jet::find_property(p3.table, "Orientation"), nullptr);
}

}  // namespace
