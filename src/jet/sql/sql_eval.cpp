// Expression evaluation, binding and analysis; see sql_eval.h.
#include "jet/sql/sql_eval.h"

#include "jet/base/error.h"

#include <algorithm>
#include <cstdint>

namespace jet::sql {
namespace {

[[noreturn]] void throw_criteria_mismatch() {
    throw JetError(err::DataTypeMismatchInCriteria, "Data type mismatch in criteria expression.");
}

[[noreturn]] void throw_parameters(std::size_t count) {
    throw JetError(err::TooFewParameters, "Too few parameters. Expected " + std::to_string(count) + ".");
}

// Next code point of UTF-8 text; a byte that starts no valid sequence stands for itself.
char32_t next_code_point(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    const int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + static_cast<std::size_t>(extra) > s.size()) return b0;
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) return b0;
        cp = (cp << 6) | (b & 0x3F);
    }
    i += static_cast<std::size_t>(extra);
    return cp;
}

char32_t fold_case(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;   // Latin-1 capitals, not the multiplication sign
    // Latin Extended-A pairs capital and small letter side by side (names such as Dvořák).
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    return c;
}

enum class TypeClass { Null, Text, Number, Other };

TypeClass class_of(ColumnType t) {
    switch (t) {
    case ColumnType::Text: case ColumnType::Memo: return TypeClass::Text;
    case ColumnType::DateTimeExtended: return TypeClass::Text;   // read as ISO text
    case ColumnType::Boolean: case ColumnType::Byte: case ColumnType::Integer: case ColumnType::Long:
    case ColumnType::Currency: case ColumnType::Single: case ColumnType::Double: case ColumnType::DateTime:
    case ColumnType::Decimal: case ColumnType::BigInt: case ColumnType::Complex: return TypeClass::Number;
    default: return TypeClass::Other;
    }
}

TypeClass class_of(const Value& v) {
    if (v.is_null()) return TypeClass::Null;
    if (v.kind() == ValueKind::Text) return TypeClass::Text;
    return v.is_numeric() ? TypeClass::Number : TypeClass::Other;
}

// Jet reads a text as a number where a number is needed, or refuses the criteria.
double number_of(const Value& v) {
    if (v.kind() == ValueKind::Text) {
        double d = 0;
        if (!parse_number_text(v.as_text_raw(), d)) throw_criteria_mismatch();
        return d;
    }
    if (!v.is_numeric()) throw_criteria_mismatch();
    return to_double(v);
}

template <typename T>
int order(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

std::optional<bool> truth(const Value& v) {
    if (v.is_null()) return std::nullopt;
    if (v.kind() == ValueKind::Boolean) return v.as_bool();
    return number_of(v) != 0;
}

bool is_direct(const Expr& e) {
    return e.kind == ExprKind::Literal || (e.kind == ExprKind::Column && e.column != Expr::unbound);
}

// A literal's or a bound column's value, without a copy.
const Value& direct(const Expr& e, const RowAccess& row) {
    return e.kind == ExprKind::Literal ? e.value : row.value(e.column);
}

std::optional<bool> apply(CompareOp op, std::optional<int> c) {
    if (!c) return std::nullopt;
    switch (op) {
    case CompareOp::Eq: return *c == 0;
    case CompareOp::Ne: return *c != 0;
    case CompareOp::Lt: return *c < 0;
    case CompareOp::Gt: return *c > 0;
    case CompareOp::Le: return *c <= 0;
    case CompareOp::Ge: return *c >= 0;
    }
    return std::nullopt;
}

std::optional<bool> test(const Expr& e, const RowAccess& row) {
    switch (e.kind) {
    case ExprKind::Not: {
        const std::optional<bool> v = test(e.args[0], row);
        if (!v) return std::nullopt;
        return !*v;
    }
    case ExprKind::And:
    case ExprKind::Or: {
        // Left to right, stopping at the first operand that decides: false for AND, true for OR.
        const bool decides = e.kind == ExprKind::Or;
        bool unknown = false;
        for (const Expr& a : e.args) {
            const std::optional<bool> v = test(a, row);
            if (v == decides) return decides;
            if (!v) unknown = true;
        }
        if (unknown) return std::nullopt;
        return !decides;
    }
    case ExprKind::Compare: {
        const Expr& l = e.args[0];
        const Expr& r = e.args[1];
        if (is_direct(l) && is_direct(r)) return apply(e.op, compare_values(direct(l, row), direct(r, row)));
        return apply(e.op, compare_values(evaluate(l, row), evaluate(r, row)));
    }
    case ExprKind::IsNull:
        if (is_direct(e.args[0])) return direct(e.args[0], row).is_null() != e.negated;
        return evaluate(e.args[0], row).is_null() != e.negated;
    default:
        if (is_direct(e)) return truth(direct(e, row));
        return truth(evaluate(e, row));
    }
}

void collect_columns(const Expr& e, std::vector<std::string>& out) {
    if (e.kind == ExprKind::Column) {
        const bool known = std::any_of(out.begin(), out.end(), [&](const std::string& n) { return same_name(n, e.name); });
        if (!known) out.push_back(e.name);
    }
    for (const Expr& a : e.args) collect_columns(a, out);
}

bool has_column(const std::vector<std::string>& columns, std::string_view name) {
    return std::any_of(columns.begin(), columns.end(), [&](const std::string& c) { return same_name(c, name); });
}

void add_unknown(std::vector<std::string>& unknown, const std::vector<std::string>& columns, const std::string& name) {
    if (!has_column(columns, name) && !has_column(unknown, name)) unknown.push_back(name);
}

void bind_node(Expr& e, const std::vector<ColumnInfo>& columns, std::vector<std::string>& unknown, bool& mismatch) {
    for (Expr& a : e.args) bind_node(a, columns, unknown, mismatch);
    if (e.kind == ExprKind::Column) {
        const auto it = std::find_if(columns.begin(), columns.end(), [&](const ColumnInfo& c) { return same_name(c.name, e.name); });
        if (it == columns.end()) {
            if (!has_column(unknown, e.name)) unknown.push_back(e.name);
            return;
        }
        e.column = static_cast<std::size_t>(it - columns.begin());
        e.column_type = it->type;
        return;
    }
    if (e.kind != ExprKind::Compare) return;
    // A column against a literal of the other kind (text against number) is refused up front.
    for (int side = 0; side < 2; ++side) {
        const Expr& col = e.args[static_cast<std::size_t>(side)];
        const Expr& lit = e.args[static_cast<std::size_t>(1 - side)];
        if (col.kind != ExprKind::Column || col.column == Expr::unbound || lit.kind != ExprKind::Literal) continue;
        const TypeClass a = class_of(col.column_type), b = class_of(lit.value);
        if ((a == TypeClass::Text && b == TypeClass::Number) || (a == TypeClass::Number && b == TypeClass::Text))
            mismatch = true;
    }
}

CompareOp mirrored(CompareOp op) {
    switch (op) {
    case CompareOp::Lt: return CompareOp::Gt;
    case CompareOp::Gt: return CompareOp::Lt;
    case CompareOp::Le: return CompareOp::Ge;
    case CompareOp::Ge: return CompareOp::Le;
    default: return op;
    }
}

void collect_conjuncts(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == ExprKind::And) {
        for (const Expr& a : e.args) collect_conjuncts(a, out);
    } else {
        out.push_back(&e);
    }
}

}  // namespace

int compare_text(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {   // both ASCII: the common case, without decoding
            ++i, ++j;
            if (ca == cb) continue;
            const char32_t x = fold_case(ca), y = fold_case(cb);
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = fold_case(next_code_point(a, i)), y = fold_case(next_code_point(b, j));
        if (x != y) return x < y ? -1 : 1;
    }
    return order(i < a.size(), j < b.size());   // the shorter text first
}

bool same_name(std::string_view a, std::string_view b) {
    // Every letter fold_case pairs is as long in UTF-8 as its partner, so lengths must agree.
    return a.size() == b.size() && compare_text(a, b) == 0;
}

std::optional<int> compare_values(const Value& a, const Value& b) {
    if (a.is_null() || b.is_null()) return std::nullopt;
    const ValueKind ka = a.kind(), kb = b.kind();
    if (ka == ValueKind::Long && kb == ValueKind::Long) return order(a.as_int32(), b.as_int32());
    if (ka == ValueKind::Text && kb == ValueKind::Text) return compare_text(a.as_text_raw(), b.as_text_raw());
    if (ka == ValueKind::Currency && kb == ValueKind::Currency) return order(a.as_currency().scaled, b.as_currency().scaled);
    if (ka == ValueKind::Binary && kb == ValueKind::Binary) return order(a.as_binary(), b.as_binary());
    if (ka == ValueKind::Guid && kb == ValueKind::Guid) return order(a.as_guid().bytes, b.as_guid().bytes);
    if (ka == ValueKind::Guid && kb == ValueKind::Text) return compare_text(guid_text(a.as_guid()), b.as_text_raw());
    if (ka == ValueKind::Text && kb == ValueKind::Guid) return compare_text(a.as_text_raw(), guid_text(b.as_guid()));
    return order(number_of(a), number_of(b));
}

std::vector<std::string> referenced_columns(const Expr& e) {
    std::vector<std::string> out;
    collect_columns(e, out);
    return out;
}

void validate_columns(const Statement& stmt, const std::vector<std::string>& columns) {
    std::vector<std::string> unknown;
    auto check = [&](const Expr& e) {
        for (const std::string& name : referenced_columns(e)) add_unknown(unknown, columns, name);
    };
    if (const auto* s = std::get_if<SelectStmt>(&stmt)) {
        if (s->where) check(*s->where);
    } else if (const auto* u = std::get_if<UpdateStmt>(&stmt)) {
        for (const Assignment& a : u->assignments) {
            add_unknown(unknown, columns, a.column);
            check(a.value);
        }
        if (u->where) check(*u->where);
    } else if (const auto* ins = std::get_if<InsertStmt>(&stmt)) {
        for (const std::string& name : ins->columns)
            if (!has_column(columns, name))
                throw JetError(err::UnknownInsertField, "The INSERT INTO statement contains the following unknown field name: '" + name +
                                                            "'. Make sure you have typed the name correctly, and try the operation again.");
        for (const Expr& v : ins->values) check(v);
    }
    if (!unknown.empty()) throw_parameters(unknown.size());
}

void bind(Expr& e, const std::vector<ColumnInfo>& columns) {
    std::vector<std::string> unknown;
    bool mismatch = false;
    bind_node(e, columns, unknown, mismatch);
    // Unknown names first, as Jet reports them.
    if (!unknown.empty()) throw_parameters(unknown.size());
    if (mismatch) throw_criteria_mismatch();
}

Value evaluate(const Expr& e, const RowAccess& row) {
    switch (e.kind) {
    case ExprKind::Literal: return e.value;
    case ExprKind::Column:
        if (e.column == Expr::unbound) throw_parameters(1);
        return row.value(e.column);
    case ExprKind::Negate: {
        const Value v = evaluate(e.args[0], row);
        if (v.is_null()) return v;
        return Value::double_(-number_of(v));
    }
    default: {
        const std::optional<bool> t = test(e, row);
        return t ? Value::boolean(*t) : Value::null();
    }
    }
}

bool matches(const Expr& where, const RowAccess& row) { return test(where, row).value_or(false); }

std::vector<const Expr*> conjuncts(const Expr& where) {
    std::vector<const Expr*> out;
    collect_conjuncts(where, out);
    return out;
}

std::optional<SimpleCondition> simple_condition(const Expr& conjunct) {
    if (conjunct.kind != ExprKind::Compare) return std::nullopt;
    const Expr& l = conjunct.args[0];
    const Expr& r = conjunct.args[1];
    if (l.kind == ExprKind::Column && r.kind == ExprKind::Literal && !r.value.is_null())
        return SimpleCondition{&l, conjunct.op, r.value};
    if (r.kind == ExprKind::Column && l.kind == ExprKind::Literal && !l.value.is_null())
        return SimpleCondition{&r, mirrored(conjunct.op), l.value};
    return std::nullopt;
}

}  // namespace jet::sql
