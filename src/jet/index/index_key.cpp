// Index key encoding per column type. Numbers become big-endian with the sign handled so that
// unsigned byte comparison orders them; text goes through the collation of text_sort.
#include "jet/index/index_key.h"

#include "jet/base/error.h"
#include "jet/index/text_sort.h"
#include "jet/value/stored_value.h"

#include <bit>
#include <string>

namespace jet {

namespace {

constexpr std::uint8_t kAscendingPresent = 0x7F;
constexpr std::uint8_t kDescendingPresent = 0x80;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kDescendingNull = 0xFF;

std::string where(const TableDef& table, const Column& column) {
    return "column '" + column.name + "' of table '" + table.name + "'";
}

[[noreturn]] void mismatch(const TableDef& table, const Column& column) {
    throw JetError(err::DataTypeMismatchInCriteria,
                   "Data type mismatch in criteria expression: the index key value does not fit " +
                       where(table, column) + ".");
}

void put_be(Bytes& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void invert_from(Bytes& out, std::size_t from) {
    for (std::size_t i = from; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

std::int64_t integral(const Value& v, const TableDef& table, const Column& column) {
    switch (v.kind()) {
        case ValueKind::Byte: return v.as_byte();
        case ValueKind::Integer: return v.as_int16();
        case ValueKind::Long: return v.as_int32();
        case ValueKind::Boolean: return v.as_bool() ? -1 : 0;
        default: mismatch(table, column);
    }
}

double floating(const Value& v, const TableDef& table, const Column& column) {
    switch (v.kind()) {
        case ValueKind::Single: return v.as_single();
        case ValueKind::Double: return v.as_double_raw();
        case ValueKind::DateTime: return v.as_date().days;
        case ValueKind::Byte:
        case ValueKind::Integer:
        case ValueKind::Long: return static_cast<double>(integral(v, table, column));
        default: mismatch(table, column);
    }
}

// Two's complement big-endian with the sign bit flipped.
void signed_integer(Bytes& out, std::int64_t v, int bytes) {
    const std::size_t at = out.size();
    put_be(out, static_cast<std::uint64_t>(v), bytes);
    out[at] ^= 0x80;
}

// IEEE big-endian: positives get the sign bit set, negatives are inverted entirely.
void ieee(Bytes& out, std::uint64_t bits, int bytes) {
    const std::size_t at = out.size();
    put_be(out, bits, bytes);
    if ((out[at] & 0x80) == 0) out[at] ^= 0x80;
    else invert_from(out, at);
}

// Binary data in 8-byte chunks, each followed by 9 ("more follows") or the bytes used.
void binary(Bytes& out, const std::uint8_t* data, std::size_t size, bool ascending) {
    std::size_t pos = 0;
    while (size - pos > 8) {
        const std::size_t at = out.size();
        out.insert(out.end(), data + pos, data + pos + 8);
        if (!ascending) invert_from(out, at);
        out.push_back(9);
        pos += 8;
    }
    if (size - pos > 0) {
        const std::size_t at = out.size();
        const std::size_t used = size - pos;
        out.insert(out.end(), data + pos, data + size);
        out.insert(out.end(), 8 - used, 0);
        out.push_back(static_cast<std::uint8_t>(used));
        if (!ascending) invert_from(out, at);
    }
}

// Decimal: sign byte and 16 magnitude bytes at the column's scale; negatives of an ascending
// column (and positives of a descending one) inverted, then the sign byte 0x00/0xFF.
void decimal(Bytes& out, const Decimal& d, const TableDef& table, const Column& column, bool ascending, bool ace) {
    uint128 magnitude = d.magnitude;
    for (int s = d.scale; s < column.scale; ++s) magnitude *= 10;
    for (int s = d.scale; s > column.scale; --s) {
        if (magnitude % 10 != 0) mismatch(table, column);
        magnitude /= 10;
    }
    const bool negative = d.negative && magnitude != 0;
    const std::size_t at = out.size();
    out.push_back(negative ? 0x80 : 0x00);
    put_be(out, static_cast<std::uint64_t>(magnitude >> 64), 8);
    put_be(out, static_cast<std::uint64_t>(magnitude), 8);
    // Access 2007 fixed the order of negative keys: the sign byte is set before the inversion.
    if (ace) out[at] = 0xFF;
    if (negative == ascending) invert_from(out, at);
    if (!ace) out[at] = negative ? 0x00 : 0xFF;
}

// A Large Number, converted as the row's field is (stored_value.h).
std::int64_t big_integer(const Value& v, const TableDef& table, const Column& column) {
    try {
        return to_int64(v);
    } catch (const JetError&) {
        mismatch(table, column);
    }
}

// Date/Time Extended: its 42 stored bytes in blocks of eight, each followed by 0x09, then the
// last two and a trailer; a descending key inverts data and trailer but not the separators.
void extended_date(Bytes& out, const Bytes& stored, bool ascending) {
    const std::uint8_t flip = ascending ? 0x00 : 0xFF;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(stored[i] ^ flip));
        if (i % 8 == 7) out.push_back(0x09);
    }
    for (int b : {0, 0, 0, 0, 0, 0, 2}) out.push_back(static_cast<std::uint8_t>(b ^ flip));
}

// Numbers and dates are fixed-width big-endian keys that compare as unsigned bytes; a
// descending key is the ascending one inverted.
bool is_number_key(ColumnType type) {
    switch (type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Complex:
        case ColumnType::BigInt:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime: return true;
        default: return false;
    }
}

// A number's key in ascending order.
void append_number_key(Bytes& out, const TableDef& table, const Column& column, const Value& value) {
    switch (column.type) {
        case ColumnType::Byte: {
            const std::int64_t v = integral(value, table, column);
            if (v < 0 || v > 255) mismatch(table, column);
            out.push_back(static_cast<std::uint8_t>(v));
            break;
        }
        case ColumnType::Integer: {
            const std::int64_t v = integral(value, table, column);
            if (v < INT16_MIN || v > INT16_MAX) mismatch(table, column);
            signed_integer(out, v, 2);
            break;
        }
        case ColumnType::Long:
        case ColumnType::Complex:
            signed_integer(out, integral(value, table, column), 4);
            break;
        case ColumnType::BigInt:
            signed_integer(out, big_integer(value, table, column), 8);
            break;
        case ColumnType::Currency:
            signed_integer(out, value.kind() == ValueKind::Currency ? value.as_currency().scaled
                                                                     : integral(value, table, column) * 10000,
                           8);
            break;
        case ColumnType::Single:
            ieee(out, std::bit_cast<std::uint32_t>(static_cast<float>(floating(value, table, column))), 4);
            break;
        case ColumnType::Double:
        case ColumnType::DateTime:
            ieee(out, std::bit_cast<std::uint64_t>(floating(value, table, column)), 8);
            break;
        default:
            break;
    }
}

// The other kinds carry end markers, a sign byte or collation weights that must keep their
// meaning in a descending key, so each writes its descending form itself.
void append_ordered_key(Bytes& out, const Format& format, const TableDef& table, const Column& column,
                        bool ascending, const Value& value) {
    switch (column.type) {
        case ColumnType::Boolean: {
            const bool yes = !value.is_null() && (value.kind() == ValueKind::Boolean ? value.as_bool()
                                                                                   : integral(value, table, column) != 0);
            out.push_back(yes == ascending ? 0x00 : 0xFF);
            return;
        }
        case ColumnType::Guid: {
            if (value.kind() != ValueKind::Guid) mismatch(table, column);
            const auto& s = value.as_guid().bytes;
            const std::uint8_t canonical[16] = {s[3], s[2], s[1], s[0], s[5], s[4], s[7], s[6],
                                                s[8], s[9], s[10], s[11], s[12], s[13], s[14], s[15]};
            binary(out, canonical, 16, ascending);
            return;
        }
        case ColumnType::Binary: {
            if (value.kind() != ValueKind::Binary) mismatch(table, column);
            const Bytes& b = value.as_binary();
            binary(out, b.data(), b.size(), ascending);
            return;
        }
        case ColumnType::Decimal:
            if (value.kind() != ValueKind::Decimal) mismatch(table, column);
            decimal(out, value.as_decimal(), table, column, ascending, format.ace);
            return;
        case ColumnType::DateTimeExtended: {
            const std::optional<Bytes> stored = encode_extended_date(value);
            if (!stored) mismatch(table, column);
            extended_date(out, *stored, ascending);
            return;
        }
        case ColumnType::Text:
        case ColumnType::Memo: {
            if (value.kind() != ValueKind::Text) mismatch(table, column);
            const auto collation = text_collation(format, column);
            if (!collation)
                throw JetError(err::Unsupported, "The index on " + where(table, column) + " uses sort order " +
                                                     std::to_string(column.sort_order) +
                                                     ", which this engine cannot write.");
            if (!append_text_sort_key(out, value.as_text_raw(), *collation, ascending))
                throw JetError(err::Unsupported, "The text '" + value.as_text_raw() + "' of " + where(table, column) +
                                                     " has characters this engine cannot place in its index.");
            return;
        }
        default:
            throw JetError(err::Unsupported, "Jet cannot index the " + std::string(column_type_name(column.type)) +
                                                 " " + where(table, column) + ".");
    }
}

}  // namespace

const Column& index_column(const TableDef& table, const IndexColumn& ic) {
    const Column* c = table.column_by_number(ic.column_number);
    if (c == nullptr)
        throw JetError(err::CorruptDatabase, "An index of table '" + table.name + "' names column number " +
                                                 std::to_string(ic.column_number) + ", which the table does not have.");
    return *c;
}

void append_column_key(Bytes& out, const Format& format, const TableDef& table, const Column& column,
                       bool ascending, const Value& value) {
    // Yes/No columns are never Null; a missing value sorts as No.
    if (value.is_null() && column.type != ColumnType::Boolean) {
        out.push_back(ascending ? kAscendingNull : kDescendingNull);
        return;
    }
    out.push_back(ascending ? kAscendingPresent : kDescendingPresent);
    if (!is_number_key(column.type)) return append_ordered_key(out, format, table, column, ascending, value);
    const std::size_t at = out.size();
    append_number_key(out, table, column, value);
    if (!ascending) invert_from(out, at);  // a descending number is its ascending bytes inverted
}

IndexKey encode_index_key(const Format& format, const TableDef& table, const RealIndex& index,
                          const std::vector<Value>& row) {
    IndexKey key;
    key.all_null = true;
    key.bytes.reserve(16 * index.columns.size());   // a flag and up to eight bytes a number; text grows it
    for (const IndexColumn& ic : index.columns) {
        const Column& column = index_column(table, ic);
        std::size_t position = 0;
        while (position < table.columns.size() && table.columns[position].number != column.number) ++position;
        const Value null_value;
        const Value& value = position < row.size() ? row[position] : null_value;
        const bool is_null = value.is_null() && column.type != ColumnType::Boolean;
        key.any_null = key.any_null || is_null;
        key.all_null = key.all_null && is_null;
        append_column_key(key.bytes, format, table, column, ic.ascending, value);
    }
    return key;
}

Bytes encode_key_prefix(const Format& format, const TableDef& table, const RealIndex& index,
                        const std::vector<Value>& leading) {
    if (leading.size() > index.columns.size())
        throw JetError(err::SubscriptOutOfRange, "More key values than the index of table '" + table.name +
                                                     "' has columns.");
    Bytes out;
    for (std::size_t i = 0; i < leading.size(); ++i)
        append_column_key(out, format, table, index_column(table, index.columns[i]), index.columns[i].ascending,
                          leading[i]);
    return out;
}

}  // namespace jet
