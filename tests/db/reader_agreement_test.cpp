// Round trips with the independent readers: records appended and updated by our engine in
// copies of indexed databases written by Access (Jet 3 and Jet 4) and by Jackcess must be seen,
// value for value, by mdbtools (mdb-export) and by the npm package mdb-reader, with the
// unchanged records still there and `tlw check` passing.
#include "db/database.h"
#include "jet/value/value.h"
#include "support/child_process.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

// A table's rows as text by column name, keyed by one column's text.
using Rows = std::map<std::string, TextRow>;

Rows keyed(const std::vector<TextRow>& rows, const std::string& key) {
    Rows out;
    for (const auto& r : rows) out[r.at(key)] = r;
    return out;
}

// Our own reader, through the simulator's record sets.
std::vector<TextRow> our_rows(const std::string& file, const std::string& table, const std::vector<std::string>& columns) {
    db::Database database = db::Database::open(file);
    std::vector<TextRow> out;
    for (auto rs = database.open_recordset(table); !rs.at_end(); rs.move_next()) {
        TextRow row;
        for (const auto& c : columns) {
            const jet::Value v = rs.field(c);
            row[c] = v.is_null() ? "" : v.kind() == jet::ValueKind::Boolean ? (v.as_bool() ? "1" : "0") : jet::to_text(v);
        }
        out.push_back(std::move(row));
    }
    return out;
}

// Every reader sees exactly `expected` (rows by key; only the columns given are compared).
void expect_everyone_sees(const std::string& file, const std::string& table, const std::string& key,
                          const Rows& expected) {
    std::vector<std::string> columns;
    for (const auto& [name, value] : expected.begin()->second) columns.push_back(name);
    const std::map<std::string, std::vector<TextRow>> readers = {
        {"mdbtools", mdb_export(file, table)},
        {"mdb-reader", mdb_reader_tables(file)[table]},
        {"our reader", our_rows(file, table, columns)}};
    for (const auto& [reader, rows] : readers) {
        const Rows seen = keyed(rows, key);
        EXPECT_EQ(rows.size(), expected.size()) << reader << " on " << table;
        for (const auto& [k, want] : expected) {
            auto it = seen.find(k);
            if (it == seen.end()) {
                ADD_FAILURE() << reader << " misses " << table << " row " << key << "=" << k;
                continue;
            }
            for (const auto& [column, value] : want)
                EXPECT_EQ(it->second.at(column), value) << reader << ": " << table << " " << key << "=" << k;
        }
    }
}

Rows current(const std::string& file, const std::string& table, const std::string& key,
             const std::vector<std::string>& columns) {
    Rows out;
    for (const auto& row : mdb_export(file, table)) {
        TextRow kept;
        for (const auto& c : columns) kept[c] = row.at(c);
        out[row.at(key)] = kept;
    }
    return out;
}

TEST(ReaderAgreement, ScoringDatabaseAfterAppendsAndUpdates) {
    const std::string file = copy_fixture("scoring/club-evening.tlw", fresh_dir("agree-scoring")).string();
    Rows want_received;
    {
        db::Database database = db::Database::open(file);
        for (int i = 1; i <= 60; ++i) {
            const std::string remark = i % 3 ? "plain " + std::to_string(i) : "Müller's " + std::to_string(i);
            std::string escaped;
            for (char c : remark) escaped += c == '\'' ? std::string("''") : std::string(1, c);
            EXPECT_EQ(database.execute("INSERT INTO ReceivedData (Section, [Table], Round, Board, [NS/EW], Contract, "
                                       "Result, Remarks, Processed) VALUES (" +
                                       std::to_string(i % 2 + 1) + ", " + std::to_string(i % 8 + 1) + ", " +
                                       std::to_string(i % 7 + 1) + ", " + std::to_string(i) + ", 'NS', '3NT', '=', '" +
                                       escaped + "', " + (i % 2 ? "True" : "False") + ")"),
                      1);
            // Boards 1 to 10 are renumbered and flagged below.
            const std::string board = std::to_string(i <= 10 ? i + 100 : i);
            want_received[board] = {
                {"Section", std::to_string(i % 2 + 1)}, {"Table", std::to_string(i % 8 + 1)},
                {"Round", std::to_string(i % 7 + 1)},   {"Board", board},
                {"NS/EW", "NS"},                        {"Contract", "3NT"},
                {"Result", "="},                        {"Remarks", remark},
                {"Processed", i <= 10 || i % 2 ? "1" : "0"}, {"Source", "terminal"},
                {"Score", "0"}};
        }
        // Updates of an indexed and an unindexed column.
        for (int i = 1; i <= 10; ++i)
            EXPECT_EQ(database.execute("UPDATE ReceivedData SET Board = " + std::to_string(i + 100) +
                                       ", Processed = True WHERE Board = " + std::to_string(i)),
                      1);
        // Rows that grow twice move twice; the first copy must not linger as a record.
        for (std::size_t length : {120, 200})
            EXPECT_EQ(database.execute("UPDATE RoundData SET Extra = '" + std::string(length, 'x') +
                                       "' WHERE Section = 1 AND Round = 2"),
                      8);
    }
    // One more record through the tool a scoring program's script would use.
    const ProcessResult tool = run_process(
        {TLW_PATH, "sql", file, "INSERT INTO ReceivedData (Section, [Table], Round, Board) VALUES (2, 8, 7, 999)"});
    EXPECT_EQ(tool.exit_code, 0) << tool.err;
    want_received["999"] = {{"Section", "2"}, {"Table", "8"}, {"Round", "7"}, {"Board", "999"}, {"Source", "terminal"}};

    expect_tlw_check_passes(file);
    expect_everyone_sees(file, "ReceivedData", "Board", want_received);
    for (const auto& [reader, rows] : std::map<std::string, std::vector<TextRow>>{
             {"mdbtools", mdb_export(file, "RoundData")}, {"mdb-reader", mdb_reader_tables(file)["RoundData"]}}) {
        EXPECT_EQ(rows.size(), 112u) << reader;
        int grown = 0;
        for (const auto& row : rows)
            if (row.at("Section") == "1" && row.at("Round") == "2") grown += row.at("Extra") == std::string(200, 'x');
        EXPECT_EQ(grown, 8) << reader;
    }
}

// Access 97 and Access 2000 tables with a primary key and foreign-key indexes.
class AccessIndexedTables : public ::testing::TestWithParam<std::string> {};

TEST_P(AccessIndexedTables, AppendedAndUpdatedRecordsAreSeenByEveryReader) {
    const std::string file = copy_fixture(GetParam(), fresh_dir("agree-" + GetParam().substr(7, 4))).string();
    const std::vector<std::string> columns = {"id", "otherfk1", "otherfk2", "data"};
    Rows want = current(file, "Table1", "data", columns);
    {
        db::Database database = db::Database::open(file);
        for (int i = 0; i < 25; ++i) {
            // Foreign keys that exist in Table2 (0..2) and Table3 (10..13), as Access would insist.
            const std::string data = "added " + std::to_string(i);
            EXPECT_EQ(database.execute("INSERT INTO Table1 (id, otherfk1, otherfk2, data, otherfk3) VALUES (" +
                                       std::to_string(100 + i) + ", " + std::to_string(i % 3) + ", " + std::to_string(10 + i % 4) + ", '" + data +
                                       "', 0)"),
                      1);
            want[data] = {{"id", std::to_string(100 + i)}, {"otherfk1", std::to_string(i % 3)}, {"otherfk2", std::to_string(10 + i % 4)}, {"data", data}};
        }
        EXPECT_EQ(database.execute("UPDATE Table1 SET data = 'renamed', otherfk1 = 2 WHERE data = 'baz11-2'"), 1);
    }
    TextRow renamed = want.at("baz11-2");
    renamed["data"] = "renamed";
    renamed["otherfk1"] = "2";
    want.erase("baz11-2");
    want["renamed"] = renamed;

    expect_tlw_check_passes(file);
    expect_everyone_sees(file, "Table1", "data", want);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AccessIndexedTables,
                         ::testing::Values("access/jet3/indexTestV1997.mdb", "access/jet4/indexTestV2000.mdb"),
                         [](const auto& param_info) { return param_info.param.substr(7, 4); });

}  // namespace
