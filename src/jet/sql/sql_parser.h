// Jet SQL text parsed into statement trees: SELECT * FROM t [WHERE c], UPDATE t SET col = e
// {, col = e} [WHERE c], INSERT INTO t (cols) VALUES (es), optional ';'. Syntax errors carry
// Jet's numbers: 3075 expression, 3144 UPDATE, 3134 INSERT, 3131 FROM, 3142 trailing, 3129 other.
#pragma once

#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jet::sql {

enum class ExprKind {
    Literal,   // value
    Column,    // name (bound: column, column_type)
    Negate,    // -args[0]
    Compare,   // args[0] op args[1]
    IsNull,    // args[0] IS NULL (IS NOT NULL when negated)
    Not,       // NOT args[0]
    And,       // args[0] AND args[1] AND ... (a chain is one node: fewer nodes to build and walk)
    Or,        // args[0] OR args[1] OR ...
};

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };

struct Expr {
    ExprKind kind = ExprKind::Literal;
    CompareOp op = CompareOp::Eq;
    bool negated = false;
    Value value;
    std::string name;
    std::vector<Expr> args;

    // Filled by bind() (sql_eval.h): the column's position in the list it was bound to.
    static constexpr std::size_t unbound = static_cast<std::size_t>(-1);
    std::size_t column = unbound;
    ColumnType column_type = ColumnType::Text;
};

struct SelectStmt {
    std::string table;
    std::optional<Expr> where;
};

struct Assignment {
    std::string column;
    Expr value;
};

struct UpdateStmt {
    std::string table;
    std::vector<Assignment> assignments;
    std::optional<Expr> where;
};

struct InsertStmt {
    std::string table;
    std::vector<std::string> columns;
    std::vector<Expr> values;   // as many as columns (checked by the parser, 3346)
};

using Statement = std::variant<SelectStmt, UpdateStmt, InsertStmt>;

Statement parse_sql(std::string_view text);

// An expression alone, as a calculated column's Expression property holds it (3075 when it is
// not one this parser reads).
Expr parse_expression(std::string_view text);

const std::string& table_name(const Statement& stmt);

}  // namespace jet::sql
