// Row decoding. The buffers for a row's offsets and fields are the thread's own and reused
// (decoding never calls back into decoding), so reading rows allocates only for the text and
// binary values themselves.
#include "jet/rows/row_decode.h"

#include "jet/base/error.h"
#include "jet/rows/calculated_value.h"
#include "jet/rows/long_value.h"
#include "jet/value/stored_value.h"

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

// Bytes a fixed-size field takes in a row: Booleans none (they live in the null mask), the
// others their type's length or, for fixed Text and Binary and calculated columns (whose
// result is wrapped), the column's.
std::uint32_t fixed_size(const Column& c) {
    if (c.is_calculated()) return c.length;
    if (c.type == ColumnType::Boolean) return 0;
    const std::uint16_t length = fixed_length(c.type);
    return length != 0 ? length : c.length;
}

// A Boolean's value is its null-mask bit, except in a calculated column, which stores a byte.
bool in_null_mask(const Column& c) { return c.type == ColumnType::Boolean && !c.is_calculated(); }

}  // namespace

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
    if (!c.is_fixed() || c.type == ColumnType::Boolean || c.is_calculated() || size < count_size + 1) return std::nullopt;
    const std::uint32_t ncols = jet3 ? row[0] : get_u16(row);
    const std::size_t mask_len = (ncols + 7) / 8;
    if (size < count_size + mask_len) return std::nullopt;
    if (c.number >= ncols) return std::span<const std::uint8_t>{};
    const std::uint8_t* mask = row + size - mask_len;
    if ((mask[c.number / 8] >> (c.number % 8) & 1) == 0) return std::span<const std::uint8_t>{};
    const std::size_t start = count_size + c.fixed_offset;
    const std::uint32_t len = fixed_size(c);
    if (len == 0 || start + len > size - mask_len) return std::nullopt;
    return std::span<const std::uint8_t>(row + start, len);
}

void RowDecoder::split(const std::uint8_t* row, std::size_t size, RowId id, std::vector<FieldRef>& out) const {
    const bool jet3 = format_.jet3();
    const std::size_t count_size = jet3 ? 1 : 2;
    if (size < count_size + 1) damaged(id, "it is too short");
    const std::uint32_t ncols = jet3 ? row[0] : get_u16(row);
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
            nvar = get_u16(row + data_end - 2);
            if (data_end < count_size + 4 + 2ull * nvar) damaged(id, "its variable-column offsets are cut off");
            for (std::uint32_t i = 0; i <= nvar; ++i) {
                var_offsets.push_back(get_u16(row + data_end - 4 - 2 * i));
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
        if (in_null_mask(c) || !f.present) continue;
        if (c.is_fixed()) {
            const std::size_t start = count_size + c.fixed_offset;
            const std::uint32_t len = fixed_size(c);
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
    if (in_null_mask(c)) {
        out.refill(f.present);
    } else if (!f.present || !f.data) {
        out = Value::null();
    } else if (c.is_calculated()) {
        store_calculated(out, c, f, id);
    } else if (is_long_value(c.type)) {
        const Bytes data = read_long_value(file_, f.data, f.size, LongValueField{table_.name, c.name, id});
        if (c.type == ColumnType::Ole)
            out = Value::binary(data);
        else
            decode_plain_value(out, format_, ColumnType::Memo, data.data(), data.size(), c.code_page, 0);
    } else if (!decode_plain_value(out, format_, c.type, f.data, f.size, c.code_page, c.scale)) {
        damaged(id, fmt::format("column '{}' holds {} bytes, too few for its type", c.name, f.size));
    }
}

void RowDecoder::store_calculated(Value& out, const Column& c, const FieldRef& f, RowId id) const {
    Bytes long_value;
    std::span<const std::uint8_t> stored(f.data, f.size);
    if (is_long_value(c.type)) {
        long_value = read_long_value(file_, f.data, f.size, LongValueField{table_.name, c.name, id});
        stored = long_value;
    }
    const auto result = calculated_result(stored.data(), stored.size());
    if (!result) damaged(id, fmt::format("the calculated column '{}' holds a cut-off result", c.name));
    if (result->empty() && !is_text_like(c.type)) {   // the expression gave Null
        out = Value::null();
        return;
    }
    if (c.type == ColumnType::Boolean) {
        out.refill((*result)[0] != 0);
        return;
    }
    const ColumnType type = c.type == ColumnType::Ole ? ColumnType::Binary : c.type;
    const bool decoded = c.type == ColumnType::Decimal
                             ? decode_calculated_decimal(out, *result)
                             : decode_plain_value(out, format_, type, result->data(), result->size(), c.code_page,
                                                  c.scale);
    if (!decoded)
        damaged(id, fmt::format("the calculated column '{}' holds a result of {} bytes that does not read as {}",
                                c.name, result->size(), column_type_name(c.type)));
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
