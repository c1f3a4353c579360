// Appending records to files other programs wrote and to tables we created: defaults,
// autonumbers, row counts, indexes and usage maps as every reader sees them afterwards, and
// refusals (Required, AllowZeroLength, text length, duplicate keys) that leave the file
// byte for byte as it was.
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/recordset.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using jet::Value;
using testsupport::fresh_dir;
using namespace writetest;

std::vector<std::vector<Value>> rows_of(jet::Database& db, const std::string& table) {
    std::vector<std::vector<Value>> rows;
    db.scan(*db.table_def(table), [&](jet::RowId, const std::vector<Value>& v) {
        rows.push_back(v);
        return true;
    });
    return rows;
}

std::size_t column(const jet::TableDef& def, const std::string& name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (def.columns[i].name == name) return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

const std::string kResult =
    "INSERT INTO ReceivedData (Section, [Table], Round, Board, PairNS, PairEW, Declarer, [NS/EW], Contract, Result, "
    "LeadCard, Remarks, DateLog, TimeLog, Processed) VALUES (1, 2, 3, 7, 1, 2, 3, 'NS', '3NT', '+1', 'SA', '', "
    "'2026-12-06', '18:16:25', False)";

// What the independent readers see of appended results is compared in reader_agreement_test.
TEST(WriteAppend, ResultRecordsGetDefaultsAndAutonumbers) {
    const fs::path file = club_evening_copy("write_append_results");
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_EQ(jet::execute(*db, kResult), 1);
        for (int board = 8; board <= 9; ++board)
            jet::append_record(*db, "ReceivedData", {{"Section", Value::long_(1)}, {"Table", Value::long_(2)},
                                                     {"Round", Value::long_(3)}, {"Board", Value::long_(board)},
                                                     {"Contract", Value::text("4S")}});
        const jet::TableDef def = *db->table_def("ReceivedData");
        EXPECT_EQ(def.row_count, 3u);
        EXPECT_EQ(def.last_autonumber, 3u);
        const auto rows = rows_of(*db, "ReceivedData");
        ASSERT_EQ(rows.size(), 3u);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][column(def, "ID")], Value::long_(static_cast<std::int32_t>(i + 1)));
            EXPECT_EQ(rows[i][column(def, "Source")], Value::text("terminal"));   // DefaultValue
            EXPECT_EQ(rows[i][column(def, "Score")], Value::long_(0));
        }
        EXPECT_EQ(rows[0][column(def, "Remarks")], Value::text(""));
        EXPECT_EQ(rows[1][column(def, "Remarks")], Value::null());
        EXPECT_EQ(jet::iso_text(rows[0][column(def, "TimeLog")].as_date()), "1899-12-30T18:16:25");
    }
    expect_check_passes(file);
}

// Thousands of records: new data pages, the owned map beyond its inline window, index splits.
TEST(WriteAppend, ManyRecordsGrowTheFileAndKeepEveryIndex) {
    for_each_indexed_copy("write_append_many", [](const fs::path& file) {
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
        if (node_reader_installed()) {
            EXPECT_EQ(node_rows(file, "Table1").size(), before + 1500);
        }
    });
}

// Inside one statement scope cached definitions are checked once, but every commit of ours
// must show: the row count after each append, a table created meanwhile.
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
    }

    // The statement fails with `number` and `message`, and the file is unchanged.
    void expect_refused(const std::string& sql, int number, const std::string& message) {
        const std::string before = file_bytes(file);
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        try {
            jet::execute(*db, sql);
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.number(), number) << e.description();
            if (!message.empty()) {
                EXPECT_EQ(e.description(), message);
            }
        }
        EXPECT_EQ(file_bytes(file), before) << sql;
    }

    fs::path file = fresh_dir("write_refusals") / "players.mdb";
};

// Each refusal has its own number (and Jet's text where Access users see it).
TEST_F(Refusals, EachRuleRefusesWithItsNumberAndWritesNothing) {
    struct Case {
        const char* sql;
        int number;
        const char* message;
    };
    const Case cases[] = {
        {"INSERT INTO Players (Number, Club) VALUES (8, 'South')", 3314,
         "The field 'Players.Name' cannot contain a Null value because the Required property for this field is set "
         "to True. Enter a value in this field."},
        {"INSERT INTO Players (Number, Name, Club) VALUES (8, 'Bo', '')", 3315,
         "Field 'Players.Club' cannot be a zero-length string."},
        {"INSERT INTO Players (Number, Name) VALUES (8, 'Bartholomew')", 3163,
         "The field is too small to accept the amount of data you attempted to add. Try inserting or pasting less "
         "data."},
        {"INSERT INTO Players (Number, Name) VALUES (7, 'Bo')", 3022, ""},
        {"UPDATE Players SET Number = 'seven'", 3464, "Data type mismatch in criteria expression."},
    };
    for (const Case& c : cases) expect_refused(c.sql, c.number, c.message);
}

TEST_F(Refusals, UpdateMakingTwoRowsEqualInAUniqueIndex) {
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::execute(*db, "INSERT INTO Players (Number, Name) VALUES (8, 'Bo')");
    }
    expect_refused("UPDATE Players SET Number = 9", 3022, "");
}

// Held records are stored together; one refused among them stores those before it (as
// appending them one by one would) and nothing of itself or those after it, even when it
// was refused by its second index after its first had taken its key.
TEST_F(Refusals, HeldRecordsUpToARefusedOneAreStored) {
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        auto players = jet::RecordSet::open(db, "Players");
        for (auto [number, name] : {std::pair{8, "Bo"}, {9, "Cy"}, {7, "Dee"}, {10, "Ed"}}) {
            players->add_new();
            players->set_field("Number", Value::long_(number));
            players->set_field("Name", Value::text(name));
            players->hold();
        }
        EXPECT_EQ(rows_of(*db, "Players").size(), 1u) << "held records were stored before flush()";
        try {
            players->flush();
            ADD_FAILURE() << "the duplicate Number was accepted";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.number(), 3022) << e.description();
        }
        std::vector<std::string> names;
        for (const auto& row : rows_of(*db, "Players")) names.push_back(jet::to_text(row[2]));
        EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Bo", "Cy"}));
        EXPECT_EQ(db->table_def("Players")->last_autonumber, 3u);
    }
    expect_check_passes(file);
    EXPECT_EQ(mdb_rows(file, "Players").size(), 3u);
}

}  // namespace
