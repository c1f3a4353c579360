// Decoding stored rows: the row-offset table of a data page, a row's null mask, fixed area
// and variable area (Jet 4 2-byte offsets, Jet 3 1-byte offsets with jump tables), and
// each column's value. Every offset is checked against the row, so a damaged row is an
// error naming the table, the page and the row.
#pragma once

#include "page_io.h"
#include "page_rows.h"
#include "table_def.h"
#include "value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace jet {

// The tdef page owning a data page (or LvalOwner).
inline std::uint32_t data_page_owner_of(PageSpan page) {
    return static_cast<std::uint32_t>(page[4] | page[5] << 8 | page[6] << 16) | static_cast<std::uint32_t>(page[7]) << 24;
}
// The number of entries in a data page's row-offset table.
inline std::uint32_t data_page_rows(const Format& format, PageSpan page) {
    return static_cast<std::uint32_t>(page[format.data_row_count_offset] | page[format.data_row_count_offset + 1] << 8);
}

// Bounds of row `row` of a data page, or nullopt when it does not exist or its offsets are
// damaged (a non-throwing variant of data_page_row for readers).
std::optional<RowBounds> checked_row(const Format& format, PageSpan page, std::uint32_t row);

// One column's bytes within a row; `data` is null when the field is Null. For Booleans
// `present` is the value.
struct FieldRef {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    bool present = false;
};

// A stored value of a non-long-value type from its bytes (also used for property values);
// nullopt when the bytes are too short for the type.
std::optional<Value> decode_plain_value(const Format& format, ColumnType type, const std::uint8_t* data,
                                        std::size_t size, std::uint16_t code_page, std::uint8_t scale);

class RowDecoder {
public:
    RowDecoder(const PageFile& file, const TableDef& table);

    // The fields of the row [row, row + size), one per table column in TableDef order.
    void split(const std::uint8_t* row, std::size_t size, RowId id, std::vector<FieldRef>& out) const;
    // Values, one per table column in TableDef order; long values are read from their pages.
    // With `wanted`, only the columns it marks are decoded (the others are left Null).
    void decode(const std::uint8_t* row, std::size_t size, RowId id, std::vector<Value>& out,
                const std::vector<bool>* wanted = nullptr) const;
    Value value(const Column& column, const FieldRef& field, RowId id) const;
    // A quick look at one fixed-size column before a row is decoded: its stored bytes, an
    // empty span when the row holds it as Null or not at all, nullopt when the row is not laid
    // out plainly enough to tell (decoding it then says what is wrong).
    std::optional<std::span<const std::uint8_t>> fixed_field(const std::uint8_t* row, std::size_t size,
                                                             const Column& column) const;

private:
    // value() into `out`, reusing what `out` holds.
    void store(Value& out, const Column& column, const FieldRef& field, RowId id) const;
    [[noreturn]] void damaged(RowId id, const std::string& what) const;
    const PageFile& file_;
    const TableDef& table_;
    const Format& format_;
};

}  // namespace jet
