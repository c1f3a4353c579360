#include "jet/execute.h"

#include "jet/base/error.h"
#include "jet/query.h"
#include "jet/rows/coerce.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "jet/storage/lock_file.h"
#include "jet/table_write.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>

namespace jet {

namespace {

std::vector<std::string> column_names(const TableDef& table) {
    std::vector<std::string> out;
    for (const Column& c : table.columns) out.push_back(c.name);
    return out;
}

std::size_t column_position(const TableDef& table, std::string_view name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == name) return i;   // spelt as the table spells it: the usual case
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (sql::same_name(table.columns[i].name, name)) return i;
    throw JetError(err::ItemNotFound, "Item not found in this collection.");
}

long run_update(Database& db, sql::UpdateStmt& stmt) {
    StatementScope scope(db.file(), StatementLock::Mode::Exclusive);
    TableWrite write(db, stmt.table);
    const TableDef& table = write.table();
    const auto infos = column_infos(table);
    sql::validate_columns(sql::Statement(stmt), column_names(table));
    std::vector<std::size_t> targets;
    for (sql::Assignment& a : stmt.assignments) {
        sql::bind(a.value, infos);
        targets.push_back(column_position(table, a.column));
    }
    if (stmt.where) sql::bind(*stmt.where, infos);

    // Every new value is worked out before the first record is written.
    struct Change {
        RowId id;
        std::vector<Value> current;
        NewValues changes;
    };
    std::vector<Change> changes;
    auto change = [&](RowId id, const std::vector<Value>& values) {
        const sql::ValuesRow row(values);
        Change c{id, values, NewValues(table.columns.size())};
        for (std::size_t i = 0; i < stmt.assignments.size(); ++i) {
            const Column& column = table.columns[targets[i]];
            c.changes[targets[i]] = coerce_for_column(sql::evaluate(stmt.assignments[i].value, row), column.type, column.name);
        }
        changes.push_back(std::move(c));
    };
    if (stmt.where) {
        std::vector<Value> values;
        for (RowId id : matching_rows(db, table, *stmt.where))
            if (db.read_row(table, id, values)) change(id, values);
    } else {
        db.scan(table, [&](RowId id, const std::vector<Value>& values) {
            change(id, values);
            return true;
        });
    }
    for (const Change& c : changes) write.change(c.id, c.current, c.changes);
    write.commit();
    return static_cast<long>(changes.size());
}

long run_insert(Database& db, sql::InsertStmt& stmt) {
    StatementScope scope(db.file(), StatementLock::Mode::Exclusive);
    TableWrite write(db, stmt.table);
    const TableDef& table = write.table();
    sql::validate_columns(sql::Statement(stmt), column_names(table));
    NewValues values(table.columns.size());
    const std::vector<Value> none;
    for (std::size_t i = 0; i < stmt.columns.size(); ++i) {
        sql::bind(stmt.values[i], {});
        const std::size_t at = column_position(table, stmt.columns[i]);
        const Column& column = table.columns[at];
        values[at] = coerce_for_column(sql::evaluate(stmt.values[i], sql::ValuesRow(none)), column.type, column.name);
    }
    write.add(std::move(values));
    write.commit();
    return 1;
}

}  // namespace

long execute(Database& db, std::string_view text) {
    sql::Statement stmt = sql::parse_sql(text);
    if (auto* u = std::get_if<sql::UpdateStmt>(&stmt)) return run_update(db, *u);
    if (auto* i = std::get_if<sql::InsertStmt>(&stmt)) return run_insert(db, *i);
    throw JetError(err::InvalidSqlStatement, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                                             "'SELECT', or 'UPDATE'.");
}

namespace {

NewValues new_values(const TableDef& table, const Fields& fields) {
    NewValues values(table.columns.size());
    for (const auto& [name, value] : fields) {
        const std::size_t at = column_position(table, name);
        values[at] = coerce_for_column(value, table.columns[at].type, table.columns[at].name);
    }
    return values;
}

bool same_columns(const TableDef& table, const TableDef& seen) {
    return std::equal(table.columns.begin(), table.columns.end(), seen.columns.begin(), seen.columns.end(),
                      [](const Column& a, const Column& b) { return a.name == b.name; });
}

// `given` by position in `seen`; by name when the table's columns are no longer seen's (`same`
// says whether they still are).
NewValues new_values(const TableDef& table, const TableDef& seen, const NewValues& given, bool same) {
    NewValues values(table.columns.size());
    for (std::size_t i = 0; i < given.size() && i < seen.columns.size(); ++i) {
        if (!given[i]) continue;
        const std::size_t at = same ? i : column_position(table, seen.columns[i].name);
        values[at] = coerce_for_column(*given[i], table.columns[at].type, table.columns[at].name);
    }
    return values;
}

// Gives a record's values for the table as a write now sees it.
using RecordMaker = std::function<NewValues(std::size_t record)>;

// Stages records 0..count-1 (`maker` makes, for the table as it now is, the function that gives
// each record's values) and stores them in one write.
std::vector<RowId> append_all(Database& db, std::string_view table_name, std::size_t count,
                              const std::function<RecordMaker(const TableDef&)>& maker) {
    StatementScope scope(db.file(), StatementLock::Mode::Exclusive);
    std::size_t staged = 0;
    try {
        TableWrite write(db, table_name);
        const RecordMaker make = maker(write.table());
        for (; staged < count; ++staged) write.add(make(staged));
        return write.commit();
    } catch (const JetError&) {
        // A refused record may leave index entries of its own staged: the records before it are
        // staged afresh and stored, as if each had been appended on its own.
        if (staged == 0 || staged == count) throw;
        TableWrite earlier(db, table_name);
        const RecordMaker make = maker(earlier.table());
        for (std::size_t r = 0; r < staged; ++r) earlier.add(make(r));
        earlier.commit();
        throw;
    }
}

}  // namespace

std::vector<RowId> append_records(Database& db, std::string_view table_name, const std::vector<Fields>& records) {
    return append_all(db, table_name, records.size(), [&](const TableDef& table) -> RecordMaker {
        return [&](std::size_t r) { return new_values(table, records[r]); };
    });
}

std::vector<RowId> append_records(Database& db, const TableDef& seen, const std::vector<NewValues>& records) {
    return append_all(db, seen.name, records.size(), [&](const TableDef& table) -> RecordMaker {
        const bool same = same_columns(table, seen);
        return [&, same](std::size_t r) { return new_values(table, seen, records[r], same); };
    });
}

RowId append_record(Database& db, std::string_view table_name, const Fields& fields) {
    return append_records(db, table_name, {fields}).at(0);
}

}  // namespace jet
