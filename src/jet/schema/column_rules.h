// What a table's column properties make the engine enforce on the records it stores:
// DefaultValue, Required and AllowZeroLength.
#pragma once

#include "jet/schema/properties_write.h"
#include "jet/schema/table_def.h"
#include "jet/value/value.h"

#include <optional>
#include <string>
#include <vector>

namespace jet {

struct ColumnRules {
    std::optional<std::string> default_expression;
    std::optional<Value> default_value;   // the expression's value, when it does not read the clock
    bool required = false;
    bool allow_zero_length = true;

    // What a new record that gives no value gets (Null without a default).
    Value new_record_default() const;
};

// By position in table.columns.
std::vector<ColumnRules> column_rules(const TableDef& table, const TableProperties& properties);

// The value of a DefaultValue expression: literals (numbers, "text", #date#, True/False,
// Yes/No), Date(), Now(), Time(); Null for anything else.
Value evaluate_default(const std::string& expression);

}  // namespace jet
