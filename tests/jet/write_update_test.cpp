// UPDATE where a row outgrows its place (moved to another page behind an overflow pointer,
// then changed again where it now lies) and Jet 3 rows long enough to need jump tables.
// (Updates of the simulator's statements and of indexed columns in files Access wrote are
// compared with every reader by reader_agreement_test.)
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/storage/page_rows.h"
#include "write_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using jet::Value;
using namespace writetest;

std::vector<jet::RowId> select(jet::Database& db, const std::string& table, const std::string& column, const Value& v) {
    const jet::TableDef def = *db.table_def(table);
    const auto at = static_cast<std::size_t>(def.find_column(column) - def.columns.data());
    std::vector<jet::RowId> out;
    db.scan(def, [&](jet::RowId id, const std::vector<Value>& values) {
        if (values[at] == v) out.push_back(id);
        return true;
    });
    return out;
}

std::size_t count(const std::vector<TextRow>& rows, const std::string& column, const std::string& value) {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [&](const TextRow& r) { return r.at(column) == value; }));
}

// Every seat grows until the page is full and later rows move; the header row keeps its id and
// points at the copy. Updated again (same length, then Null, then a value) the copy is
// rewritten where it lies and stays the only record readers see.
TEST(WriteUpdate, GrowingRowMovesBehindAnOverflowPointerAndIsChangedWhereItLies) {
    const fs::path file = club_evening_copy("write_update_overflow");
    const std::string long_name(40, 'x');
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        const jet::RowId id = select(*db, "PlayerNumbers", "Direction", Value::text("W")).at(0);
        for (int round = 0; round < 3; ++round)
            EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = '" + long_name + "', [Number] = '" +
                                            std::to_string(round) + "'"),
                      64);
        const jet::RowBounds b = jet::data_page_row(db->file().read_page(id.page), db->format(), id.page, id.row);
        EXPECT_NE(b.flags & jet::row_flags::Overflow, 0) << "the header row should point elsewhere";
    }
    expect_check_passes(file);
    EXPECT_EQ(count(mdb_rows(file, "PlayerNumbers"), "Name", long_name), 64u);
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = Null, TimeLog = Null WHERE Direction = \"W\""), 16);
        EXPECT_EQ(select(*db, "PlayerNumbers", "Name", Value::null()).size(), 16u);
        EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = 'Ann' WHERE Direction = \"W\""), 16);
    }
    expect_check_passes(file);
    for (const auto& rows : {mdb_rows(file, "PlayerNumbers"), node_rows(file, "PlayerNumbers")}) {
        EXPECT_EQ(rows.size(), 64u);
        EXPECT_EQ(count(rows, "Name", "Ann"), 16u);
    }
}

// Jet 3 rows past 256 bytes carry jump tables; mdbtools must find the columns after them.
TEST(WriteUpdate, Jet3RowsWithJumpTables) {
    const fs::path file = fresh_dir("write_jet3_jumps") / "wide.mdb";
    jet::create_database(file.string(), jet::FileVersion::Jet3);
    std::map<std::string, TextRow> want;
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::TableDesign design{"Wide", {column_spec("ID", jet::ColumnType::Long, 0, true)}, {{"PrimaryKey", {{"ID"}}, true}}};
        for (int i = 1; i <= 6; ++i) design.columns.push_back(column_spec("T" + std::to_string(i), jet::ColumnType::Text, 255));
        design.columns.push_back(column_spec("Last", jet::ColumnType::Long));
        jet::create_table(*db, design);
        for (int n = 0; n < 12; ++n) {
            TextRow& row = want[std::to_string(n + 1)] = {{"ID", std::to_string(n + 1)}, {"Last", std::to_string(n)}};
            std::vector<std::pair<std::string, Value>> fields{{"Last", Value::long_(n)}};
            // Lengths chosen so offsets cross 256, 512, ... and sometimes land right at a boundary.
            for (int i = 1; i <= 6; ++i) {
                const std::string text(static_cast<std::size_t>(40 * n + 3 * i) % 256, static_cast<char>('a' + i));
                fields.emplace_back("T" + std::to_string(i), Value::text(text));
                row["T" + std::to_string(i)] = text;
            }
            jet::append_record(*db, "Wide", fields);
        }
        EXPECT_EQ(jet::execute(*db, "UPDATE Wide SET T6 = 'short' WHERE ID = 12"), 1);
        EXPECT_EQ(jet::execute(*db, "UPDATE Wide SET T1 = '" + std::string(250, 'q') + "' WHERE ID = 2"), 1);
        want["12"]["T6"] = "short";
        want["2"]["T1"] = std::string(250, 'q');
    }
    expect_check_passes(file);
    std::map<std::string, TextRow> theirs;
    for (const TextRow& row : mdb_rows(file, "Wide")) theirs[row.at("ID")] = row;
    EXPECT_EQ(theirs, want);
}

}  // namespace
