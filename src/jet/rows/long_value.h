// Reading Memo/OLE values: the 12-byte field header and the data it refers to, stored
// inline in the row, in one long-value row, or in a chain of long-value rows.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/page_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jet {

namespace long_value_kind {
inline constexpr std::uint8_t Inline = 0x80;
inline constexpr std::uint8_t SingleRow = 0x40;
inline constexpr std::uint8_t Chain = 0x00;
}
inline constexpr std::size_t kLongValueHeaderSize = 12;

// Where a long value's field is, for messages.
struct LongValueField {
    std::string_view table, column;
    RowId row;
};

// The data of the field whose in-row bytes are [field, field + size); a damaged header,
// pointer or chain is 3049 naming the field.
Bytes read_long_value(const PageFile& file, const std::uint8_t* field, std::size_t size, const LongValueField& where);

}  // namespace jet
