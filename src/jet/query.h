// Choosing the rows of a record set: a table name gives every row in table order;
// "SELECT * FROM t WHERE c" uses an index when one fits the condition (equalities on its
// leading columns, optionally a range on the next) and otherwise scans. Whichever way the
// rows are found, the whole condition is checked on each of them.
#pragma once

#include "jet/database.h"
#include "jet/schema/table_def.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct QueryResult {
    TableDefPtr table;
    std::vector<RowId> rows;                   // in delivery order
    std::optional<std::string> index_used;     // the logical index that served the query
};

inline constexpr std::size_t kAllRows = static_cast<std::size_t>(-1);

// `text` is a table name (optionally in brackets) or a SELECT statement; errors: 3078 for a
// missing table, 3061 for an unknown column, syntax errors from the parser. A SELECT with a
// WHERE stops after `limit` rows.
QueryResult run_query(Database& db, std::string_view text, std::size_t limit = kAllRows);

// Whether `text` (as run_query takes it) finds any row: it reads no further than the first.
// One read statement of its own.
bool any_row(Database& db, std::string_view text);

// The rows of `def` satisfying a condition already bound to its columns, through an index
// when one fits (its logical name stored in `index_used`; rows in key order), else by a scan
// (rows in table order); the first `limit` of them.
std::vector<RowId> matching_rows(Database& db, const TableDef& def, const sql::Expr& where,
                                 std::optional<std::string>* index_used = nullptr, std::size_t limit = kAllRows);

// The table's columns as a condition is bound to them (names viewing `def`'s).
std::vector<sql::ColumnInfo> column_infos(const TableDef& def);

// Whether `text` is a statement rather than a table name.
bool is_select(std::string_view text);
// A table name as a record set names it: trimmed, brackets removed.
std::string_view bare_table_name(std::string_view text);

}  // namespace jet
