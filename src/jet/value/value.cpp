// Conversions between Value kinds, with the old engine's rounding and error numbers.
#include "jet/value/value.h"

#include "jet/base/error.h"

#include <cctype>
#include <cfenv>
#include <charconv>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <fmt/format.h>

namespace jet {
namespace {

[[noreturn]] void throw_null() { throw JetError(err::InvalidUseOfNull, "Invalid use of Null"); }
[[noreturn]] void throw_mismatch() { throw JetError(err::TypeMismatch, "Type mismatch"); }
[[noreturn]] void throw_overflow() { throw JetError(err::Overflow, "Overflow"); }

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool equals_ignore_case(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return i == a.size() && b[i] == 0;
}

// Shortest text that reads back as the same value, at most `digits` significant digits.
std::string float_text(double v, int digits) {
    if (v == 0) return "0";
    char buf[64];
    for (int p = 1; p <= digits; ++p) {
        std::snprintf(buf, sizeof buf, "%.*g", p, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    std::string s = buf;
    // Plain decimal form for the ordinary range, as the old engine prints numbers.
    if (s.find('e') != std::string::npos && std::fabs(v) >= 1e-4 && std::fabs(v) < 1e15) {
        s = fmt::format("{:.{}f}", v, digits);
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
    }
    return s;
}

double round_half_even(double v) {
    const int old = std::fegetround();
    if (old == FE_TONEAREST) return std::nearbyint(v);   // the usual mode: no switching
    std::fesetround(FE_TONEAREST);
    double r = std::nearbyint(v);
    std::fesetround(old);
    return r;
}

double numeric_value(const Value& v) {
    switch (v.kind()) {
    case ValueKind::Null: throw_null();
    case ValueKind::Boolean: return v.as_bool() ? -1.0 : 0.0;
    case ValueKind::Byte: return v.as_byte();
    case ValueKind::Integer: return v.as_int16();
    case ValueKind::Long: return v.as_int32();
    case ValueKind::Currency: return static_cast<double>(v.as_currency().scaled) / 10000.0;
    case ValueKind::Single: return v.as_single();
    case ValueKind::Double: return v.as_double_raw();
    case ValueKind::DateTime: return v.as_date().days;
    case ValueKind::Decimal: {
        const Decimal& d = v.as_decimal();
        double m = static_cast<double>(d.magnitude) / std::pow(10.0, d.scale);
        return d.negative ? -m : m;
    }
    case ValueKind::Text: {
        double out;
        if (parse_number_text(v.as_text_raw(), out)) return out;
        DateTime dt;
        if (parse_date_text(trim(v.as_text_raw()), dt)) return dt.days;
        throw_mismatch();
    }
    case ValueKind::Binary:
    case ValueKind::Guid: throw_mismatch();
    }
    throw_mismatch();
}

std::int64_t days_from_civil(int y, int m, int d) {  // days since 1970-01-01, proleptic Gregorian
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr std::int64_t kEpochOffset = 25569;  // 1970-01-01 as days since 1899-12-30

}  // namespace

bool Value::is_numeric() const {
    switch (kind()) {
    case ValueKind::Boolean: case ValueKind::Byte: case ValueKind::Integer: case ValueKind::Long:
    case ValueKind::Currency: case ValueKind::Single: case ValueKind::Double: case ValueKind::Decimal:
    case ValueKind::DateTime: return true;
    default: return false;
    }
}

std::string currency_text(Currency c) {
    const bool neg = c.scaled < 0;
    const uint128 mag = neg ? uint128(0) - static_cast<uint128>(c.scaled) : static_cast<uint128>(c.scaled);
    Decimal d{neg, mag, 4};
    return decimal_text(d);
}

std::string decimal_text(const Decimal& d) {
    std::string digits;
    uint128 m = d.magnitude;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    if (d.scale > 0) {
        while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
        digits.insert(digits.end() - d.scale, '.');
    }
    if (d.negative && d.magnitude != 0) digits.insert(digits.begin(), '-');
    return digits;
}

std::string guid_text(const Guid& g) {
    const auto& b = g.bytes;
    return fmt::format("{{{:02X}{:02X}{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                       b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

CivilTime to_civil(DateTime dt) {
    double day_part = std::trunc(dt.days);
    double frac = std::fabs(dt.days - day_part);
    std::int64_t ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) {  // rounding reached the next midnight, which is the next day also before 1899-12-30
        ms -= 86400000;
        day_part += 1;
    }
    CivilTime c;
    civil_from_days(static_cast<std::int64_t>(day_part) - kEpochOffset, c.year, c.month, c.day);
    c.hour = static_cast<int>(ms / 3600000);
    c.minute = static_cast<int>(ms / 60000 % 60);
    c.second = static_cast<int>(ms / 1000 % 60);
    c.millisecond = static_cast<int>(ms % 1000);
    return c;
}

DateTime from_civil(const CivilTime& c) {
    const double day = static_cast<double>(days_from_civil(c.year, c.month, c.day) + kEpochOffset);
    const double frac = (c.hour * 3600000.0 + c.minute * 60000.0 + c.second * 1000.0 + c.millisecond) / 86400000.0;
    return DateTime{day >= 0 ? day + frac : day - frac};
}

CivilTime local_civil_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec, static_cast<int>(ms)};
}

std::string iso_text(DateTime d) {
    const CivilTime c = to_civil(d);
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", c.year, c.month, c.day, c.hour, c.minute, c.second);
}

bool parse_number_text(const std::string& text, double& out) {
    const std::string s = trim(text);
    if (s.empty()) return false;
    const char* b = s.data();
    if (*b == '+') ++b;
    // from_chars alone would also take "inf", "nan" and "+-1".
    const char* digits = (*b == '-' && b == s.data()) ? b + 1 : b;
    if (digits == s.data() + s.size() || !(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.')) return false;
    auto [p, ec] = std::from_chars(b, s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

bool parse_date_text(const std::string& text, DateTime& out) {
    const std::string s = trim(text);
    int a = 0, b = 0, c = 0, h = 0, mi = 0, se = 0, n = 0;
    CivilTime ct;
    auto valid_time = [&] { return h >= 0 && h < 24 && mi >= 0 && mi < 60 && se >= 0 && se < 60; };
    auto adjust_ampm = [&](const char* t) {
        if (!t[0]) return true;
        if (h < 1 || h > 12) return false;
        if (std::toupper(t[0]) == 'P' && h != 12) h += 12;
        else if (std::toupper(t[0]) == 'A' && h == 12) h = 0;
        return std::toupper(t[1]) == 'M';
    };
    // hh:mm[:ss] [AM|PM], into h, mi and se
    auto parse_time = [&](const std::string& t) {
        int used = 0;
        if (std::sscanf(t.c_str(), "%2d:%2d:%2d%n", &h, &mi, &se, &used) != 3) {
            se = 0;
            if (std::sscanf(t.c_str(), "%2d:%2d%n", &h, &mi, &used) != 2) return false;
        }
        const std::string tail = trim(t.substr(static_cast<size_t>(used)));
        if (tail.empty()) return true;
        return tail.size() == 2 && adjust_ampm(tail.c_str());
    };
    auto finish = [&](int y, int m, int d) {
        if (m < 1 || m > 12 || d < 1 || d > 31 || y < 100 || y > 9999 || !valid_time()) return false;
        int yy, mm, dd;
        civil_from_days(days_from_civil(y, m, d), yy, mm, dd);
        if (mm != m) return false;  // 31 February and the like
        ct = CivilTime{y, m, d, h, mi, se, 0};
        out = from_civil(ct);
        return true;
    };
    // yyyy-mm-dd [hh:mm[:ss]]
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &a, &b, &c, &n) == 3) {
        std::string rest = trim(s.substr(static_cast<size_t>(n)));
        if (!rest.empty() && (rest[0] == 'T' || rest[0] == 't')) rest = rest.substr(1);
        if (!rest.empty() && !parse_time(rest)) return false;
        return finish(a, b, c);
    }
    // mm/dd/yyyy [hh:mm[:ss] [AM|PM]]
    if (std::sscanf(s.c_str(), "%2d/%2d/%4d%n", &a, &b, &c, &n) == 3) {
        const std::string rest = trim(s.substr(static_cast<size_t>(n)));
        if (!rest.empty() && !parse_time(rest)) return false;
        return finish(c, a, b);
    }
    // A time alone: on day 0
    if (!parse_time(s) || !valid_time()) return false;
    out = DateTime{(h * 3600.0 + mi * 60.0 + se) / 86400.0};
    return true;
}

std::string to_text(const Value& v) {
    switch (v.kind()) {
    case ValueKind::Null: throw_null();
    case ValueKind::Boolean: return v.as_bool() ? "True" : "False";
    case ValueKind::Byte: return std::to_string(v.as_byte());
    case ValueKind::Integer: return std::to_string(v.as_int16());
    case ValueKind::Long: return std::to_string(v.as_int32());
    case ValueKind::Currency: {
        std::string s = currency_text(v.as_currency());
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
        return s;
    }
    case ValueKind::Single: return float_text(v.as_single(), 7);
    case ValueKind::Double: return float_text(v.as_double_raw(), 15);
    case ValueKind::DateTime: {
        const CivilTime c = to_civil(v.as_date());
        const bool has_date = std::trunc(v.as_date().days) != 0;
        const bool has_time = c.hour || c.minute || c.second;
        std::string date = fmt::format("{:04}-{:02}-{:02}", c.year, c.month, c.day);
        std::string time = fmt::format("{:02}:{:02}:{:02}", c.hour, c.minute, c.second);
        if (has_date && has_time) return date + " " + time;
        if (has_time) return time;
        return date;
    }
    case ValueKind::Text: return v.as_text_raw();
    case ValueKind::Binary: {
        const Bytes& b = v.as_binary();
        return std::string(b.begin(), b.end());
    }
    case ValueKind::Guid: return guid_text(v.as_guid());
    case ValueKind::Decimal: return decimal_text(v.as_decimal());
    }
    throw_mismatch();
}

double to_double(const Value& v) { return numeric_value(v); }

std::int16_t to_integer(const Value& v) {
    const double r = round_half_even(numeric_value(v));
    if (!(r >= -32768.0 && r <= 32767.0)) throw_overflow();
    return static_cast<std::int16_t>(r);
}

std::int32_t to_long(const Value& v) {
    const double r = round_half_even(numeric_value(v));
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw_overflow();
    return static_cast<std::int32_t>(r);
}

std::int64_t to_int64(const Value& v) {
    constexpr uint128 kMax = (uint128{1} << 63) - 1;
    auto exact = [&](bool negative, uint128 magnitude) {
        if (magnitude > kMax + (negative ? 1 : 0)) throw_overflow();
        const auto m = static_cast<std::uint64_t>(magnitude);
        return negative ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
    };
    switch (v.kind()) {
    case ValueKind::Decimal: {
        const Decimal& d = v.as_decimal();
        uint128 m = d.magnitude;
        for (int s = 0; s < d.scale; ++s) {   // to a whole number, the last digit rounding half to even
            const uint128 rest = m % 10;
            m /= 10;
            if (s + 1 == d.scale && (rest > 5 || (rest == 5 && m % 2 == 1))) ++m;
        }
        return exact(d.negative && m != 0, m);
    }
    case ValueKind::Text: {
        const std::string s = trim(v.as_text_raw());
        std::int64_t out = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        if (ec == std::errc::result_out_of_range) throw_overflow();
        if (ec == std::errc() && end == s.data() + s.size()) return out;
        break;
    }
    case ValueKind::Currency: {
        const std::int64_t scaled = v.as_currency().scaled;
        std::int64_t whole = scaled / 10000;
        const std::int64_t rest = scaled % 10000;   // carries the sign of `scaled`
        if (rest > 5000 || (rest == 5000 && whole % 2 != 0)) ++whole;
        if (rest < -5000 || (rest == -5000 && whole % 2 != 0)) --whole;
        return whole;
    }
    default: break;
    }
    const double r = round_half_even(numeric_value(v));
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) throw_overflow();
    return static_cast<std::int64_t>(r);
}

Decimal whole_decimal(std::int64_t v) {
    Decimal d;
    d.negative = v < 0;
    d.magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    return d;
}

bool to_bool(const Value& v) {
    if (v.kind() == ValueKind::Text) {
        const std::string s = trim(v.as_text_raw());
        if (equals_ignore_case(s, "true")) return true;
        if (equals_ignore_case(s, "false")) return false;
        double d;
        if (parse_number_text(s, d)) return d != 0;
        throw_mismatch();
    }
    return numeric_value(v) != 0;
}

}  // namespace jet
