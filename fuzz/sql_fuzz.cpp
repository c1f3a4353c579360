// libFuzzer target for SQL text: any input either parses or is refused with one of the
// parser's Jet error numbers; a parsed statement is validated, bound and evaluated against
// a few rows of a RoundData-like table, and its SET / VALUES literals are coerced, where
// only the errors of those steps may come out. Anything else aborts.
#include "jet/base/error.h"
#include "jet/rows/coerce.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

using namespace jet;

const std::vector<sql::ColumnInfo>& columns() {
    static const std::vector<sql::ColumnInfo> c = {
        {"Section", ColumnType::Long},  {"Table", ColumnType::Integer}, {"Round", ColumnType::Byte},
        {"NS/EW", ColumnType::Text},    {"Name", ColumnType::Memo},     {"Processed", ColumnType::Boolean},
        {"TimeLog", ColumnType::DateTime}, {"Score", ColumnType::Double}, {"Fee", ColumnType::Currency},
    };
    return c;
}

const std::vector<std::vector<Value>>& rows() {
    static const std::vector<std::vector<Value>> r = {
        {Value::long_(1), Value::integer(2), Value::byte(3), Value::text("N"), Value::text("Seán O'Brien"), Value::boolean(false),
         Value::date(DateTime{46362.5}), Value::double_(-2.5), Value::currency(Currency{12345})},
        {Value::null(), Value::null(), Value::null(), Value::null(), Value::null(), Value::boolean(true), Value::null(),
         Value::null(), Value::null()},
    };
    return r;
}

bool parse_error_expected(int n) {
    return n == err::SyntaxErrorInQuery || n == err::SyntaxErrorInUpdate || n == err::SyntaxErrorInInsert ||
           n == err::InvalidSqlStatement || n == err::SyntaxErrorFromClause || n == err::SyntaxErrorInSelect ||
           n == err::CharactersAfterEnd || n == err::InsertValueCount || n == err::QueryTooComplex ||
           n == err::Unsupported;
}

bool run_error_expected(int n) {
    return n == err::TooFewParameters || n == err::DataTypeMismatchInCriteria || n == err::UnknownInsertField ||
           n == err::Unsupported;
}

void evaluate_over_rows(sql::Expr& e) {
    sql::bind(e, columns());
    for (const auto& r : rows()) {
        const sql::ValuesRow row(r);
        sql::matches(e, row);
        sql::evaluate(e, row);
    }
    for (const sql::Expr* part : sql::conjuncts(e)) sql::simple_condition(*part);
}

void run(sql::Statement& stmt) {
    std::vector<std::string> names;
    for (const auto& c : columns()) names.emplace_back(c.name);
    sql::validate_columns(stmt, names);
    if (auto* s = std::get_if<sql::SelectStmt>(&stmt)) {
        if (s->where) evaluate_over_rows(*s->where);
    } else if (auto* u = std::get_if<sql::UpdateStmt>(&stmt)) {
        if (u->where) evaluate_over_rows(*u->where);
        for (sql::Assignment& a : u->assignments) {
            evaluate_over_rows(a.value);
            for (const auto& c : columns())
                if (sql::same_name(c.name, a.column)) coerce_for_column(sql::evaluate(a.value, sql::ValuesRow(rows()[0])), c.type, c.name);
        }
    } else if (auto* ins = std::get_if<sql::InsertStmt>(&stmt)) {
        for (std::size_t i = 0; i < ins->values.size(); ++i) {
            evaluate_over_rows(ins->values[i]);
            for (const auto& c : columns())
                if (sql::same_name(c.name, ins->columns[i]))
                    coerce_for_column(sql::evaluate(ins->values[i], sql::ValuesRow(rows()[1])), c.type, c.name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sql::Statement stmt;
    try {
        stmt = sql::parse_sql(text);
    } catch (const JetError& e) {
        if (!parse_error_expected(e.number())) std::abort();
        return 0;
    }
    try {
        run(stmt);
    } catch (const JetError& e) {
        if (!run_error_expected(e.number())) std::abort();
    }
    return 0;
}
