// Default values and the checks the column properties ask for.
#include "jet/schema/column_rules.h"

#include "jet/schema/properties.h"

#include <cctype>

namespace jet {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

// Access's Now() and Time() keep whole seconds.
CivilTime local_now() {
    CivilTime c = local_civil_now();
    c.millisecond = 0;
    return c;
}

// The expression without blanks around it and without a leading '='.
std::string normalised(const std::string& expression) {
    std::string e = trim(expression);
    if (!e.empty() && e[0] == '=') e = trim(e.substr(1));
    return e;
}

bool reads_clock(const std::string& expression) {
    const std::string l = lower(normalised(expression));
    return l == "date()" || l == "now()" || l == "time()";
}

}  // namespace

Value ColumnRules::new_record_default() const {
    if (default_value) return *default_value;
    return default_expression ? evaluate_default(*default_expression) : Value::null();
}

std::vector<ColumnRules> column_rules(const TableDef& table, const TableProperties& properties) {
    std::vector<ColumnRules> rules(table.columns.size());
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const std::vector<Property>* props = column_properties(properties, table.columns[i].name);
        if (!props) continue;
        if (const Property* p = find_property(*props, "DefaultValue"); p && !p->value.is_null()) {
            rules[i].default_expression = to_text(p->value);
            if (!reads_clock(*rules[i].default_expression))
                rules[i].default_value = evaluate_default(*rules[i].default_expression);
        }
        if (const Property* p = find_property(*props, "Required"); p && !p->value.is_null())
            rules[i].required = to_bool(p->value);
        if (const Property* p = find_property(*props, "AllowZeroLength"); p && !p->value.is_null())
            rules[i].allow_zero_length = to_bool(p->value);
    }
    return rules;
}

Value evaluate_default(const std::string& expression) {
    const std::string e = normalised(expression);
    if (e.empty()) return Value::null();
    const std::string l = lower(e);
    if (l == "date()") {
        CivilTime c = local_now();
        c.hour = c.minute = c.second = 0;
        return Value::date(from_civil(c));
    }
    if (l == "now()") return Value::date(from_civil(local_now()));
    if (l == "time()") {
        CivilTime c = local_now();
        c.year = 1899, c.month = 12, c.day = 30;
        return Value::date(from_civil(c));
    }
    if (l == "true" || l == "yes" || l == "on") return Value::boolean(true);
    if (l == "false" || l == "no" || l == "off") return Value::boolean(false);
    if (e.size() >= 2 && (e.front() == '"' || e.front() == '\'') && e.back() == e.front()) {
        const char q = e.front();
        std::string text;
        for (std::size_t i = 1; i + 1 < e.size(); ++i) {
            if (e[i] == q) {
                if (e[i + 1] != q || i + 2 >= e.size()) return Value::null();   // not one literal
                ++i;
            }
            text.push_back(e[i]);
        }
        return Value::text(text);
    }
    if (e.size() >= 2 && e.front() == '#' && e.back() == '#') {
        DateTime d;
        return parse_date_text(e.substr(1, e.size() - 2), d) ? Value::date(d) : Value::null();
    }
    double number = 0;
    if (parse_number_text(e, number)) {
        if (number == static_cast<double>(static_cast<std::int32_t>(number)) && e.find_first_of(".eE") == std::string::npos)
            return Value::long_(static_cast<std::int32_t>(number));
        return Value::double_(number);
    }
    return Value::null();
}

}  // namespace jet
