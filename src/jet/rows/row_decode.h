// Decoding stored rows: the row-offset table of a data page, a row's null mask, fixed area
// and variable area (Jet 4 2-byte offsets, Jet 3 1-byte offsets with jump tables), and
// each column's value. Every offset is checked against the row, so a damaged row is an
// error naming the table, the page and the row.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/page_file.h"
#include "jet/storage/page_rows.h"
#include "jet/value/value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace jet {

// One column's bytes within a row; `data` is null when the field is Null. For Booleans
// `present` is the value.
struct FieldRef {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    bool present = false;
};

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
    // A calculated column's value: its wrapped result, read as the column's type.
    void store_calculated(Value& out, const Column& column, const FieldRef& field, RowId id) const;
    [[noreturn]] void damaged(RowId id, const std::string& what) const;
    const PageFile& file_;
    const TableDef& table_;
    const Format& format_;
};

}  // namespace jet
