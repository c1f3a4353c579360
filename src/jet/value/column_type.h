// The column types of a Jet table, with the codes the file stores for them.
#pragma once

#include <cstdint>
#include <string_view>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    Ole = 0x0B,
    Memo = 0x0C,
    Unknown0D = 0x0D,
    Guid = 0x0F,
    Decimal = 0x10,
    Unknown11 = 0x11,
    // Access 2007 and later only.
    Complex = 0x12,           // the key of a row's values in a hidden table (attachments, multi-value, memo history)
    BigInt = 0x13,            // "Large Number", 64-bit (Access 2016)
    DateTimeExtended = 0x14,  // 42 ASCII bytes: days, seconds and 100-ns units since 0001-01-01 (Access 2019)
};

// Names as `tlw` prints them and as CREATE-style code names them ("Long", "Text", "Memo", ...).
std::string_view column_type_name(ColumnType t);
bool is_long_value(ColumnType t);     // Memo, OLE: stored through long-value pages
bool is_text_like(ColumnType t);      // Text, Memo
// The length a column of a fixed-size type declares (Boolean 1, Long 4, Decimal 17, ...); 0 for
// the types whose length is chosen per column (Text, Binary) or that are long values.
constexpr std::uint16_t fixed_length(ColumnType t) {
    switch (t) {
    case ColumnType::Boolean: return 1;
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long: return 4;
    case ColumnType::Single: return 4;
    case ColumnType::Complex: return 4;
    case ColumnType::BigInt: return 8;
    case ColumnType::DateTimeExtended: return 42;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    case ColumnType::Decimal: return 17;
    default: return 0;
    }
}

}  // namespace jet
