#include "jet/rows/row_encode.h"

#include "jet/base/error.h"
#include "jet/rows/calculated_value.h"
#include "jet/storage/page_file.h"
#include "jet/value/stored_value.h"
#include "jet/value/text_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fmt/format.h>

namespace jet {

namespace {

Bytes double_bytes(double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return le_bytes(bits, 8);
}

DateTime to_date(const Value& v) {
    if (v.kind() == ValueKind::DateTime) return v.as_date();
    if (v.kind() == ValueKind::Text) {
        DateTime d;
        if (parse_date_text(v.as_text_raw(), d)) return d;
    }
    return DateTime{to_double(v)};
}

Currency to_currency(const Value& v) {
    if (v.kind() == ValueKind::Currency) return v.as_currency();
    const double d = to_double(v) * 10000.0;
    if (!(std::fabs(d) < 9.2e18)) throw JetError(err::Overflow, "Overflow");
    return Currency{static_cast<std::int64_t>(std::nearbyint(d))};
}

Bytes decimal_bytes(const Column& column, const Value& v) {
    Decimal d;
    if (v.kind() == ValueKind::Decimal) {
        d = v.as_decimal();
    } else {
        const double x = to_double(v);
        double scaled = std::nearbyint(std::fabs(x) * std::pow(10.0, column.scale));
        if (!(scaled < 1e28)) throw JetError(err::Overflow, "Overflow");
        d.negative = x < 0;
        d.magnitude = static_cast<uint128>(scaled);
        d.scale = column.scale;
    }
    // Bring the value to the column's scale.
    while (d.scale < column.scale) { d.magnitude *= 10; ++d.scale; }
    while (d.scale > column.scale) {
        const uint128 rest = d.magnitude % 10;
        d.magnitude /= 10;
        if (rest >= 5) ++d.magnitude;
        --d.scale;
    }
    Bytes out;
    out.push_back(d.negative && d.magnitude != 0 ? 0x80 : 0x00);
    for (int word = 3; word >= 0; --word)
        append_le(out, static_cast<std::uint32_t>(d.magnitude >> (32 * word)), 4);
    return out;
}

}  // namespace

Bytes encode_text_field(const Column& column, const std::string& utf8, const Format& format, std::size_t& characters) {
    if (format.jet3()) {
        Bytes out = encode_code_page(utf8, column.code_page);
        characters = out.size();
        return out;
    }
    const std::u16string units = utf8_to_utf16(utf8);
    characters = units.size();
    return column.is_compressed_unicode() ? encode_compressed_unicode(units) : encode_utf16le(units);
}

Bytes encode_field(const TableDef& table, const Column& column, const Value& value, const Format& format) {
    switch (column.type) {
    case ColumnType::Boolean: return {};
    case ColumnType::Byte: {
        const std::int16_t b = to_integer(value);
        if (b < 0 || b > 255) throw JetError(err::Overflow, "Overflow");
        return Bytes{static_cast<std::uint8_t>(b)};
    }
    case ColumnType::Integer: return le_bytes(static_cast<std::uint16_t>(to_integer(value)), 2);
    case ColumnType::Long: return le_bytes(static_cast<std::uint32_t>(to_long(value)), 4);
    case ColumnType::Currency: return le_bytes(static_cast<std::uint64_t>(to_currency(value).scaled), 8);
    case ColumnType::Single: {
        const float f = static_cast<float>(to_double(value));
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, sizeof bits);
        return le_bytes(bits, 4);
    }
    case ColumnType::Double: return double_bytes(to_double(value));
    case ColumnType::DateTime: return double_bytes(to_date(value).days);
    case ColumnType::Guid:
        if (value.kind() != ValueKind::Guid) throw JetError(err::TypeMismatch, "Type mismatch");
        return Bytes(value.as_guid().bytes.begin(), value.as_guid().bytes.end());
    case ColumnType::Decimal: return decimal_bytes(column, value);
    case ColumnType::Text: {
        std::size_t characters = 0;
        Bytes out = encode_text_field(column, to_text(value), format, characters);
        const std::size_t limit = format.jet3() ? column.length : column.length / 2u;
        if (characters > limit)
            throw JetError(err::FieldTooSmall,
                           "The field is too small to accept the amount of data you attempted to add. "
                           "Try inserting or pasting less data.");
        if (column.is_fixed()) {
            // Fixed-length text is stored uncompressed and padded with spaces.
            Bytes fixed = format.jet3() ? out : encode_utf16le(utf8_to_utf16(to_text(value)));
            while (fixed.size() < column.length) {
                fixed.push_back(' ');
                if (format.jet4()) fixed.push_back(0);
            }
            return fixed;
        }
        return out;
    }
    case ColumnType::Binary:
    case ColumnType::Unknown0D: {
        if (value.kind() != ValueKind::Binary) throw JetError(err::TypeMismatch, "Type mismatch");
        if (value.as_binary().size() > column.length)
            throw JetError(err::FieldTooSmall,
                           "The field is too small to accept the amount of data you attempted to add. "
                           "Try inserting or pasting less data.");
        return value.as_binary();
    }
    case ColumnType::BigInt: return le_bytes(static_cast<std::uint64_t>(to_int64(value)), 8);
    case ColumnType::DateTimeExtended: {
        std::optional<Bytes> stored = encode_extended_date(value);
        if (!stored)
            throw JetError(err::TypeMismatch, fmt::format("Type mismatch: '{}' is no date of the years 1-9999 for column "
                                                          "'{}' of table '{}'.", to_text(value), column.name, table.name));
        return std::move(*stored);
    }
    case ColumnType::Complex: return le_bytes(static_cast<std::uint32_t>(to_long(value)), 4);   // the key the writer gave
    case ColumnType::Ole:
    case ColumnType::Memo:
    case ColumnType::Unknown11: break;   // long values are written by long_value_write
    }
    throw JetError(err::Unsupported, fmt::format("Cannot store a value in column '{}' of table '{}': its type is not "
                                                 "written by this engine.",
                                                 column.name, table.name));
}

Bytes encode_calculated_field(const TableDef& table, const Column& column, const Value& value, const Format& format) {
    constexpr std::uint16_t kWrapper = 23;
    if (column.type == ColumnType::Boolean) return wrap_calculated_result(Bytes{to_bool(value) ? std::uint8_t{0xFF} : std::uint8_t{0}});
    if (column.type == ColumnType::Decimal) {
        if (value.kind() != ValueKind::Decimal) throw JetError(err::TypeMismatch, "Type mismatch");
        const std::optional<Bytes> result = encode_calculated_decimal(value.as_decimal());
        if (!result) throw JetError(err::Overflow, "Overflow");
        return wrap_calculated_result(*result);
    }
    Column plain = column;
    plain.ext_flags = 0;
    plain.length = column.length > kWrapper ? static_cast<std::uint16_t>(column.length - kWrapper) : 0;
    return wrap_calculated_result(encode_field(table, plain, value, format));
}

namespace {

// Lays out fixed area and variable data; returns the row up to the end of the variable
// data plus the var offsets (n + 1 entries, the last one the end of data).
struct Layout {
    Bytes body;
    std::vector<std::size_t> offsets;
    std::size_t var_count = 0;
};

Layout lay_out(const TableDef& table, const Format& format, const std::vector<FieldImage>& fields) {
    Layout l;
    const std::size_t count_size = format.row_count_field_size;
    std::size_t var_bytes = 0;
    for (const FieldImage& f : fields) var_bytes += f.bytes.size();   // with the fixed ones: a bound, so one allocation
    l.body.reserve(count_size + table.fixed_area_size() + var_bytes);
    l.body.assign(count_size + table.fixed_area_size(), 0);
    if (count_size == 1) l.body[0] = static_cast<std::uint8_t>(table.max_columns);
    else put_u16(l.body, 0, table.max_columns);

    std::vector<const FieldImage*> by_var;
    by_var.reserve(table.var_columns);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const FieldImage& f = fields.at(i);
        if (c.type == ColumnType::Boolean && !c.is_calculated()) continue;   // its value is its null-mask bit
        if (c.is_fixed()) {
            if (f.present) {
                const std::size_t at = count_size + c.fixed_offset;
                if (at + f.bytes.size() > l.body.size())
                    throw JetError(err::CorruptDatabase, fmt::format("Column '{}' of table '{}' lies outside the row's "
                                                                     "fixed area.", c.name, table.name));
                std::copy(f.bytes.begin(), f.bytes.end(), l.body.begin() + static_cast<std::ptrdiff_t>(at));
            }
        } else {
            if (by_var.size() <= c.var_index) by_var.resize(c.var_index + 1u, nullptr);
            by_var[c.var_index] = &f;
        }
    }
    // Slots of deleted variable columns stay in the table as empty entries.
    l.var_count = by_var.size();
    l.offsets.reserve(by_var.size() + 1);
    for (const FieldImage* f : by_var) {
        l.offsets.push_back(l.body.size());
        if (f && f->present) l.body.insert(l.body.end(), f->bytes.begin(), f->bytes.end());
    }
    l.offsets.push_back(l.body.size());
    return l;
}

Bytes null_mask(const TableDef& table, const std::vector<FieldImage>& fields) {
    Bytes mask((table.max_columns + 7u) / 8u, 0);
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (fields.at(i).present) mask.at(table.columns[i].number / 8u) |= static_cast<std::uint8_t>(1u << (table.columns[i].number % 8u));
    return mask;
}

// Jet 4: var data, padding, EOD, offsets in reverse, count, mask.
Bytes finish_jet4(const Layout& l, const Bytes& mask, bool has_var, std::size_t pad) {
    Bytes row;
    row.reserve(l.body.size() + pad + 2 * (l.var_count + 2) + mask.size());
    row.assign(l.body.begin(), l.body.end());
    if (has_var) {
        row.insert(row.end(), pad, 0);
        append_le(row, l.offsets.back(), 2);
        for (std::size_t i = l.var_count; i-- > 0;) append_le(row, l.offsets[i], 2);
        append_le(row, l.var_count, 2);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

// Jet 3: var data, padding, EOD low byte, offsets' low bytes in reverse, jump table, count, mask.
// The jump table has one byte per 256 bytes of row length; byte k names the first var entry
// at or past 256*(k+1), 0xFF when none is (readers then take it for the dummy byte).
Bytes finish_jet3(const Layout& l, const Bytes& mask, bool has_var, std::size_t pad) {
    Bytes row = l.body;
    if (!has_var) {
        row.insert(row.end(), mask.begin(), mask.end());
        return row;
    }
    const std::size_t n = l.var_count;
    const std::size_t fixed_tail = pad + 1 + n + 1 + mask.size();
    std::size_t jumps = 0;
    for (;;) {
        const std::size_t length = row.size() + fixed_tail + jumps;
        const std::size_t next = (length - 1) / 256;
        if (next == jumps) break;
        jumps = next;
    }
    row.insert(row.end(), pad, 0);
    row.push_back(static_cast<std::uint8_t>(l.offsets.back()));
    for (std::size_t i = n; i-- > 0;) row.push_back(static_cast<std::uint8_t>(l.offsets[i]));
    Bytes table(jumps, 0xFF);
    for (std::size_t k = 0; k < jumps; ++k)
        for (std::size_t i = 0; i <= n; ++i)
            if (l.offsets[i] >= 256 * (k + 1)) {
                table[k] = static_cast<std::uint8_t>(i);
                break;
            }
    for (std::size_t k = jumps; k-- > 0;) row.push_back(table[k]);
    row.push_back(static_cast<std::uint8_t>(n));
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

Bytes assemble(const TableDef& table, const Format& format, const Layout& l, const Bytes& mask, std::size_t pad) {
    const bool has_var = table.var_columns > 0 || l.var_count > 0;
    if (format.jet3() && l.var_count >= 255)
        throw JetError(err::Unsupported, fmt::format("Table '{}' has too many variable columns to write.", table.name));
    return format.jet3() ? finish_jet3(l, mask, has_var, pad) : finish_jet4(l, mask, has_var, pad);
}

}  // namespace

Bytes build_row(const TableDef& table, const Format& format, const std::vector<FieldImage>& fields) {
    const Layout l = lay_out(table, format, fields);
    Bytes row = assemble(table, format, l, null_mask(table, fields), 0);
    if (row.size() > format.max_row_size)
        throw JetError(err::RecordTooLarge, fmt::format("Record is too large: a row of table '{}' would take {} bytes, more "
                                                   "than the {} a row may hold.",
                                                   table.name, row.size(), format.max_row_size));
    return row;
}

std::optional<Bytes> build_row_padded(const TableDef& table, const Format& format,
                                      const std::vector<FieldImage>& fields, std::size_t length) {
    const Layout l = lay_out(table, format, fields);
    const Bytes mask = null_mask(table, fields);
    Bytes row = assemble(table, format, l, mask, 0);
    if (row.size() > length) return std::nullopt;
    if (row.size() == length) return row;
    // Without a variable area there is no place for padding inside the row.
    if (table.var_columns == 0 && l.var_count == 0) return std::nullopt;
    // Jet 3's jump table may grow by a byte with the padding: take the padding that lands exactly.
    const std::size_t missing = length - row.size();
    for (std::size_t less = 0; less <= 1 && less <= missing; ++less) {
        Bytes padded = assemble(table, format, l, mask, missing - less);
        if (padded.size() == length) return padded;
    }
    return std::nullopt;
}

}  // namespace jet
