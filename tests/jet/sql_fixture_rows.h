// Tables of the shared fixture files as an independent reader (mdbtools) sees them, for the
// SQL tests: the columns with their types and every row's values, in stored order.
#pragma once

#include "jet/sql/sql_eval.h"
#include "jet/value/value.h"

#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace sqltest {

struct FixtureTable {
    std::vector<std::string> names;                  // complete before `columns` views them
    std::vector<jet::sql::ColumnInfo> columns;
    std::vector<std::vector<jet::Value>> rows;

    FixtureTable() = default;
    FixtureTable(FixtureTable&&) = default;          // moving keeps the names where they are
    FixtureTable(const FixtureTable&) = delete;
};

using testsupport::fixture;

inline jet::ColumnType type_from_schema(const std::string& t) {
    using jet::ColumnType;
    if (t.rfind("Long Integer", 0) == 0) return ColumnType::Long;
    if (t.rfind("Integer", 0) == 0) return ColumnType::Integer;
    if (t.rfind("Text", 0) == 0) return ColumnType::Text;
    if (t.rfind("Memo", 0) == 0) return ColumnType::Memo;
    if (t.rfind("Boolean", 0) == 0) return ColumnType::Boolean;
    if (t.rfind("DateTime", 0) == 0) return ColumnType::DateTime;
    if (t.rfind("Double", 0) == 0) return ColumnType::Double;
    if (t.rfind("Single", 0) == 0) return ColumnType::Single;
    if (t.rfind("Currency", 0) == 0) return ColumnType::Currency;
    if (t.rfind("Byte", 0) == 0) return ColumnType::Byte;
    return ColumnType::Binary;
}

// Columns from `mdb-schema`, rows from `mdb-json` (numbers and texts; a missing key is Null).
inline FixtureTable load_table(const std::string& file, const std::string& table) {
    FixtureTable t;
    const std::string schema = testsupport::run_process({"mdb-schema", "-T", table, file}).out;
    std::vector<jet::ColumnType> types;
    std::size_t pos = 0;
    while ((pos = schema.find("\n\t[", pos)) != std::string::npos) {
        const std::size_t close = schema.find(']', pos);
        const std::size_t type_begin = schema.find_first_not_of('\t', close + 1);
        const std::size_t type_end = schema.find_first_of(",\n", type_begin);
        t.names.push_back(schema.substr(pos + 3, close - pos - 3));
        types.push_back(type_from_schema(schema.substr(type_begin, type_end - type_begin)));
        pos = close;
    }
    for (std::size_t i = 0; i < t.names.size(); ++i) t.columns.push_back({t.names[i], types[i]});
    const std::string json = testsupport::run_process({"mdb-json", file, table}).out;
    std::size_t line_begin = 0;
    while (line_begin < json.size()) {
        std::size_t line_end = json.find('\n', line_begin);
        if (line_end == std::string::npos) line_end = json.size();
        const auto obj = nlohmann::json::parse(json.substr(line_begin, line_end - line_begin));
        std::vector<jet::Value> row;
        for (const auto& c : t.columns) {
            const std::string name(c.name);
            if (!obj.contains(name)) {
                row.push_back(jet::Value::null());
                continue;
            }
            const auto& v = obj[name];
            switch (c.type) {
            case jet::ColumnType::Long: row.push_back(jet::Value::long_(v.get<std::int32_t>())); break;
            case jet::ColumnType::Integer: row.push_back(jet::Value::integer(v.get<std::int16_t>())); break;
            case jet::ColumnType::Boolean: row.push_back(jet::Value::boolean(v.get<int>() != 0)); break;
            case jet::ColumnType::Double: row.push_back(jet::Value::double_(v.get<double>())); break;
            default: row.push_back(jet::Value::text(v.is_string() ? v.get<std::string>() : v.dump())); break;
            }
        }
        t.rows.push_back(std::move(row));
        line_begin = line_end + 1;
    }
    return t;
}

inline const FixtureTable& scoring_table(const std::string& table) {
    static std::map<std::string, FixtureTable> cache;
    auto it = cache.find(table);
    if (it == cache.end()) it = cache.emplace(table, load_table(fixture("scoring/club-evening.tlw"), table)).first;
    return it->second;
}

inline const FixtureTable& members() {
    static const FixtureTable t = load_table(fixture("scoring/TLPlayerDB.mdb"), "PlayerNameDatabase");
    return t;
}

// The rows of `t` a WHERE condition selects, bound to the table's columns.
inline std::vector<std::size_t> select_rows(const FixtureTable& t, std::string_view where) {
    jet::sql::Statement stmt = jet::sql::parse_sql("SELECT * FROM T WHERE " + std::string(where));
    jet::sql::validate_columns(stmt, t.names);
    jet::sql::Expr& cond = *std::get<jet::sql::SelectStmt>(stmt).where;
    jet::sql::bind(cond, t.columns);
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < t.rows.size(); ++i)
        if (jet::sql::matches(cond, jet::sql::ValuesRow(t.rows[i]))) out.push_back(i);
    return out;
}

}  // namespace sqltest
