// What the write tests compare against: the bytes of a file, our checker, and the rows that
// the independent readers (mdbtools' mdb-json, node's mdb-reader when installed) see.
#pragma once

#include "jet/check.h"
#include "jet/schema/table_design.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace writetest {

namespace fs = std::filesystem;
using testsupport::file_bytes;

inline jet::ColumnDesign column_spec(std::string name, jet::ColumnType type, std::uint16_t size = 50,
                                   bool autonumber = false, bool required = false) {
    jet::ColumnDesign c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    c.autonumber = autonumber;
    c.required = required;
    return c;
}

// A writable copy of the scoring database, alone in a fresh directory named `dir_name`.
inline fs::path club_evening_copy(const std::string& dir_name) {
    return testsupport::copy_fixture("scoring/club-evening.tlw", testsupport::fresh_dir(dir_name));
}

// Runs `test` on a fresh copy of each file Access wrote with indexes over Table1 (Jet 4 with
// single and composite keys, Jet 3), all copies in one directory named `dir_name`.
inline void for_each_indexed_copy(const std::string& dir_name, const std::function<void(const fs::path&)>& test) {
    const fs::path dir = testsupport::fresh_dir(dir_name);
    for (const char* fixture : {"access/jet4/indexTestV2000.mdb", "access/jet4/compIndexTestV2000.mdb",
                                "access/jet3/indexTestV1997.mdb"}) {
        SCOPED_TRACE(fixture);
        test(testsupport::copy_fixture(fixture, dir));
    }
}

inline void expect_check_passes(const fs::path& file) {
    const jet::CheckReport report = jet::check_database(file.string());
    std::string problems;
    for (const auto& p : report.problems) problems += p + "\n";
    EXPECT_TRUE(report.ok()) << problems;
}

// mdbtools' rows of a table, one JSON object each.
inline std::vector<nlohmann::json> mdb_rows(const fs::path& file, const std::string& table) {
    const auto r = testsupport::run_process({"mdb-json", file.string(), table});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<nlohmann::json> rows;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty()) rows.push_back(nlohmann::json::parse(line));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return rows;
}

inline bool node_reader_installed() {
    return fs::exists(fs::path(TALLIMO_NODE_DIR) / "node_modules" / "mdb-reader");
}

// mdb-reader's user tables by name, each {"name", "columns", "rows"}.
inline std::map<std::string, nlohmann::json> node_tables(const fs::path& file) {
    const auto r = testsupport::run_process({"node", (fs::path(TALLIMO_NODE_DIR) / "dump.mjs").string(), file.string()});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::map<std::string, nlohmann::json> out;
    if (r.exit_code != 0) return out;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    for (const auto& t : doc["tables"]) out[t["name"].get<std::string>()] = t;
    return out;
}

// mdb-reader's rows of a table (empty when it is not installed).
inline std::vector<nlohmann::json> node_rows(const fs::path& file, const std::string& table) {
    if (!node_reader_installed()) return {};
    const auto tables = node_tables(file);
    const auto it = tables.find(table);
    if (it == tables.end()) {
        ADD_FAILURE() << "mdb-reader does not list table " << table;
        return {};
    }
    return it->second["rows"].get<std::vector<nlohmann::json>>();
}

}  // namespace writetest
