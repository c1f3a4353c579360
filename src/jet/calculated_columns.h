// The results that calculated columns (Access 2010 and later) store, worked out as records are
// written. An expression is computed when this engine's SQL evaluator reads it: column names,
// literals, comparisons, Is Null, Not, And, Or and minus signs. Any other (text joined with &,
// arithmetic, functions such as Len) refuses the append or update that needs its result, with
// 3251 naming the table and column, rather than storing a result that could be wrong. An update
// leaves a stored result alone when none of the columns its expression names changes.
#pragma once

#include "jet/schema/properties.h"
#include "jet/schema/table_def.h"
#include "jet/sql/sql_parser.h"
#include "jet/value/value.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

class CalculatedColumns {
public:
    CalculatedColumns(const TableDef& table, const TableProperties& properties);

    bool is_calculated(std::size_t position) const;

    // Sets the calculated columns of `values` (by position in the table's columns) from the
    // others and returns their positions. With `changed` (an update's), only those whose
    // expression names a changed column, or a calculated column set before them.
    std::vector<std::size_t> compute(std::vector<Value>& values, const std::vector<bool>* changed = nullptr) const;

private:
    struct Calculated {
        std::size_t position = 0;
        std::string expression;
        std::optional<sql::Expr> bound;    // nullopt: not an expression this engine evaluates
        std::vector<std::size_t> named;    // positions of the columns it names in brackets
    };
    const TableDef& table_;
    std::vector<Calculated> columns_;
};

}  // namespace jet
