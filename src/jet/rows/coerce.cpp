// Values converted to a column's type on their way into a row; see coerce.h.
#include "jet/rows/coerce.h"

#include "jet/base/error.h"
#include "jet/value/stored_value.h"

#include <cfloat>
#include <cmath>
#include <string>

namespace jet {
namespace {

[[noreturn]] void throw_mismatch() {
    throw JetError(err::DataTypeMismatchInCriteria, "Data type mismatch in criteria expression.");
}

// The conversions of value.cpp, with their errors (13, 6, 94) reported as Jet's action
// queries report them.
template <typename F>
auto converted(F convert) -> decltype(convert()) {
    try {
        return convert();
    } catch (const JetError&) {
        throw_mismatch();
    }
}

double number_of(const Value& v) { return converted([&] { return to_double(v); }); }

constexpr double kFirstDate = -657434.0;         // 0100-01-01
constexpr double kLastDate = 2958466.0;          // 10000-01-01, excluded
constexpr double kCurrencyLimit = 922337203685477.5807;

}  // namespace

Value coerce_for_column(const Value& v, ColumnType type, std::string_view column) {
    if (v.is_null()) return v;
    switch (type) {
    case ColumnType::Text:
    case ColumnType::Memo:
        if (v.kind() == ValueKind::Boolean) return Value::text(v.as_bool() ? "-1" : "0");
        return v.kind() == ValueKind::Text ? v : Value::text(to_text(v));
    case ColumnType::Boolean: return Value::boolean(converted([&] { return to_bool(v); }));
    case ColumnType::Byte: {
        const std::int16_t i = converted([&] { return to_integer(v); });
        if (i < 0 || i > 255) throw_mismatch();
        return Value::byte(static_cast<std::uint8_t>(i));
    }
    case ColumnType::Integer: return Value::integer(converted([&] { return to_integer(v); }));
    case ColumnType::Long: return Value::long_(converted([&] { return to_long(v); }));
    case ColumnType::Currency: {
        if (v.kind() == ValueKind::Currency) return v;
        const double d = number_of(v);
        if (!(std::fabs(d) <= kCurrencyLimit)) throw_mismatch();
        return Value::currency(Currency{static_cast<std::int64_t>(std::nearbyint(d * 10000.0))});
    }
    case ColumnType::Single: {
        const double d = number_of(v);
        if (!(std::fabs(d) <= FLT_MAX)) throw_mismatch();
        return Value::single(static_cast<float>(d));
    }
    case ColumnType::Double: {
        const double d = number_of(v);
        if (!std::isfinite(d)) throw_mismatch();
        return Value::double_(d);
    }
    case ColumnType::DateTime: {
        DateTime dt;
        if (v.kind() == ValueKind::Text && parse_date_text(v.as_text_raw(), dt)) return Value::date(dt);
        const double d = number_of(v);
        if (!(d >= kFirstDate && d < kLastDate)) throw_mismatch();
        return Value::date(DateTime{d});
    }
    case ColumnType::Binary:
    case ColumnType::Ole:
        if (v.kind() != ValueKind::Binary) throw_mismatch();
        return v;
    case ColumnType::Guid:
        if (v.kind() != ValueKind::Guid) throw_mismatch();
        return v;
    case ColumnType::Decimal:
        if (v.kind() == ValueKind::Decimal) return v;
        break;
    case ColumnType::BigInt: return Value::decimal(whole_decimal(converted([&] { return to_int64(v); })));
    case ColumnType::DateTimeExtended:
        if (!encode_extended_date(v)) throw_mismatch();
        return v;
    case ColumnType::Complex: return v;   // the table writer refuses it, naming the table
    case ColumnType::Unknown0D:
    case ColumnType::Unknown11: break;
    }
    throw JetError(err::Unsupported, "Column '" + std::string(column) + "' of type " + std::string(column_type_name(type)) +
                                         " takes no values converted by this engine.");
}

}  // namespace jet
