// Appending records to files other programs wrote and to tables we created: row counts,
// autonumbers, indexes and usage maps as every reader sees them afterwards, and refusals
// (Required, AllowZeroLength, text length, duplicate keys) that leave the file byte for byte as
// it was. (Defaults on appended results are compared across readers by reader_agreement_test.)
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/recordset.h"
#include "jet/storage/usage_map_write.h"
#include "write_readers.h"

#include <gtest/gtest.h>

namespace {

using jet::Value;
using namespace writetest;

std::vector<std::vector<Value>> rows_of(jet::Database& db, const std::string& table) {
    std::vector<std::vector<Value>> rows;
    db.scan(*db.table_def(table), [&](jet::RowId, const std::vector<Value>& v) {
        rows.push_back(v);
        return true;
    });
    return rows;
}

// Thousands of records into files Access wrote (Jet 4 with single and composite keys, Jet 3):
// new data pages, the owned map beyond its inline window, index splits.
TEST(WriteAppend, ManyRecordsGrowTheFileAndKeepEveryIndex) {
    const fs::path dir = fresh_dir("write_append_many");
    for (const char* fixture : {"access/jet4/indexTestV2000.mdb", "access/jet4/compIndexTestV2000.mdb",
                                "access/jet3/indexTestV1997.mdb"}) {
        SCOPED_TRACE(fixture);
        const fs::path file = copy_fixture(fixture, dir);
        std::size_t before = 0;
        {
            auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
            const jet::TableDef def = *db->table_def("Table1");
            before = rows_of(*db, "Table1").size();
            for (int i = 0; i < 1500; ++i) {
                std::vector<std::pair<std::string, Value>> fields;
                for (const jet::Column& c : def.columns) {
                    if (c.type == jet::ColumnType::Long) fields.emplace_back(c.name, Value::long_(100000 + i * 7));
                    if (c.type == jet::ColumnType::Text) fields.emplace_back(c.name, Value::text("row " + std::to_string(i)));
                }
                jet::append_record(*db, "Table1", fields);
            }
            EXPECT_EQ(rows_of(*db, "Table1").size(), before + 1500);
        }
        expect_check_passes(file);
        EXPECT_EQ(mdb_rows(file, "Table1").size(), before + 1500);
        EXPECT_EQ(node_rows(file, "Table1").size(), before + 1500);
    }
}

// Inside one statement scope cached definitions are checked once, but every commit of ours
// must show: the row count after each append, a table created meanwhile.
// A table's usage map keeps every page it lists: when a page past its inline window moves the
// window (600), in the window (601), and when a page too far for any window turns it into
// bitmap pages (3000, then 100000 in a second bitmap page).
TEST(UsageMaps, KeepEveryPageWhenTheWindowMovesAndWhenBitmapPagesTakeOver) {
    const fs::path file = testsupport::fresh_dir("usage_map_growth") / "maps.mdb";
    jet::create_database(file.string(), jet::FileVersion::Jet4);
    auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
    const std::uint32_t map = db->table_def("MSysQueries")->owned_map;
    std::vector<std::uint32_t> expected = jet::usage_map_pages(db->file(), map);
    ASSERT_TRUE(expected.empty());
    jet::AtomicWrite write(db->file());
    for (std::uint32_t page : {600u, 601u, 3000u, 100000u}) {
        jet::usage_map_add(db->file(), map, page);
        expected.push_back(page);
        EXPECT_EQ(jet::usage_map_pages(db->file(), map), expected) << "after adding page " << page;
    }
}

TEST(WriteAppend, OneScopeSeesEachOfItsOwnCommits) {
    const fs::path file = club_evening_copy("write_append_scope");
    auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
    jet::StatementScope scope(db->file(), jet::StatementLock::Mode::Exclusive);
    const std::uint32_t before = db->table_def("ReceivedData")->row_count;
    for (std::uint32_t i = 1; i <= 3; ++i) {
        jet::append_record(*db, "ReceivedData", {{"Section", Value::long_(1)}, {"Board", Value::long_(static_cast<std::int32_t>(i))}});
        EXPECT_EQ(db->table_def("ReceivedData")->row_count, before + i);
    }
    EXPECT_FALSE(db->find_table("Later"));
    jet::create_table(*db, {"Later", {column_spec("ID", jet::ColumnType::Long)}, {}});
    EXPECT_TRUE(db->find_table("Later"));
    EXPECT_EQ(rows_of(*db, "ReceivedData").size(), before + 3);
}

// Players 7 Ann and 8 Bo; Number is a unique index, Name required, Club refuses "".
class Refusals : public ::testing::Test {
protected:
    void SetUp() override {
        jet::create_database(file.string());
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::TableDesign design;
        design.name = "Players";
        design.columns = {column_spec("ID", jet::ColumnType::Long, 0, true), column_spec("Number", jet::ColumnType::Long),
                        column_spec("Name", jet::ColumnType::Text, 10, false, true),
                        column_spec("Club", jet::ColumnType::Text, 20)};
        design.indexes = {{"PrimaryKey", {{"ID"}}, true}, {"Number", {{"Number"}}, false, true}};
        jet::create_table(*db, design);
        jet::execute(*db, "INSERT INTO Players (Number, Name, Club) VALUES (7, 'Ann', 'North')");
        jet::execute(*db, "INSERT INTO Players (Number, Name) VALUES (8, 'Bo')");
    }

    fs::path file = fresh_dir("write_refusals") / "players.mdb";
};

// Each refusal has its own number (and Jet's text where Access users see it), and the file
// stays as it was.
TEST_F(Refusals, EachRuleRefusesWithItsNumberAndWritesNothing) {
    const struct {
        const char* sql;
        int number;
        const char* message;
    } cases[] = {
        {"INSERT INTO Players (Number, Club) VALUES (9, 'South')", 3314,
         "The field 'Players.Name' cannot contain a Null value because the Required property for this field is set "
         "to True. Enter a value in this field."},
        {"INSERT INTO Players (Number, Name, Club) VALUES (9, 'Cy', '')", 3315,
         "Field 'Players.Club' cannot be a zero-length string."},
        {"INSERT INTO Players (Number, Name) VALUES (9, 'Bartholomew')", 3163,
         "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting less "
         "data."},
        {"INSERT INTO Players (Number, Name) VALUES (7, 'Cy')", 3022, ""},
        {"UPDATE Players SET Number = 9", 3022, ""},   // makes two rows equal
        {"UPDATE Players SET Number = 'seven'", 3464, "Data type mismatch in criteria expression."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const std::string before = file_bytes(file);
        const jet::JetError e = error_of(
            [&] { jet::execute(*jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite), c.sql); });
        EXPECT_EQ(e.number(), c.number) << e.description();
        if (*c.message) {
            EXPECT_EQ(e.description(), c.message);
        }
        EXPECT_EQ(file_bytes(file), before);
    }
}

// Held records are stored together; one refused among them stores those before it (as
// appending them one by one would) and nothing of itself or those after it, even when it
// was refused by its second index after its first had taken its key.
TEST_F(Refusals, HeldRecordsUpToARefusedOneAreStored) {
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        auto players = jet::RecordSet::open(db, "Players");
        for (auto [number, name] : {std::pair{9, "Cy"}, {10, "Dee"}, {7, "Ed"}, {11, "Fay"}}) {
            players->add_new();
            players->set_field("Number", Value::long_(number));
            players->set_field("Name", Value::text(name));
            players->hold();
        }
        EXPECT_EQ(rows_of(*db, "Players").size(), 2u) << "held records were stored before flush()";
        EXPECT_EQ(error_number([&] { players->flush(); }), 3022);
        std::vector<std::string> names;
        for (const auto& row : rows_of(*db, "Players")) names.push_back(jet::to_text(row[2]));
        EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Bo", "Cy", "Dee"}));
        EXPECT_EQ(db->table_def("Players")->last_autonumber, 4u);
    }
    expect_check_passes(file);
    EXPECT_EQ(mdb_rows(file, "Players").size(), 4u);
}

}  // namespace
