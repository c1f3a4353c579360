#include "jet/calculated_columns.h"

#include "jet/base/error.h"
#include "jet/query.h"
#include "jet/rows/coerce.h"
#include "jet/sql/sql_eval.h"

#include <algorithm>
#include <fmt/format.h>

namespace jet {
namespace {

// Access writes every column an expression uses in brackets: "[LastName] & ", " & [FirstName]".
std::vector<std::size_t> bracketed_columns(const TableDef& table, const std::string& expression) {
    std::vector<std::size_t> out;
    for (std::size_t open = expression.find('['); open != std::string::npos; open = expression.find('[', open + 1)) {
        const std::size_t close = expression.find(']', open);
        if (close == std::string::npos) break;
        const std::string name = expression.substr(open + 1, close - open - 1);
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            if (sql::same_name(table.columns[i].name, name)) out.push_back(i);
    }
    return out;
}

}  // namespace

CalculatedColumns::CalculatedColumns(const TableDef& table, const TableProperties& properties) : table_(table) {
    const std::vector<sql::ColumnInfo> infos = column_infos(table);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        if (!c.is_calculated()) continue;
        Calculated calc;
        calc.position = i;
        const std::vector<Property>* own = column_properties(properties, c.name);
        const Property* expression = own ? find_property(*own, "Expression") : nullptr;
        if (expression && expression->value.kind() == ValueKind::Text) calc.expression = expression->value.as_text_raw();
        calc.named = bracketed_columns(table, calc.expression);
        try {
            sql::Expr e = sql::parse_expression(calc.expression);
            sql::bind(e, infos);
            calc.bound = std::move(e);
        } catch (const JetError&) {
            // Not one we evaluate: refused when a write needs its result.
        }
        columns_.push_back(std::move(calc));
    }
}

bool CalculatedColumns::is_calculated(std::size_t position) const {
    return std::any_of(columns_.begin(), columns_.end(), [&](const Calculated& c) { return c.position == position; });
}

std::vector<std::size_t> CalculatedColumns::compute(std::vector<Value>& values, const std::vector<bool>* changed) const {
    std::vector<bool> dirty = changed ? *changed : std::vector<bool>(values.size(), true);
    std::vector<std::size_t> set;
    for (const Calculated& calc : columns_) {
        if (changed && std::none_of(calc.named.begin(), calc.named.end(), [&](std::size_t k) { return dirty[k]; }))
            continue;
        const Column& c = table_.columns[calc.position];
        if (!calc.bound)
            throw JetError(err::Unsupported,
                           fmt::format("Cannot store the calculated column '{}' of table '{}': its expression '{}' is not "
                                       "one this engine evaluates.", c.name, table_.name, calc.expression));
        values[calc.position] = coerce_for_column(sql::evaluate(*calc.bound, sql::ValuesRow(values)), c.type, c.name);
        dirty[calc.position] = true;
        set.push_back(calc.position);
    }
    return set;
}

}  // namespace jet
