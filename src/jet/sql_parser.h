// The statements the engine runs, parsed from Jet SQL text into trees:
//   SELECT * FROM name [WHERE cond]
//   UPDATE name SET col = expr {, col = expr} [WHERE cond]
//   INSERT INTO name (col, ...) VALUES (expr, ...)
// with an optional trailing ';'. Syntax errors are thrown as JetError with the numbers Jet
// uses: 3075 in an expression, 3144 in an UPDATE, 3134 in an INSERT, 3131 in a FROM clause,
// 3142 after the end of the statement, 3129 for anything else.
#pragma once

#include "jet/column_type.h"
#include "jet/value.h"

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
    And,       // args[0] AND args[1]
    Or,        // args[0] OR args[1]
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

const std::string& table_name(const Statement& stmt);

}  // namespace jet::sql
