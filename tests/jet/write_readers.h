// What the write tests build with and compare against: our checker and the rows that the
// independent readers (mdbtools' mdb-export, node's mdb-reader) see, as text.
#pragma once

#include "jet/check.h"
#include "jet/schema/table_design.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"
#include "support/lines.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace writetest {

namespace fs = std::filesystem;
using namespace testsupport;

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

inline fs::path club_evening_copy(const std::string& dir_name) {
    return copy_fixture("scoring/club-evening.tlw", fresh_dir(dir_name));
}

inline void expect_check_passes(const fs::path& file) {
    const jet::CheckReport report = jet::check_database(file.string());
    EXPECT_TRUE(report.ok()) << joined(report.problems);
}

inline std::vector<TextRow> mdb_rows(const fs::path& file, const std::string& table) {
    return mdb_export(file.string(), table);
}

inline std::vector<TextRow> node_rows(const fs::path& file, const std::string& table) {
    const auto tables = mdb_reader_tables(file.string());
    const auto it = tables.find(table);
    if (it == tables.end()) ADD_FAILURE() << "mdb-reader does not list table " << table;
    return it == tables.end() ? std::vector<TextRow>{} : it->second;
}

}  // namespace writetest
