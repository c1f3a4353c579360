// How `tlw` writes values, columns and indexes as JSON and CSV: numbers as numbers
// (Currency with its four decimals), Booleans true/false, Null null, Date/Time as ISO 8601
// text, binary as base64, GUID as {...} text, Decimal as text.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/value/value.h"

#include <string>

namespace tlw {

std::string json_string(const std::string& utf8);
std::string json_value(const jet::Value& v);
std::string json_columns(const jet::TableDef& def);
std::string json_indexes(const jet::TableDef& def);
std::string base64(const jet::Bytes& bytes);

// CSV: fields quoted when they hold a comma, quote or line break; Null is an empty field.
std::string csv_field(const std::string& text);
std::string csv_value(const jet::Value& v);

// The column names of a real index, in key order.
std::vector<std::string> index_column_names(const jet::TableDef& def, std::uint32_t real_index);

}  // namespace tlw
