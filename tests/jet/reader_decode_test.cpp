// Decoding values: each column type as Access stored it, long values inline, on one page and
// in chains, moved (overflow) rows, deleted rows, Jet 3 code-page text and Jet 4 compressed
// text. Expected values come from the bytes of Access-written fixtures.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/value/text_codec.h"

#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <cmath>

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

void expect_fixed_types(const Table& t) {
    // Access 97 / 2000 "Table1": Text, Text, Byte, Integer, Long, Double, Date/Time, Currency, Yes/No.
    ASSERT_EQ(t.rows.size(), 2u);
    std::size_t r = t.at(0, "A").as_text_raw() == "abcdefg" ? 0 : 1;
    EXPECT_EQ(t.at(r, "A").as_text_raw(), "abcdefg");
    EXPECT_EQ(t.at(r, "B").as_text_raw(), "hijklmnop");
    EXPECT_EQ(t.at(r, "C").as_byte(), 2);
    EXPECT_EQ(t.at(r, "D").as_int16(), 222);
    EXPECT_EQ(t.at(r, "E").as_int32(), 333333333);
    EXPECT_DOUBLE_EQ(t.at(r, "F").as_double_raw(), 444.555);
    EXPECT_EQ(jet::iso_text(t.at(r, "G").as_date()), "1974-09-21T00:00:00");
    EXPECT_EQ(t.at(r, "H").as_currency().scaled, 35000);
    EXPECT_TRUE(t.at(r, "I").as_bool());
    EXPECT_FALSE(t.at(1 - r, "I").as_bool());  // a Boolean is never Null: False is a clear bit
}

TEST(ReaderDecode, FixedTypesJet3) { expect_fixed_types(read_table("access/jet3/testV1997.mdb", "Table1")); }
TEST(ReaderDecode, FixedTypesJet4) { expect_fixed_types(read_table("access/jet4/testV2000.mdb", "Table1")); }

TEST(ReaderDecode, DecimalWithItsScaleAndSign) {
    const Table t = read_table("access/jet4/numericV2000.mdb", "test");
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.at(0, "col1").as_text_raw(), "some data");
    EXPECT_EQ(jet::decimal_text(t.at(0, "col2").as_decimal()), "1");
    EXPECT_EQ(jet::decimal_text(t.at(0, "col6").as_decimal()), "-1");
    EXPECT_TRUE(t.at(0, "col6").as_decimal().negative);
}

TEST(ReaderDecode, DatesBeforeEighteenNinetyNineCountTheTimeForward) {
    // mdbtools prints these as "1900-01-00"; the stored doubles are negative day numbers whose
    // fraction is the time of day counted forward (-1.1 is 1899-12-29 02:24), as Jet reads them.
    const Table t = read_table("access/jet3/testIndexCodesV1997.mdb", "Table6");
    std::vector<std::string> early;
    for (std::size_t r = 0; r < t.rows.size(); ++r)
        if (!t.at(r, "data").is_null() && t.at(r, "data").as_date().days < 0) early.push_back(jet::iso_text(t.at(r, "data").as_date()));
    EXPECT_NE(std::find(early.begin(), early.end(), "1899-12-29T02:24:00"), early.end());
    EXPECT_NE(std::find(early.begin(), early.end(), "1805-06-12T00:00:00"), early.end());
}

TEST(ReaderDecode, LongValuesInlineSingleRowAndChained) {
    const Table t = read_table("access/jet4/test2V2000.mdb", "MSP_PROJECTS");
    ASSERT_EQ(t.rows.size(), 1u);
    // 8 characters: stored inline in the row.
    EXPECT_EQ(t.at(0, "PROJ_INFO_CAL_NAME").as_text_raw().size(), 8u);
    // 348 characters: one long-value row.
    const std::string author = t.at(0, "PROJ_PROP_AUTHOR").as_text_raw();
    EXPECT_EQ(author.size(), 348u);
    EXPECT_EQ(author.rfind("Jon Iles this is a a vawesrasoih", 0), 0u);
    // 22970 bytes: a chain of long-value rows over several pages.
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

TEST(ReaderDecode, DeletedRowsAreSkipped) {
    for (const char* file : {"access/jet3/delTestV1997.mdb"}) {
        const Table t = read_table(file, "Table");
        EXPECT_EQ(first_columns(t, "a"), (std::vector<std::string>{"z", "v"}));
    }
}

TEST(ReaderDecode, Jet4CompressedAndUncompressedText) {
    const Table t = read_table("access/jet4/testUnicodeCompV2003.mdb", "Table");
    ASSERT_EQ(t.rows.size(), 8u);
    EXPECT_EQ(t.at(0, "Unicode").as_text_raw(), "only ascii chars");
    EXPECT_EQ(t.at(1, "Unicode").as_text_raw(), "ääkkösiä");
    EXPECT_EQ(t.at(2, "Unicode").as_text_raw(), "Мир");
    EXPECT_EQ(t.at(4, "Unicode").as_text_raw(), "漢字仮名交じり文");
    EXPECT_EQ(t.at(6, "Unicode").as_text_raw(), "ümlaut");
}

TEST(ReaderDecode, CompressedTextSwitchesModes) {
    // "ab" compressed, switch, U+0416 uncompressed, switch, "c" compressed.
    const std::uint8_t bytes[] = {0xFF, 0xFE, 'a', 'b', 0x00, 0x16, 0x04, 0x00, 'c'};
    EXPECT_EQ(jet::decode_jet4_text(bytes, sizeof bytes), "abЖc");
    const jet::Bytes round = jet::encode_compressed_unicode(jet::utf8_to_utf16("Müller"));
    EXPECT_EQ(round.size(), 8u);
    EXPECT_EQ(jet::decode_jet4_text(round.data(), round.size()), "Müller");
    const jet::Bytes wide = jet::encode_compressed_unicode(jet::utf8_to_utf16("Dvořák"));
    EXPECT_EQ(wide.size(), 12u);  // ř is beyond U+00FF: stored uncompressed
    EXPECT_EQ(jet::decode_jet4_text(wide.data(), wide.size()), "Dvořák");
}

TEST(ReaderDecode, Jet3CodePageText) {
    const std::uint8_t bytes[] = {'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, ' ', 0x9C, ' ', 0x81};
    // 0x81 is undefined in Windows-1252; Windows (and we) map it to U+0081, mdbtools shows '?'.
    EXPECT_EQ(jet::decode_code_page(bytes, sizeof bytes, 1252), "Müller € œ \xC2\x81");
    EXPECT_EQ(jet::encode_code_page("Müller € œ Dvořák", 1252),
              (jet::Bytes{'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, ' ', 0x9C, ' ', 'D', 'v', 'o', '?', 0xE1, 'k'}));
}

TEST(ReaderDecode, MemberNamesBeyondLatin1) {
    const Table t = read_table("scoring/TLPlayerDB.mdb", "PlayerNameDatabase");
    EXPECT_EQ(t.rows.size(), 200u);
    std::vector<std::string> names = first_columns(t, "Name");
    for (const char* wanted : {"Dvořák", "Müller", "O'Brien"}) {
        const bool found = std::any_of(names.begin(), names.end(),
                                       [&](const std::string& n) { return n.find(wanted) != std::string::npos; });
        EXPECT_TRUE(found) << wanted;
    }
}

TEST(ReaderDecode, DeletedColumnsKeepTheOthersInPlace) {
    const Table t = read_table("access/jet4/delColTestV2000.mdb", "Table1");
    EXPECT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.def.columns.size(), 4u);
    EXPECT_GT(t.def.max_columns, t.def.columns.size());
}

TEST(ReaderDecode, PropertiesOfTablesAndColumns) {
    auto db = jet::Database::open(fixture("scoring/club-evening.tlw"));
    const jet::TableProperties p = db->properties("ReceivedData");
    const auto* source = jet::column_properties(p, "source");
    ASSERT_NE(source, nullptr);
    const jet::Property* dv = jet::find_property(*source, "DefaultValue");
    ASSERT_NE(dv, nullptr);
    EXPECT_EQ(jet::to_text(dv->value), "\"terminal\"");
    const jet::Property* score = jet::find_property(*jet::column_properties(p, "Score"), "defaultvalue");
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(jet::to_text(score->value), "0");

    auto old = jet::Database::open(fixture("access/jet3/testV1997.mdb"));
    const jet::TableProperties p3 = old->properties("Table1");
    const jet::Property* azl = jet::find_property(*jet::column_properties(p3, "A"), "AllowZeroLength");
    ASSERT_NE(azl, nullptr);
    EXPECT_EQ(azl->value, jet::Value::boolean(false));
    EXPECT_NE(jet::find_property(p3.table, "Orientation"), nullptr);
}

}  // namespace
