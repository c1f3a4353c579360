#include "jet/value/column_type.h"

namespace jet {

std::string_view column_type_name(ColumnType t) {
    switch (t) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::Long: return "Long";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Binary: return "Binary";
    case ColumnType::Text: return "Text";
    case ColumnType::Ole: return "OLE";
    case ColumnType::Memo: return "Memo";
    case ColumnType::Guid: return "GUID";
    case ColumnType::Decimal: return "Decimal";
    case ColumnType::Complex: return "Complex";
    case ColumnType::BigInt: return "BigInt";
    case ColumnType::DateTimeExtended: return "DateTimeExtended";
    case ColumnType::Unknown0D:
    case ColumnType::Unknown11: break;
    }
    return "Unknown";
}

bool is_long_value(ColumnType t) { return t == ColumnType::Memo || t == ColumnType::Ole; }
bool is_text_like(ColumnType t) { return t == ColumnType::Text || t == ColumnType::Memo; }

}  // namespace jet
