// Column properties as the writer enforces them: defaults that do not read the clock are
// worked out once, the clock's are read for each record.
#include "jet/schema/column_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

namespace {

using jet::Value;

jet::TableDef table_of(const std::vector<std::pair<std::string, jet::ColumnType>>& columns) {
    jet::TableDef def;
    def.name = "T";
    for (const auto& [name, type] : columns) {
        jet::Column c;
        c.name = name;
        c.type = type;
        c.number = static_cast<std::uint16_t>(def.columns.size());
        def.columns.push_back(c);
    }
    return def;
}

// Required and AllowZeroLength are enforced, and so checked, by write_append_test's refusals.
TEST(ColumnRules, ConstantDefaultsOnceClockDefaultsPerRecord) {
    const jet::TableDef def = table_of({{"Source", jet::ColumnType::Text}, {"Stamp", jet::ColumnType::DateTime},
                                        {"Score", jet::ColumnType::Long}, {"Plain", jet::ColumnType::Text}});
    jet::TableProperties props;
    props.columns = {{"source", {jet::default_value_property("\"terminal\"")}},
                     {"Stamp", {jet::default_value_property("= Now() ")}},
                     {"Score", {jet::default_value_property("=42")}}};
    const std::vector<jet::ColumnRules> rules = jet::column_rules(def, props);
    ASSERT_EQ(rules.size(), 4u);

    EXPECT_EQ(rules[0].default_value, Value::text("terminal"));
    EXPECT_EQ(rules[0].new_record_default(), Value::text("terminal"));
    EXPECT_EQ(rules[2].new_record_default(), Value::long_(42));
    EXPECT_TRUE(rules[3].new_record_default().is_null());

    EXPECT_FALSE(rules[1].default_value);
    const Value stamp = rules[1].new_record_default();
    ASSERT_EQ(stamp.kind(), jet::ValueKind::DateTime);
    const double now = jet::to_double(jet::Value::date(jet::from_civil(jet::local_civil_now())));
    EXPECT_LT(std::abs(jet::to_double(stamp) - now), 5.0 / 86400);
}

TEST(ColumnRules, DefaultExpressions) {
    EXPECT_EQ(jet::evaluate_default("'it''s'"), Value::text("it's"));
    EXPECT_EQ(jet::evaluate_default("Yes"), Value::boolean(true));
    EXPECT_EQ(jet::evaluate_default("2.5"), Value::double_(2.5));
    EXPECT_TRUE(jet::evaluate_default("[Other] + 1").is_null());
    EXPECT_TRUE(jet::evaluate_default(" = ").is_null());
}

}  // namespace
