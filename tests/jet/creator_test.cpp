// New databases and tables made by the creator, read back by our reader, mdbtools and
// mdb-reader: the same tables, columns and values everywhere, every structure consistent
// (tlw check), in every format we write.
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/schema/properties.h"
#include "jet/table_write.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using jet::ColumnType;
using jet::Value;
using namespace writetest;

std::string mdb_count(const fs::path& file, const std::string& table) {
    return run_process({"mdb-count", file.string(), table}).out;
}

class NewDatabase : public ::testing::TestWithParam<jet::FileVersion> {
protected:
    fs::path dir = fresh_dir("creator_" + std::to_string(static_cast<int>(GetParam())) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path file = dir / "new.mdb";
    bool ace() const { return GetParam() != jet::FileVersion::Jet3 && GetParam() != jet::FileVersion::Jet4; }
};

class EmptyDatabase : public NewDatabase {};

TEST_P(EmptyDatabase, HoldsTheSystemTablesEveryReaderOpens) {
    jet::create_database(file, GetParam());
    const auto db = jet::Database::open(file);
    EXPECT_EQ(db->version(), static_cast<std::uint8_t>(GetParam()));
    // 2010 and later sort text as "General", the system tables' names included.
    const std::uint8_t sort_version = GetParam() == jet::FileVersion::Ace2010 || GetParam() == jet::FileVersion::Ace2016;
    EXPECT_EQ(db->sort_version(), sort_version);
    EXPECT_EQ(db->table_def("MSysObjects")->find_column("Name")->sort_version, sort_version);

    std::vector<std::string> tables = {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"};
    if (ace()) {
        tables.push_back("MSysComplexColumns");
        for (const char* kind : {"UnsignedByte", "Short", "Long", "IEEESingle", "IEEEDouble", "GUID", "Decimal", "Text",
                                 "Attachment"})
            tables.push_back(std::string("MSysComplexType_") + kind);
    }
    std::set<std::string> names;
    for (const auto& e : db->catalog()) names.insert(e.name);
    std::set<std::string> expected(tables.begin(), tables.end());
    expected.insert({"Tables", "Databases", "Relationships", "MSysDb"});
    EXPECT_EQ(names, expected);
    expect_check_passes(file);

    std::string listing;
    for (const auto& t : tables) listing += t + "\n";
    const auto listed = run_process({"mdb-tables", "-S", "-1", file.string()});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_EQ(listed.out, listing);
    EXPECT_EQ(mdb_count(file, "MSysObjects"), std::to_string(tables.size() + 4) + "\n");
    EXPECT_EQ(mdb_count(file, "MSysACEs"), std::to_string(16u + 2 * (tables.size() - 4)) + "\n");
    const auto named = run_process({"mdb-ver", file.string()});
    const std::map<jet::FileVersion, std::string> mdb_names = {
        {jet::FileVersion::Jet3, "JET3"},     {jet::FileVersion::Jet4, "JET4"},     {jet::FileVersion::Ace2007, "ACE12"},
        {jet::FileVersion::Ace2010, "ACE14"}, {jet::FileVersion::Ace2016, "ACE16"}};
    EXPECT_EQ(named.out, mdb_names.at(GetParam()) + "\n");
    EXPECT_TRUE(mdb_reader_tables(file.string()).empty());   // mdb-reader opens it and finds no user table

    const auto info = run_process({TLW_PATH, "info", file.string()});
    EXPECT_NE(info.out.find(jet::version_name(static_cast<std::uint8_t>(GetParam()))), std::string::npos) << info.out;
}

// A table with a column of every common type, an autonumber primary key, a unique index, a
// descending multi-column index and the properties the engine enforces.
jet::TableDesign every_kind() {
    jet::TableDesign t;
    t.name = "Every Kind";
    auto id = column_spec("ID", ColumnType::Long);
    id.autonumber = true;
    auto code = column_spec("Code", ColumnType::Text, 10);
    code.required = true;
    auto label = column_spec("Label", ColumnType::Text, 40);
    label.default_value = "\"none\"";
    label.allow_zero_length = true;
    auto count = column_spec("Count", ColumnType::Integer);
    count.default_value = "7";
    t.columns = {id,
                 column_spec("Flag", ColumnType::Boolean),
                 column_spec("Small", ColumnType::Byte),
                 count,
                 column_spec("Total", ColumnType::Long),
                 column_spec("Price", ColumnType::Currency),
                 column_spec("Ratio", ColumnType::Single),
                 column_spec("Measure", ColumnType::Double),
                 column_spec("Stamp", ColumnType::DateTime),
                 code,
                 label,
                 column_spec("Notes", ColumnType::Memo),
                 column_spec("Picture", ColumnType::Ole),
                 column_spec("Key", ColumnType::Guid)};
    jet::IndexDesign pk{"PrimaryKey", {{"ID"}}};
    pk.primary = true;
    jet::IndexDesign unique_code{"Code", {{"Code"}}};
    unique_code.unique = true;
    jet::IndexDesign by_count{"CountStamp", {{"Count"}, {"Stamp", false}}};
    t.indexes = {pk, unique_code, by_count};
    return t;
}

jet::NewValues values_by_name(const jet::TableDef& t, const std::map<std::string, Value>& values) {
    jet::NewValues out(t.columns.size());
    for (const auto& [name, v] : values) out.at(static_cast<std::size_t>(t.find_column(name) - t.columns.data())) = v;
    return out;
}

jet::Guid sample_guid() {
    jet::Guid g;
    for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(0x10 + i);
    return g;
}

// Two records of defaults and one of every type; a third like the second shares its keys in
// the non-unique index. The unique index refuses a code differing only in case (General sort
// orders ignore it), and a second table of the name is refused.
TEST_P(NewDatabase, TablesOfEveryTypeReadTheSameEverywhere) {
    jet::create_database(file, GetParam());
    {
        auto db = jet::Database::open(file, jet::PageFile::Access::ReadWrite);
        jet::create_table(*db, every_kind());
        const auto add = [&](const std::map<std::string, Value>& values) {
            jet::TableWrite w(*db, "Every Kind");
            w.add(values_by_name(w.table(), values));
            w.commit();
        };
        add({{"Flag", Value::boolean(true)},
             {"Small", Value::byte(200)},
             {"Count", Value::integer(-12)},
             {"Total", Value::long_(123456789)},
             {"Price", Value::currency({123450})},
             {"Ratio", Value::single(0.5f)},
             {"Measure", Value::double_(-2.25)},
             {"Stamp", Value::date(jet::from_civil({2026, 12, 6, 18, 16, 25, 0}))},
             {"Code", Value::text("O'Brien")},
             {"Label", Value::text("Müller")},
             {"Notes", Value::text(std::string(3000, 'n'))},
             {"Picture", Value::binary({1, 2, 3, 4})},
             {"Key", Value::guid(sample_guid())}});
        add({{"Code", Value::text("B")}});
        add({{"Code", Value::text("C")}});
        EXPECT_EQ(error_number([&] { add({{"Code", Value::text("o'BRIEN")}}); }), 3022);
        EXPECT_EQ(error_number([&] { jet::create_table(*db, every_kind()); }), 3010);
    }
    expect_check_passes(file);

    auto db = jet::Database::open(file);
    ASSERT_EQ(db->tables().size(), 1u);
    const jet::TableDef def = *db->table_def("Every Kind");
    std::vector<std::vector<Value>> rows;
    db->scan(def, [&](jet::RowId, const std::vector<Value>& r) {
        rows.push_back(r);
        return true;
    });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(def.find_column("Code")->sort_version, db->sort_version());   // text sorts as the database does
    auto at = [&](std::size_t row, const char* name) { return rows[row][static_cast<std::size_t>(def.find_column(name) - def.columns.data())]; };
    EXPECT_EQ(at(1, "ID"), Value::long_(2));
    EXPECT_EQ(at(1, "Label"), Value::text("none"));   // DefaultValue from the properties we wrote
    EXPECT_EQ(at(1, "Count"), Value::integer(7));
    EXPECT_EQ(at(0, "Key"), Value::guid(sample_guid()));
    const auto* code_props = jet::column_properties(db->properties("Every Kind"), "Code");
    ASSERT_NE(code_props, nullptr);
    ASSERT_NE(jet::find_property(*code_props, "Required"), nullptr);
    EXPECT_EQ(jet::find_property(*code_props, "Required")->value, Value::boolean(true));

    const auto mdb = mdb_rows(file, "Every Kind");
    ASSERT_EQ(mdb.size(), 3u);
    EXPECT_EQ(mdb[0], (TextRow{{"ID", "1"}, {"Flag", "1"}, {"Small", "200"}, {"Count", "-12"}, {"Total", "123456789"},
                               {"Price", "12.3450"}, {"Ratio", "0.5"}, {"Measure", "-2.25"}, {"Stamp", "12/06/26 18:16:25"},
                               {"Code", "O'Brien"}, {"Label", "Müller"}, {"Notes", std::string(3000, 'n')},
                               {"Picture", "\x01\x02\x03\x04"}, {"Key", "{13121110-1514-1716-18191A1B1C1D1E1F}"}}));
    EXPECT_EQ(mdb[1].at("Label"), "none");
    EXPECT_EQ(mdb[1].at("Flag"), "0");

    const auto node = node_rows(file, "Every Kind");
    ASSERT_EQ(node.size(), 3u);
    EXPECT_EQ(node[0], (TextRow{{"ID", "1"}, {"Flag", "1"}, {"Small", "200"}, {"Count", "-12"}, {"Total", "123456789"},
                                {"Price", "12.3450"}, {"Ratio", "0.5"}, {"Measure", "-2.25"}, {"Stamp", "2026-12-06T18:16:25"},
                                {"Code", "O'Brien"}, {"Label", "Müller"}, {"Notes", std::string(3000, 'n')},
                                {"Picture", "01020304"}, {"Key", "13121110-1514-1716-1819-1a1b1c1d1e1f"}}));
    EXPECT_EQ(node[1].at("Code"), "B");
    EXPECT_EQ(node[1].at("Notes"), "");
}

// So many columns that the definition runs over several pages.
TEST_P(NewDatabase, WideTablesContinueTheirDefinitionOnMorePages) {
    jet::create_database(file, GetParam());
    jet::TableDesign wide;
    wide.name = "Wide";
    for (int i = 0; i < 200; ++i)
        wide.columns.push_back(column_spec("A rather long column name number " + std::to_string(i),
                                           i % 2 ? ColumnType::Long : ColumnType::Text, 20));
    {
        auto db = jet::Database::open(file, jet::PageFile::Access::ReadWrite);
        jet::create_table(*db, wide);
        const jet::TableDef def = *db->table_def("Wide");
        EXPECT_GT(def.tdef_pages.size(), 2u);
        jet::TableWrite w(*db, "Wide");
        w.add(values_by_name(w.table(), {{"A rather long column name number 0", Value::text("first")},
                                         {"A rather long column name number 199", Value::long_(199)}}));
        w.commit();
    }
    expect_check_passes(file);
    const auto mdb = mdb_rows(file, "Wide");
    ASSERT_EQ(mdb.size(), 1u);
    EXPECT_EQ(mdb[0].at("A rather long column name number 0"), "first");
    EXPECT_EQ(mdb[0].at("A rather long column name number 199"), "199");
    const auto node = node_rows(file, "Wide");
    ASSERT_EQ(node.size(), 1u);
    EXPECT_EQ(node[0].size(), 200u);
}

const auto kVersions = ::testing::Values(jet::FileVersion::Jet4, jet::FileVersion::Jet3, jet::FileVersion::Ace2007,
                                         jet::FileVersion::Ace2010, jet::FileVersion::Ace2016);
// Named by their FileVersion number: 0 Jet 3, 1 Jet 4, 2 Access 2007, 3 Access 2010, 5 Access 2016.
const auto kVersionNumber = [](const auto& p) { return "Version" + std::to_string(static_cast<int>(p.param)); };
INSTANTIATE_TEST_SUITE_P(Formats, EmptyDatabase, kVersions, kVersionNumber);
INSTANTIATE_TEST_SUITE_P(Formats, NewDatabase, kVersions, kVersionNumber);

}  // namespace
