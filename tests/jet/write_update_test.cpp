// UPDATE on files other programs wrote: fixed and variable columns, Null to a value and
// back, rows that outgrow their place (moved within the page or to another page behind an
// overflow pointer), indexed columns, and Jet 3 rows long enough to need jump tables.
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/storage/page_file.h"
#include "jet/storage/page_rows.h"
#include "write_readers.h"

#include <gtest/gtest.h>

namespace {

using jet::Value;
using testsupport::fresh_dir;
using namespace writetest;

struct Found {
    jet::RowId id;
    std::vector<Value> values;
};

std::vector<Found> select(jet::Database& db, const std::string& table, const std::string& column, const Value& v) {
    const jet::TableDef def = *db.table_def(table);
    const jet::Column* c = def.find_column(column);
    std::vector<Found> out;
    const auto at = static_cast<std::size_t>(c - def.columns.data());
    db.scan(def, [&](jet::RowId id, const std::vector<Value>& values) {
        if (values[at] == v) out.push_back({id, values});
        return true;
    });
    return out;
}

const std::string kSeat =
    "UPDATE PlayerNumbers SET Name = 'Hélène O''Brien-Sørensen', [Number] = '012345', TimeLog = '2026-12-06 18:16:25', "
    "Processed = False WHERE Section = 2 And Table = 3 And Direction = \"E\"";

TEST(WriteUpdate, SimulatorStatementsOnTheScoringDatabase) {
    const fs::path file = club_evening_copy("write_update_scoring");
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_EQ(jet::execute(*db, "UPDATE Tables SET LogOnOff = 1 WHERE Section = 1 And Table = 2"), 1);
        EXPECT_EQ(jet::execute(*db, "UPDATE Tables SET UpdateFromRound = 0"), 16);
        EXPECT_EQ(jet::execute(*db, kSeat), 1);
        const auto seat = select(*db, "PlayerNumbers", "Number", Value::text("012345"));
        ASSERT_EQ(seat.size(), 1u);
        const jet::TableDef def = *db->table_def("PlayerNumbers");
        EXPECT_EQ(seat[0].values[def.find_column("Name") - def.columns.data()], Value::text("Hélène O'Brien-Sørensen"));
        EXPECT_EQ(jet::iso_text(seat[0].values[def.find_column("TimeLog") - def.columns.data()].as_date()),
                  "2026-12-06T18:16:25");
    }
    expect_check_passes(file);
    bool seen = false;
    for (const auto& row : mdb_rows(file, "PlayerNumbers"))
        if (row.value("Number", "") == "012345") {
            seen = true;
            EXPECT_EQ(row["Name"], "Hélène O'Brien-Sørensen");
            EXPECT_EQ(row["Section"], 2);
        }
    EXPECT_TRUE(seen);
    int logged_on = 0;
    for (const auto& row : mdb_rows(file, "Tables")) logged_on += row["LogOnOff"] == 1;
    EXPECT_EQ(logged_on, 1);
    if (node_reader_installed()) {
        int named = 0;
        for (const auto& row : node_rows(file, "PlayerNumbers")) named += row["Name"] == "Hélène O'Brien-Sørensen";
        EXPECT_EQ(named, 1);
    }
}

// A row made longer than its slot moves; the header row keeps its id and points at it. Then
// Null again (shorter: back in place, padded) and a value again.
TEST(WriteUpdate, GrowingRowMovesBehindAnOverflowPointerAndNullComesBack) {
    const fs::path file = club_evening_copy("write_update_overflow");
    const std::string long_name(40, 'x');
    jet::RowId id;
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        const auto rows = select(*db, "PlayerNumbers", "Direction", Value::text("W"));
        ASSERT_FALSE(rows.empty());
        id = rows.front().id;
        for (int round = 0; round < 3; ++round) {
            // Every seat grows: the page fills and later rows must move to another page.
            EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = '" + long_name + "', [Number] = '" +
                                            std::to_string(round) + "'"),
                      64);
        }
        const jet::Bytes page = db->file().read_page(id.page);
        const jet::RowBounds b = jet::data_page_row(page, db->format(), id.page, id.row);
        EXPECT_NE(b.flags & jet::row_flags::Overflow, 0) << "the header row should point elsewhere";
        EXPECT_EQ(select(*db, "PlayerNumbers", "Name", Value::text(long_name)).size(), 64u);
    }
    expect_check_passes(file);
    auto mdb = mdb_rows(file, "PlayerNumbers");
    ASSERT_EQ(mdb.size(), 64u);
    for (const auto& row : mdb) EXPECT_EQ(row["Name"], long_name);
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = Null, TimeLog = Null WHERE Direction = \"W\""), 16);
        EXPECT_EQ(select(*db, "PlayerNumbers", "Name", Value::null()).size(), 16u);
        EXPECT_EQ(jet::execute(*db, "UPDATE PlayerNumbers SET Name = 'Ann' WHERE Direction = \"W\""), 16);
        EXPECT_EQ(select(*db, "PlayerNumbers", "Name", Value::text("Ann")).size(), 16u);
    }
    expect_check_passes(file);
    mdb = mdb_rows(file, "PlayerNumbers");
    ASSERT_EQ(mdb.size(), 64u);
    int ann = 0;
    for (const auto& row : mdb) ann += row["Name"] == "Ann";
    EXPECT_EQ(ann, 16);
    if (node_reader_installed()) {
        EXPECT_EQ(node_rows(file, "PlayerNumbers").size(), 64u);
    }
}

TEST(WriteUpdate, IndexedColumnChangesMoveTheIndexEntries) {
    for_each_indexed_copy("write_update_indexed", [](const fs::path& file) {
        {
            auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
            const jet::TableDef def = *db->table_def("Table1");
            std::string sets;
            for (const jet::Column& c : def.columns)
                if (c.type == jet::ColumnType::Text) sets += (sets.empty() ? "" : ", ") + ("[" + c.name + "] = 'zz changed'");
            ASSERT_FALSE(sets.empty());
            EXPECT_GT(jet::execute(*db, "UPDATE Table1 SET " + sets), 0);
        }
        expect_check_passes(file);
    });
}

// Jet 3 rows past 256 bytes carry jump tables; every reader must find the columns after them.
TEST(WriteUpdate, Jet3RowsWithJumpTables) {
    const fs::path file = fresh_dir("write_jet3_jumps") / "wide.mdb";
    jet::create_database(file.string(), jet::FileVersion::Jet3);
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::TableDesign design;
        design.name = "Wide";
        design.columns = {column_spec("ID", jet::ColumnType::Long, 0, true)};
        for (int i = 1; i <= 6; ++i) design.columns.push_back(column_spec("T" + std::to_string(i), jet::ColumnType::Text, 255));
        design.columns.push_back(column_spec("Last", jet::ColumnType::Long));
        design.indexes = {{"PrimaryKey", {{"ID"}}, true}};
        jet::create_table(*db, design);
        for (int n = 0; n < 12; ++n) {
            std::vector<std::pair<std::string, Value>> fields{{"Last", Value::long_(n)}};
            // Lengths chosen so offsets cross 256, 512, ... and sometimes land right at a boundary.
            for (int i = 1; i <= 6; ++i) fields.emplace_back("T" + std::to_string(i), Value::text(std::string(static_cast<std::size_t>(40 * n + 3 * i) % 256, static_cast<char>('a' + i))));
            jet::append_record(*db, "Wide", fields);
        }
        EXPECT_EQ(jet::execute(*db, "UPDATE Wide SET T6 = 'short' WHERE ID = 12"), 1);
        EXPECT_EQ(jet::execute(*db, "UPDATE Wide SET T1 = '" + std::string(250, 'q') + "' WHERE ID = 2"), 1);
    }
    expect_check_passes(file);
    const auto mdb = mdb_rows(file, "Wide");
    ASSERT_EQ(mdb.size(), 12u);
    auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadOnly);
    const jet::TableDef def = *db->table_def("Wide");
    std::size_t seen = 0;
    db->scan(def, [&](jet::RowId, const std::vector<Value>& v) {
        for (const auto& m : mdb) {
            if (m["ID"] != v[0].as_int32()) continue;
            ++seen;
            EXPECT_EQ(m["Last"], v[7].as_int32());
            for (std::size_t c = 1; c <= 6; ++c) {
                const std::string ours = v[c].is_null() ? "" : v[c].as_text_raw();
                EXPECT_EQ(m.value("T" + std::to_string(c), std::string()), ours) << "ID " << m["ID"] << " T" << c;
            }
        }
        return true;
    });
    EXPECT_EQ(seen, 12u);
    EXPECT_EQ(select(*db, "Wide", "T1", Value::text(std::string(250, 'q'))).size(), 1u);
}

}  // namespace
