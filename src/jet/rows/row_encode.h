// Encoding side of rows: a value turned into its stored field bytes, and a row image built
// from one field image per column (null mask with the Booleans in it, fixed area at the
// columns' offsets, variable area in var-index order with Jet 4 offsets or Jet 3 offsets
// and jump tables). Rows over the format's size limit are refused, naming the table.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/value.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace jet {

// One column's contribution to a row. Boolean columns: `present` is the value itself.
// Memo/OLE: `bytes` is the long-value header (plus inline data) made by long_value_write.
struct FieldImage {
    bool present = false;
    Bytes bytes;
};

// The stored bytes of a non-null value in a fixed or variable column that is not a long
// value, converting the value to the column's type as the engine does (errors 13, 6).
// Text longer than the column is 3163.
Bytes encode_field(const TableDef& table, const Column& column, const Value& value, const Format& format);

// A calculated column's field for its (non-null) result, wrapped as calculated_value.h says;
// a Text result's limit is the column's length without the wrapper.
Bytes encode_calculated_field(const TableDef& table, const Column& column, const Value& value, const Format& format);

// Text as a Jet 4 Text/Memo column stores it: compressed when the column allows it and it
// pays, else UTF-16LE; Jet 3: the column's code page. `characters` receives the length in
// UTF-16 units (what the column's size limits count).
Bytes encode_text_field(const Column& column, const std::string& utf8, const Format& format, std::size_t& characters);

// The row image; `fields` has one entry per `table.columns` entry, in the same order.
// 3047 when the row is longer than the format allows.
Bytes build_row(const TableDef& table, const Format& format, const std::vector<FieldImage>& fields);

// The same row padded with zeros (before the end-of-data field) to exactly `length` bytes,
// so it can overwrite a longer row in place; nullopt when it does not fit in `length`.
std::optional<Bytes> build_row_padded(const TableDef& table, const Format& format,
                                      const std::vector<FieldImage>& fields, std::size_t length);

}  // namespace jet
