// Value: one field value as the engine hands it out and takes it in (a variant over the
// Jet column types), and the conversions that callers apply to it (to text, to a 16-bit
// Integer, to a 32-bit Long, to Boolean, to Double) with the old engine's error numbers.
#pragma once

#include "jet/base/bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

struct Currency {              // value x 10000, exact
    std::int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};
struct DateTime {              // OLE automation date: days since 1899-12-30, time as fraction
    double days = 0;
    bool operator==(const DateTime&) const = default;
};
struct Guid {                  // as stored: Data1..Data3 little-endian, Data4 as is
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};
__extension__ typedef unsigned __int128 uint128;  // Decimal magnitudes need 96 bits

struct Decimal {               // +- magnitude x 10^-scale
    bool negative = false;
    uint128 magnitude = 0;
    std::uint8_t scale = 0;
    bool operator==(const Decimal&) const = default;
};

enum class ValueKind { Null, Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime, Text, Binary, Guid, Decimal };

class Value {
public:
    Value() = default;
    static Value null() { return {}; }
    static Value boolean(bool b) { return Value(Storage(b)); }
    static Value byte(std::uint8_t v) { return Value(Storage(v)); }
    static Value integer(std::int16_t v) { return Value(Storage(v)); }
    static Value long_(std::int32_t v) { return Value(Storage(v)); }
    static Value currency(Currency v) { return Value(Storage(v)); }
    static Value single(float v) { return Value(Storage(v)); }
    static Value double_(double v) { return Value(Storage(v)); }
    static Value date(DateTime v) { return Value(Storage(v)); }
    static Value text(std::string utf8) { return Value(Storage(std::move(utf8))); }
    static Value binary(Bytes v) { return Value(Storage(std::move(v))); }
    static Value guid(Guid v) { return Value(Storage(v)); }
    static Value decimal(Decimal v) { return Value(Storage(v)); }

    ValueKind kind() const { return static_cast<ValueKind>(storage_.index()); }
    bool is_null() const { return kind() == ValueKind::Null; }
    bool is_numeric() const;   // Boolean, Byte, Integer, Long, Currency, Single, Double, Decimal, DateTime

    // Direct access; the kind must match (checked).
    bool as_bool() const { return std::get<bool>(storage_); }
    std::uint8_t as_byte() const { return std::get<std::uint8_t>(storage_); }
    std::int16_t as_int16() const { return std::get<std::int16_t>(storage_); }
    std::int32_t as_int32() const { return std::get<std::int32_t>(storage_); }
    Currency as_currency() const { return std::get<Currency>(storage_); }
    float as_single() const { return std::get<float>(storage_); }
    double as_double_raw() const { return std::get<double>(storage_); }
    DateTime as_date() const { return std::get<DateTime>(storage_); }
    const std::string& as_text_raw() const { return std::get<std::string>(storage_); }
    const Bytes& as_binary() const { return std::get<Bytes>(storage_); }
    const Guid& as_guid() const { return std::get<Guid>(storage_); }
    const Decimal& as_decimal() const { return std::get<Decimal>(storage_); }

    bool operator==(const Value&) const = default;

    // Refilling in place, for decoders that reuse one Value per field row after row: storing
    // the kind the value already holds is a plain store, and text keeps its buffer.
    template <typename T>
    void refill(T v) { storage_ = std::move(v); }
    std::string& refill_text() {
        if (auto* s = std::get_if<std::string>(&storage_)) {
            s->clear();
            return *s;
        }
        return storage_.emplace<std::string>();
    }

private:
    using Storage = std::variant<std::monostate, bool, std::uint8_t, std::int16_t, std::int32_t, Currency,
                                 float, double, DateTime, std::string, Bytes, Guid, Decimal>;
    explicit Value(Storage s) : storage_(std::move(s)) {}
    Storage storage_;
};

// Conversions as the old engine's callers apply them. Null is error 94 "Invalid use of Null",
// text that does not read as the target is error 13 "Type mismatch", a number outside the
// target's range is error 6 "Overflow". Fractions round half to even.
std::string to_text(const Value& v);          // numbers in plain decimal, dates as "yyyy-mm-dd hh:nn:ss" (date or time part alone when the other is zero), True/False
std::int16_t to_integer(const Value& v);
std::int32_t to_long(const Value& v);
std::int64_t to_int64(const Value& v);        // a Large Number: Decimals and whole-number text exactly
Decimal whole_decimal(std::int64_t v);         // a Large Number as reading gives it: a Decimal of scale 0
bool to_bool(const Value& v);
double to_double(const Value& v);

// Exact decimal text of the non-text kinds (Currency with 4 decimals, Decimal with its scale).
std::string currency_text(Currency c);
std::string decimal_text(const Decimal& d);
std::string guid_text(const Guid& g);          // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"

// Date/Time: days since 1899-12-30, the fraction always counted forward from midnight,
// also before 1899-12-30 (-1.25 is 1899-12-29 06:00).
struct CivilTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
};
CivilTime to_civil(DateTime d);
DateTime from_civil(const CivilTime& c);
CivilTime local_civil_now();                   // the local clock, to the millisecond
std::string iso_text(DateTime d);              // "1974-09-21T00:00:00"
// Reads "yyyy-mm-dd[ hh:mm[:ss]]", "mm/dd/yyyy[ hh:mm[:ss] [AM|PM]]", "hh:mm[:ss]"; false if not a date.
bool parse_date_text(const std::string& text, DateTime& out);

// Reads a number written as text as Jet does ("12", " -3.5 ", "1e3"); false if it is not one.
bool parse_number_text(const std::string& text, double& out);

}  // namespace jet
