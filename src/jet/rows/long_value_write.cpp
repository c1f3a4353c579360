#include "jet/rows/long_value_write.h"

#include "jet/base/error.h"
#include "jet/rows/row_encode.h"
#include "jet/storage/page_rows.h"
#include "jet/storage/usage_map_write.h"

#include <algorithm>
#include <fmt/format.h>

namespace jet {

namespace {

constexpr std::uint32_t InlineFlag = 0x80000000u;
constexpr std::uint32_t SingleRowFlag = 0x40000000u;
constexpr std::uint32_t MaxLength = 0x3FFFFFFFu;

const LongValueMaps& maps_of(const TableDef& table, const Column& column) {
    for (const LongValueMaps& m : table.long_value_maps)
        if (m.column_number == column.number) return m;
    throw JetError(err::Unsupported, fmt::format("Column '{}' of table '{}' has no long-value page maps; its values "
                                                 "cannot be stored.", column.name, table.name));
}

// Adds one LVAL row and returns its row pointer.
std::uint32_t add_lval_row(PageFile& file, const LongValueMaps& maps, const Bytes& row) {
    RowSpace space = find_row_space(file, LvalOwner, maps.free_map, row.size());
    const std::uint8_t number = data_page_add_row(space.image, file.format(), row);
    store_row_space(file, space);
    register_row_space(file, space, maps.owned_map, maps.free_map);
    return RowId{space.page, number}.to_u32();
}

Bytes header(std::uint32_t length_and_type, std::uint32_t pointer) {
    Bytes h(12, 0);
    put_u32(h, 0, length_and_type);
    put_u32(h, 4, pointer);
    return h;
}

}  // namespace

Bytes long_value_data(const Column& column, const Value& value, const Format& format) {
    if (column.type == ColumnType::Memo) {
        std::size_t characters = 0;
        return encode_text_field(column, to_text(value), format, characters);
    }
    if (value.kind() == ValueKind::Binary) return value.as_binary();
    if (value.kind() == ValueKind::Text) return Bytes(value.as_text_raw().begin(), value.as_text_raw().end());
    throw JetError(err::TypeMismatch, "Type mismatch");
}

Bytes write_long_value(PageFile& file, const TableDef& table, const Column& column, const Bytes& data) {
    const Format& format = file.format();
    if (data.size() > MaxLength)
        throw JetError(err::FieldTooSmall, fmt::format("The value for column '{}' of table '{}' is too long.",
                                                       column.name, table.name));
    const auto length = static_cast<std::uint32_t>(data.size());
    if (data.size() <= format.max_inline_long_value) {
        Bytes field = header(length | InlineFlag, 0);
        field.insert(field.end(), data.begin(), data.end());
        return field;
    }
    const LongValueMaps& maps = maps_of(table, column);
    if (data.size() <= format.max_single_lval_row)
        return header(length | SingleRowFlag, add_lval_row(file, maps, data));
    // A chain, written from its last fragment so that each row points at one already stored.
    const std::size_t chunk = format.max_single_lval_row - 4;
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < data.size(); at += chunk) starts.push_back(at);
    std::uint32_t next = 0;
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const std::size_t end = std::min(data.size(), *it + chunk);
        Bytes row(4 + (end - *it));
        put_u32(row, 0, next);
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(*it), data.begin() + static_cast<std::ptrdiff_t>(end),
                  row.begin() + 4);
        next = add_lval_row(file, maps, row);
    }
    return header(length, next);
}

}  // namespace jet
