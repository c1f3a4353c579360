// Running the statements that change data: UPDATE ... SET ... [WHERE ...] and
// INSERT INTO name (col, ...) VALUES (...), and appending one record with fields set by
// name. Each runs under the database's exclusive statement lock, converts every new value
// for its column first (3464 when one does not convert) and changes nothing when any record
// is refused.
#pragma once

#include "jet/database.h"
#include "jet/schema/table_def.h"
#include "jet/table_write.h"
#include "jet/value/value.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace jet {

// Returns the number of records the statement changed (matched rows for UPDATE, 1 for INSERT).
// Other statements are 3129.
long execute(Database& db, std::string_view sql);

// A record's fields by name (case-insensitive; 3265 for an unknown name); the others take
// their defaults.
using Fields = std::vector<std::pair<std::string, Value>>;
RowId append_record(Database& db, std::string_view table, const Fields& fields);
// Appends the records in one write. When one is refused, those before it are stored and its
// error is raised, as if each had been appended on its own.
std::vector<RowId> append_records(Database& db, std::string_view table, const std::vector<Fields>& records);
// The same with values by position in `seen` (the table as a record set saw it), matched to the
// table's columns by name should its design have changed since.
std::vector<RowId> append_records(Database& db, const TableDef& seen, const std::vector<NewValues>& records);

}  // namespace jet
