// Stored field values. Decoding reuses what the Value holds, so a scan that refills one Value
// per field allocates only for text and binary contents.
#include "jet/value/stored_value.h"

#include "jet/value/text_codec.h"

#include <cstring>
#include <fmt/format.h>
#include <string_view>

namespace jet {
namespace {

template <typename T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the file is little-endian, as are our targets
    return v;
}

// Text as stored, to UTF-8, into `out`. Plain ASCII, by far the most common content, is
// copied as is.
void decode_text(std::string& out, const Format& format, const std::uint8_t* p, std::size_t n, std::uint16_t code_page) {
    auto ascii = [](const std::uint8_t* from, const std::uint8_t* to) {
        for (; from != to; ++from)
            if (*from == 0 || *from >= 0x80) return false;
        return true;
    };
    if (format.jet3()) {
        if (ascii(p, p + n))
            out.assign(reinterpret_cast<const char*>(p), n);
        else
            out = decode_code_page(p, n, code_page);
        return;
    }
    const bool compressed = n >= 2 && p[0] == 0xFF && p[1] == 0xFE;  // a zero byte would switch modes
    if (compressed && ascii(p + 2, p + n))
        out.assign(reinterpret_cast<const char*>(p + 2), n - 2);
    else
        out = decode_jet4_text(p, n);
}

constexpr std::int64_t kDaysTo1899_12_30 = 693593;   // from 0001-01-01, where Date/Time Extended counts

// Date/Time Extended: "DDDDDDDDDDDDDDDDDDD:SSSSSSSSSSSSFFFFFFF:7" (days since 0001-01-01, seconds of
// the day, 100-ns units), kept as ISO text so that none of its precision is lost:
// "2021-06-14T22:45:12.3456789", the fraction left out when it is zero. False when malformed.
bool decode_extended_date(std::string& out, const std::uint8_t* p, std::size_t n) {
    auto number = [&](std::size_t from, std::size_t count, std::int64_t& v) {
        v = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (p[i] < '0' || p[i] > '9') return false;
            v = v * 10 + (p[i] - '0');
        }
        return true;
    };
    std::int64_t days = 0, seconds = 0, ticks = 0;
    if (n < 42 || p[19] != ':' || p[39] != ':' || !number(0, 19, days) || !number(20, 12, seconds) ||
        !number(32, 7, ticks) || days > 3652058 || seconds >= 86400)
        return false;
    const CivilTime c = to_civil(DateTime{static_cast<double>(days - kDaysTo1899_12_30)});
    out = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", c.year, c.month, c.day, seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    if (ticks != 0) {
        std::string fraction = fmt::format("{:07}", ticks);
        fraction.erase(fraction.find_last_not_of('0') + 1);
        out += '.' + fraction;
    }
    return true;
}

// Reads `count` digits at `at` (all of them when count is 0) into v; false when there are none.
bool digits(std::string_view s, std::size_t& at, std::size_t count, std::int64_t& v) {
    const std::size_t start = at;
    v = 0;
    while (at < s.size() && (count == 0 || at - start < count) && s[at] >= '0' && s[at] <= '9') v = v * 10 + (s[at++] - '0');
    return at > start && (count == 0 || at - start == count);
}

// "yyyy-mm-dd[(T| )hh:mm[:ss[.fffffff]]]" into its civil parts and 100-ns units; false otherwise.
bool parse_iso(std::string_view s, CivilTime& c, std::int64_t& ticks) {
    std::int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, fraction = 0;
    std::size_t at = 0;
    auto sep = [&](char ch) {
        if (at >= s.size() || s[at] != ch) return false;
        ++at;
        return true;
    };
    if (!digits(s, at, 4, y) || !sep('-') || !digits(s, at, 2, mo) || !sep('-') || !digits(s, at, 2, d)) return false;
    if (at < s.size()) {
        if (!sep('T') && !sep(' ')) return false;
        if (!digits(s, at, 2, h) || !sep(':') || !digits(s, at, 2, mi)) return false;
        if (sep(':') && !digits(s, at, 2, se)) return false;
        if (sep('.')) {
            const std::size_t start = at;
            if (!digits(s, at, 0, fraction) || at - start > 7) return false;
            for (std::size_t k = at - start; k < 7; ++k) fraction *= 10;
        }
    }
    c = CivilTime{static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d),
                  static_cast<int>(h), static_cast<int>(mi), static_cast<int>(se), 0};
    ticks = fraction;
    return at == s.size() && h < 24 && mi < 60 && se < 60;
}

}  // namespace

std::optional<Bytes> encode_extended_date(const Value& v) {
    CivilTime c;
    std::int64_t ticks = 0;
    if (v.kind() != ValueKind::Text || !parse_iso(v.as_text_raw(), c, ticks)) {
        DateTime date;
        if (v.kind() == ValueKind::DateTime) date = v.as_date();
        else if (v.kind() != ValueKind::Text || !parse_date_text(v.as_text_raw(), date)) return std::nullopt;
        c = to_civil(date);
        ticks = c.millisecond * 10000;
    }
    // A day that does not exist (February 30th) comes back as another one.
    const DateTime day = from_civil(CivilTime{c.year, c.month, c.day, 0, 0, 0, 0});
    const CivilTime back = to_civil(day);
    if (c.year < 1 || c.year > 9999 || back.year != c.year || back.month != c.month || back.day != c.day)
        return std::nullopt;
    const std::string text = fmt::format("{:019}:{:012}{:07}:7", static_cast<std::int64_t>(day.days) + kDaysTo1899_12_30,
                                         c.hour * 3600 + c.minute * 60 + c.second, ticks);
    Bytes out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

bool decode_plain_value(Value& out, const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                        std::uint16_t code_page, std::uint8_t scale) {
    if (type != ColumnType::Boolean && n < fixed_length(type)) return false;
    switch (type) {
    case ColumnType::Boolean: out.refill(n > 0 && p[0] != 0); break;
    case ColumnType::Byte: out.refill(p[0]); break;
    case ColumnType::Integer: out.refill(load<std::int16_t>(p)); break;
    case ColumnType::Long:
    case ColumnType::Complex: out.refill(load<std::int32_t>(p)); break;
    case ColumnType::BigInt: out.refill(whole_decimal(load<std::int64_t>(p))); break;
    case ColumnType::DateTimeExtended: return decode_extended_date(out.refill_text(), p, n);
    case ColumnType::Currency: out.refill(Currency{load<std::int64_t>(p)}); break;
    case ColumnType::Single: out.refill(load<float>(p)); break;
    case ColumnType::Double: out.refill(load<double>(p)); break;
    case ColumnType::DateTime: out.refill(DateTime{load<double>(p)}); break;
    case ColumnType::Guid: {
        Guid g;
        std::memcpy(g.bytes.data(), p, 16);
        out.refill(g);
        break;
    }
    case ColumnType::Decimal: {
        Decimal d;
        d.negative = (p[0] & 0x80) != 0;
        for (int word = 0; word < 4; ++word)  // most significant 32-bit word first, each little-endian
            d.magnitude = d.magnitude << 32 | load<std::uint32_t>(p + 1 + 4 * word);
        d.scale = scale;
        out.refill(d);
        break;
    }
    case ColumnType::Text:
    case ColumnType::Memo: decode_text(out.refill_text(), format, p, n, code_page); break;
    default: out = Value::binary(Bytes(p, p + n));
    }
    return true;
}

std::optional<Value> decode_plain_value(const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                                        std::uint16_t code_page, std::uint8_t scale) {
    Value v;
    if (!decode_plain_value(v, format, type, p, n, code_page, scale)) return std::nullopt;
    return v;
}

}  // namespace jet
