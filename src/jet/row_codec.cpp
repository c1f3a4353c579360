// Row decoding. The buffers for a row's offsets and fields are the thread's own and reused
// (decoding never calls back into decoding), so reading rows allocates only for the text and
// binary values themselves.
#include "row_codec.h"

#include "error.h"
#include "long_value.h"
#include "text_codec.h"

#include <cstring>
#include <fmt/format.h>

namespace jet {
namespace {

std::vector<std::uint32_t>& var_offsets_buffer() {
    thread_local std::vector<std::uint32_t> offsets;
    return offsets;
}

std::vector<FieldRef>& fields_buffer() {
    thread_local std::vector<FieldRef> fields;
    return fields;
}

template <typename T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the file is little-endian, as are our targets
    return v;
}

std::uint32_t fixed_size(ColumnType type, std::uint16_t declared) {
    switch (type) {
    case ColumnType::Boolean: return 0;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: case ColumnType::Single: return 4;
    case ColumnType::Currency: case ColumnType::Double: case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    case ColumnType::Decimal: return 17;
    default: return declared;
    }
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

// A non-long-value field's value into `out`; false when the bytes are too short for the type.
bool store_plain(Value& out, const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                 std::uint16_t code_page, std::uint8_t scale) {
    if (n < fixed_size(type, 0)) return false;
    switch (type) {
    case ColumnType::Boolean: out.refill(n > 0 && p[0] != 0); break;
    case ColumnType::Byte: out.refill(p[0]); break;
    case ColumnType::Integer: out.refill(load<std::int16_t>(p)); break;
    case ColumnType::Long: out.refill(load<std::int32_t>(p)); break;
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

}  // namespace

std::optional<RowBounds> checked_row(const Format& format, PageSpan page, std::uint32_t row) {
    if (page.size() < format.data_first_row_offset) return std::nullopt;
    const std::uint32_t count = data_page_rows(format, page);
    if (row >= count || format.data_first_row_offset + 2ull * count > page.size()) return std::nullopt;
    auto entry = [&](std::uint32_t i) {
        const std::size_t at = format.data_first_row_offset + 2u * i;
        return static_cast<std::uint16_t>(page[at] | page[at + 1] << 8);
    };
    RowBounds b;
    b.flags = static_cast<std::uint16_t>(entry(row) & ~row_flags::OffsetMask);
    b.start = entry(row) & row_flags::OffsetMask;
    b.end = row == 0 ? page.size() : (entry(row - 1) & row_flags::OffsetMask);
    if (b.start < format.data_first_row_offset + 2u * count || b.start > b.end || b.end > page.size()) return std::nullopt;
    return b;
}

std::optional<Value> decode_plain_value(const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                                        std::uint16_t code_page, std::uint8_t scale) {
    Value v;
    if (!store_plain(v, format, type, p, n, code_page, scale)) return std::nullopt;
    return v;
}

RowDecoder::RowDecoder(const PageFile& file, const TableDef& table)
    : file_(file), table_(table), format_(file.format()) {}

void RowDecoder::damaged(RowId id, const std::string& what) const {
    throw JetError(err::CorruptDatabase, fmt::format("Row {} on page {} of table '{}' in '{}' is damaged: {}.", id.row,
                                                     id.page, table_.name, file_.path(), what));
}

std::optional<std::span<const std::uint8_t>> RowDecoder::fixed_field(const std::uint8_t* row, std::size_t size,
                                                                      const Column& c) const {
    const bool jet3 = format_.jet3();
    const std::size_t count_size = jet3 ? 1 : 2;
    if (!c.is_fixed() || c.type == ColumnType::Boolean || size < count_size + 1) return std::nullopt;
    const std::uint32_t ncols = jet3 ? row[0] : static_cast<std::uint32_t>(row[0] | row[1] << 8);
    const std::size_t mask_len = (ncols + 7) / 8;
    if (size < count_size + mask_len) return std::nullopt;
    if (c.number >= ncols) return std::span<const std::uint8_t>{};
    const std::uint8_t* mask = row + size - mask_len;
    if ((mask[c.number / 8] >> (c.number % 8) & 1) == 0) return std::span<const std::uint8_t>{};
    const std::size_t start = count_size + c.fixed_offset;
    const std::uint32_t len = fixed_size(c.type, c.length);
    if (len == 0 || start + len > size - mask_len) return std::nullopt;
    return std::span<const std::uint8_t>(row + start, len);
}

void RowDecoder::split(const std::uint8_t* row, std::size_t size, RowId id, std::vector<FieldRef>& out) const {
    const bool jet3 = format_.jet3();
    const std::size_t count_size = jet3 ? 1 : 2;
    if (size < count_size + 1) damaged(id, "it is too short");
    const std::uint32_t ncols = jet3 ? row[0] : static_cast<std::uint32_t>(row[0] | row[1] << 8);
    const std::size_t mask_len = (ncols + 7) / 8;
    if (size < count_size + mask_len) damaged(id, "its null mask is cut off");
    const std::uint8_t* mask = row + size - mask_len;
    std::size_t data_end = size - mask_len;  // where the variable-area trailer begins

    std::uint32_t nvar = 0;
    std::vector<std::uint32_t>& var_offsets = var_offsets_buffer();
    var_offsets.clear();
    if (table_.var_columns > 0) {
        if (jet3) {
            if (data_end < count_size + 1) damaged(id, "its variable-column count is cut off");
            nvar = row[data_end - 1];
            const std::size_t jumps = (size - 1) / 256;
            // pos0 is var[0]'s low byte; var[i] lies at pos0 - i and the end-of-data byte at pos0 - nvar.
            if (data_end < 2 + jumps + nvar + count_size) damaged(id, "its variable-column offsets are cut off");
            const std::size_t pos0 = data_end - 2 - jumps;
            std::size_t real_jumps = jumps;
            if (jumps > 0 && (pos0 - nvar) / 256 < jumps) --real_jumps;  // the lowest jump byte is padding
            std::size_t used = 0;
            for (std::uint32_t i = 0; i <= nvar; ++i) {
                while (used < real_jumps && i == row[data_end - 2 - used]) ++used;
                var_offsets.push_back(static_cast<std::uint32_t>(row[pos0 - i] + 256 * used));
            }
            data_end = pos0 - nvar;
        } else {
            if (data_end < count_size + 2) damaged(id, "its variable-column count is cut off");
            nvar = static_cast<std::uint32_t>(row[data_end - 2] | row[data_end - 1] << 8);
            if (data_end < count_size + 4 + 2ull * nvar) damaged(id, "its variable-column offsets are cut off");
            for (std::uint32_t i = 0; i <= nvar; ++i) {
                const std::size_t at = data_end - 4 - 2 * i;
                var_offsets.push_back(static_cast<std::uint32_t>(row[at] | row[at + 1] << 8));
            }
            data_end = data_end - 4 - 2ull * nvar;
        }
    }

    out.resize(table_.columns.size());
    for (std::size_t k = 0; k < table_.columns.size(); ++k) {
        const Column& c = table_.columns[k];
        FieldRef& f = out[k];
        f = FieldRef{};
        if (c.number >= ncols) continue;
        f.present = (mask[c.number / 8] >> (c.number % 8) & 1) != 0;
        if (c.type == ColumnType::Boolean || !f.present) continue;
        if (c.is_fixed()) {
            const std::size_t start = count_size + c.fixed_offset;
            const std::uint32_t len = fixed_size(c.type, c.length);
            if (start + len > data_end) damaged(id, fmt::format("column '{}' lies outside the row", c.name));
            f.data = row + start;
            f.size = len;
        } else {
            if (c.var_index >= nvar) {
                f.present = false;
                continue;
            }
            const std::uint32_t start = var_offsets[c.var_index], end = var_offsets[c.var_index + 1u];
            if (start < count_size || start > end || end > data_end)
                damaged(id, fmt::format("column '{}' has offsets {}..{} outside the row", c.name, start, end));
            f.data = row + start;
            f.size = end - start;
        }
    }
}

void RowDecoder::store(Value& out, const Column& c, const FieldRef& f, RowId id) const {
    if (c.type == ColumnType::Boolean) {
        out.refill(f.present);
    } else if (!f.present || !f.data) {
        out = Value::null();
    } else if (is_long_value(c.type)) {
        const Bytes data = read_long_value(file_, f.data, f.size, LongValueField{table_.name, c.name, id});
        if (c.type == ColumnType::Ole)
            out = Value::binary(data);
        else
            store_plain(out, format_, ColumnType::Memo, data.data(), data.size(), c.code_page, 0);
    } else if (!store_plain(out, format_, c.type, f.data, f.size, c.code_page, c.scale)) {
        damaged(id, fmt::format("column '{}' holds {} bytes, too few for its type", c.name, f.size));
    }
}

Value RowDecoder::value(const Column& c, const FieldRef& f, RowId id) const {
    Value v;
    store(v, c, f, id);
    return v;
}

void RowDecoder::decode(const std::uint8_t* row, std::size_t size, RowId id, std::vector<Value>& out,
                        const std::vector<bool>* wanted) const {
    std::vector<FieldRef>& fields = fields_buffer();
    split(row, size, id, fields);
    out.resize(table_.columns.size());
    for (std::size_t k = 0; k < table_.columns.size(); ++k)
        if (!wanted || (*wanted)[k]) store(out[k], table_.columns[k], fields[k], id);
}

}  // namespace jet
