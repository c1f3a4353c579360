// What the independent readers and our own tools say about a database file, for tests that
// compare them: mdbtools' mdb-export and the npm package mdb-reader as rows of named text
// fields, `tlw check` as its exit status and report.
#pragma once

#include "support/child_process.h"

#include <map>
#include <string>
#include <vector>

namespace testsupport {

using TextRow = std::map<std::string, std::string>;

// The rows of a table as mdb-export prints them (no quoting, '\x1f' between fields); fails the
// current test when mdb-export does not succeed.
std::vector<TextRow> mdb_export(const std::string& file, const std::string& table);

// Every user table as mdb-reader sees it (through tests/node/dump.mjs), by name: numbers in
// plain decimal, Booleans 1/0, Null as ""; fails the current test when mdb-reader does not
// succeed.
std::map<std::string, std::vector<TextRow>> mdb_reader_tables(const std::string& file);

// `tlw check FILE`; the result's out/err hold the report.
ProcessResult tlw_check(const std::string& file);
// Fails the current test, with the report, when `tlw check FILE` finds a problem.
void expect_tlw_check_passes(const std::string& file);

}  // namespace testsupport
