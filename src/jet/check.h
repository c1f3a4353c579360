// The database verifier behind `tlw check`: reads a file page by page and checks that its
// structures agree with each other (page types and owners, the global and table usage maps,
// row counts, rows, indexes against their tables, autonumber counters, long-value chains).
// Like every open of ours, opening the file first undoes a write that a killed writer of ours
// left unfinished (its rollback journal); otherwise it never writes. What it finds is returned
// as a report, not thrown.
#pragma once

#include <string>
#include <vector>

namespace jet {

struct CheckReport {
    std::string path;
    std::vector<std::string> checked;   // what was verified, one line per table and per index
    std::vector<std::string> problems;  // disagreements, each naming the page, table, index or column
    std::vector<std::string> notes;     // legal but worth knowing (e.g. pages lost to a crash)
    bool ok() const { return problems.empty(); }
};

// Checks the database at `path`. Only a file that cannot be opened at all is thrown (JetError);
// everything found inside the file lands in the report. `as_found`: a rollback journal left by a
// writer that died is not undone first, so the file is checked as other programs see it.
CheckReport check_database(const std::string& path, bool as_found = false);

}  // namespace jet
