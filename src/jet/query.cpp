// Query planning and execution for record sets. An index is used only where its order
// cannot lose a matching row: integer literals on integer columns, exact floating values,
// text only for equality; ranges only on ascending columns.
#include "jet/query.h"

#include "jet/base/error.h"
#include "jet/index/index.h"
#include "jet/index/index_key.h"
#include "jet/rows/row_decode.h"
#include "jet/rows/row_encode.h"
#include "jet/sql/sql_eval.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace jet {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The literal as a value of the column's type when the conversion is exact, for key encoding.
std::optional<Value> exact_key_value(const Column& column, const Value& literal, bool equality) {
    if (literal.is_null()) return std::nullopt;
    switch (column.type) {
    case ColumnType::Byte: case ColumnType::Integer: case ColumnType::Long: {
        if (!literal.is_numeric() || literal.kind() == ValueKind::DateTime) return std::nullopt;
        const double d = to_double(literal);
        if (d != std::floor(d)) return std::nullopt;
        const double lo = column.type == ColumnType::Byte ? 0 : column.type == ColumnType::Integer ? -32768 : -2147483648.0;
        const double hi = column.type == ColumnType::Byte ? 255 : column.type == ColumnType::Integer ? 32767 : 2147483647.0;
        if (d < lo || d > hi) return std::nullopt;
        if (column.type == ColumnType::Byte) return Value::byte(static_cast<std::uint8_t>(d));
        if (column.type == ColumnType::Integer) return Value::integer(static_cast<std::int16_t>(d));
        return Value::long_(static_cast<std::int32_t>(d));
    }
    case ColumnType::Double:
        if (literal.kind() == ValueKind::Double || literal.kind() == ValueKind::Long || literal.kind() == ValueKind::Integer)
            return Value::double_(to_double(literal));
        return std::nullopt;
    case ColumnType::DateTime:
        if (literal.kind() == ValueKind::DateTime) return literal;
        return std::nullopt;
    case ColumnType::Text:
        if (equality && literal.kind() == ValueKind::Text) return literal;
        return std::nullopt;
    default: return std::nullopt;
    }
}

struct Plan {
    const LogicalIndex* logical = nullptr;
    KeyRange range;
    int score = 0;
};

std::optional<Plan> plan_for(const Database& db, const TableDef& def, const LogicalIndex& li,
                             const std::vector<sql::SimpleCondition>& conditions) {
    const RealIndex& ri = def.real_indexes[li.real_index];
    std::vector<Value> equal;
    Plan plan;
    plan.logical = &li;
    for (const IndexColumn& ic : ri.columns) {
        const Column* column = def.column_by_number(ic.column_number);
        if (!column) return std::nullopt;
        const auto position = static_cast<std::size_t>(column - def.columns.data());
        std::optional<Value> eq;
        for (const sql::SimpleCondition& c : conditions)
            if (c.column->column == position && c.op == sql::CompareOp::Eq)
                if ((eq = exact_key_value(*column, c.literal, true))) break;
        if (eq) {
            equal.push_back(*eq);
            plan.score += 2;
            continue;
        }
        if (!ic.ascending) break;
        const Format& f = db.format();
        for (const sql::SimpleCondition& c : conditions) {
            if (c.column->column != position || c.op == sql::CompareOp::Eq || c.op == sql::CompareOp::Ne) continue;
            const std::optional<Value> v = exact_key_value(*column, c.literal, false);
            if (!v) continue;
            std::vector<Value> bound = equal;
            bound.push_back(*v);
            const Bytes key = encode_key_prefix(f, def, ri, bound);
            const bool lower = c.op == sql::CompareOp::Gt || c.op == sql::CompareOp::Ge;
            const bool inclusive = c.op == sql::CompareOp::Ge || c.op == sql::CompareOp::Le;
            (lower ? plan.range.lower : plan.range.upper) = KeyBound{key, inclusive};
            plan.score += 1;
        }
        break;
    }
    if (plan.score == 0) return std::nullopt;
    if (!equal.empty()) {
        const Bytes prefix = encode_key_prefix(db.format(), def, ri, equal);
        if (!plan.range.lower) plan.range.lower = KeyBound{prefix, true};
        if (!plan.range.upper) plan.range.upper = KeyBound{prefix, true};
    }
    return plan;
}

// Equalities of the whole condition between an integer column and a literal it can hold
// exactly, as the stored bytes the column must have: a scan passes over rows whose bytes
// differ (or are Null) without decoding them, since such a row cannot satisfy the condition.
struct StoredEquality {
    const Column* column;
    Bytes stored;
};

std::vector<StoredEquality> stored_equalities(const Database& db, const TableDef& def,
                                              const std::vector<sql::SimpleCondition>& conditions) {
    std::vector<StoredEquality> out;
    for (const sql::SimpleCondition& c : conditions) {
        const Column& column = def.columns.at(c.column->column);
        const bool integer = column.type == ColumnType::Byte || column.type == ColumnType::Integer ||
                             column.type == ColumnType::Long;
        if (c.op != sql::CompareOp::Eq || !integer) continue;
        if (const std::optional<Value> exact = exact_key_value(column, c.literal, true))
            out.push_back({&column, encode_field(def, column, *exact, db.format())});
    }
    return out;
}

// The columns a bound condition reads.
void mark_columns(const sql::Expr& e, std::vector<bool>& wanted) {
    if (e.kind == sql::ExprKind::Column && e.column < wanted.size()) wanted[e.column] = true;
    for (const sql::Expr& a : e.args) mark_columns(a, wanted);
}

}  // namespace

bool is_select(std::string_view text) {
    const std::string_view t = trim(text);
    if (t.size() < 7) return false;
    for (std::size_t i = 0; i < 6; ++i)
        if (std::toupper(static_cast<unsigned char>(t[i])) != "SELECT"[i]) return false;
    return std::isspace(static_cast<unsigned char>(t[6])) || t[6] == '*';
}

std::vector<RowId> matching_rows(Database& db, const TableDef& def, const sql::Expr& where,
                                 std::optional<std::string>* index_used, std::size_t limit) {
    std::vector<RowId> rows;

    const std::vector<const sql::Expr*> parts = sql::conjuncts(where);
    std::vector<sql::SimpleCondition> conditions;
    conditions.reserve(parts.size());
    for (const sql::Expr* part : parts)
        if (std::optional<sql::SimpleCondition> c = sql::simple_condition(*part)) conditions.push_back(*c);
    std::optional<Plan> best;
    for (const LogicalIndex& li : def.logical_indexes) {
        try {
            std::optional<Plan> p = plan_for(db, def, li, conditions);
            if (p && (!best || p->score > best->score)) best = std::move(p);
        } catch (const JetError&) {
            // A literal this engine cannot turn into key bytes: that index cannot serve it.
        }
    }

    // Only the columns the condition reads are decoded.
    std::vector<bool> wanted(def.columns.size(), false);
    mark_columns(where, wanted);
    std::vector<Value> values;
    auto keep = [&](RowId id) {
        if (db.read_row(def, id, values, &wanted) && sql::matches(where, sql::ValuesRow(values))) rows.push_back(id);
    };
    if (best) {
        if (index_used) *index_used = best->logical->name;
        IndexCursor cursor(db.file(), def, def.real_indexes[best->logical->real_index], best->range);
        while (rows.size() < limit && cursor.next()) keep(cursor.row());
    } else {
        const std::vector<StoredEquality> equalities = stored_equalities(db, def, conditions);
        const RowDecoder decoder(db.file(), def);
        const Database::RowFilter may_match = [&](const std::uint8_t* row, std::size_t size) {
            for (const StoredEquality& e : equalities) {
                const auto field = decoder.fixed_field(row, size, *e.column);
                if (field && !std::equal(field->begin(), field->end(), e.stored.begin(), e.stored.end())) return false;
            }
            return true;
        };
        db.scan(def, [&](RowId id, const std::vector<Value>& row) {
            if (sql::matches(where, sql::ValuesRow(row))) rows.push_back(id);
            return rows.size() < limit;
        }, &wanted, equalities.empty() ? nullptr : &may_match);
    }
    return rows;
}

std::vector<sql::ColumnInfo> column_infos(const TableDef& def) {
    std::vector<sql::ColumnInfo> out;
    out.reserve(def.columns.size());
    for (const Column& c : def.columns) out.push_back({c.name, c.type});
    return out;
}

std::string_view bare_table_name(std::string_view text) {
    std::string_view name = trim(text);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
    return name;
}

QueryResult run_query(Database& db, std::string_view text, std::size_t limit) {
    QueryResult result;
    if (!is_select(text)) {
        result.table = db.table_def(bare_table_name(text));
        result.rows = db.row_ids(*result.table);
        return result;
    }
    sql::Statement stmt = sql::parse_sql(text);
    auto* select = std::get_if<sql::SelectStmt>(&stmt);
    if (!select) throw JetError(err::InvalidSqlStatement, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    result.table = db.table_def(select->table);
    const TableDef& def = *result.table;
    if (!select->where) {
        result.rows = db.row_ids(def);
        return result;
    }
    sql::Expr& where = *select->where;
    sql::bind(where, column_infos(def));   // unknown names (3061), then mismatched types (3464)
    result.rows = matching_rows(db, def, where, &result.index_used, limit);
    return result;
}

bool any_row(Database& db, std::string_view text) {
    StatementScope scope(db.file(), StatementLock::Mode::Shared);
    return !run_query(db, text, 1).rows.empty();
}

}  // namespace jet
