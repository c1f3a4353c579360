// Evaluating parsed expressions against rows as Jet does (names resolved once by bind(),
// three-valued logic, text without case, Text column against number refused with 3464),
// and the analyses the executor and the planner need: column validation, conjuncts.
#pragma once

#include "jet/sql/sql_parser.h"
#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet::sql {

// A column an expression may name; the name views the table definition's.
struct ColumnInfo {
    std::string_view name;
    ColumnType type = ColumnType::Text;
};

// The values of one row, by the column positions of the list the expression was bound to.
// Returned by reference: the evaluator reads them many times per row and copies none.
class RowAccess {
public:
    virtual ~RowAccess() = default;
    virtual const Value& value(std::size_t column) const = 0;
};

// A row already decoded into values, one per bound column.
class ValuesRow : public RowAccess {
public:
    explicit ValuesRow(const std::vector<Value>& values) : values_(values) {}
    const Value& value(std::size_t column) const override { return values_[column]; }

private:
    const std::vector<Value>& values_;
};

// Jet's name comparison: letters (ASCII, Latin-1, Latin Extended-A) without regard to case.
bool same_name(std::string_view a, std::string_view b);

// Text order of the General sort order as far as this engine needs it: case-folded code
// points (ASCII, Latin-1, Latin Extended-A), accents significant. <0, 0, >0.
int compare_text(std::string_view a, std::string_view b);

// Order of two non-Null values as a WHERE comparison sees them; nullopt when either is Null.
// Text against a number compares numerically when the text reads as one, else 3464.
std::optional<int> compare_values(const Value& a, const Value& b);

// Distinct column names an expression reads, in order of first appearance.
std::vector<std::string> referenced_columns(const Expr& e);

// Checks every name a statement uses against the table's columns before any row is touched:
// unknown names in SET targets and expressions are parameters to Jet, 3061 "Too few
// parameters. Expected N." with N distinct names; an unknown INSERT column is 3127.
void validate_columns(const Statement& stmt, const std::vector<std::string>& columns);

// Resolves the expression's names to positions in `columns` (3061 for unknown ones) and
// checks the comparisons' types (3464, after the names). For a SELECT's condition this is the
// whole of validate_columns.
void bind(Expr& e, const std::vector<ColumnInfo>& columns);

// The value of a bound expression; a comparison gives Boolean or Null (unknown).
Value evaluate(const Expr& e, const RowAccess& row);

// Whether a row satisfies a bound WHERE condition (unknown is not satisfied).
bool matches(const Expr& where, const RowAccess& row);

// For the planner: the top-level AND-ed parts of a condition, and the simple ones among
// them, "column op literal" (a "literal op column" is turned around). Every conjunct is
// still checked by matches(); the literal is as written (compare with compare_values).
std::vector<const Expr*> conjuncts(const Expr& where);

struct SimpleCondition {
    const Expr* column = nullptr;   // the Column node (bound position in column->column)
    CompareOp op = CompareOp::Eq;
    Value literal;
};
std::optional<SimpleCondition> simple_condition(const Expr& conjunct);

}  // namespace jet::sql
