// How `tlw` writes values, columns and indexes as JSON and CSV: numbers as numbers
// (Currency with its four decimals), Booleans true/false, Null null, Date/Time as ISO 8601
// text, binary as base64, GUID as {...} text, Decimal (and Large Number) as text. A complex
// column of an Access 2007+ file (see FieldText) is an array in JSON and short text in CSV.
#pragma once

#include "jet/complex_values.h"
#include "jet/database.h"
#include "jet/schema/table_def.h"
#include "jet/value/value.h"

#include <optional>
#include <string>
#include <vector>

namespace tlw {

std::string json_string(const std::string& utf8);
std::string json_value(const jet::Value& v);
std::string json_columns(const jet::TableDef& def);
std::string json_indexes(const jet::TableDef& def);
std::string base64(const jet::Bytes& bytes);

// CSV: fields quoted when they hold a comma, quote or line break; Null is an empty field.
std::string csv_field(const std::string& text);
std::string csv_value(const jet::Value& v);

// The fields of one table's rows as text, with the values of its complex columns read once from
// their hidden tables. JSON: an attachment column gives [{"name", "type", "size"}], a multi-value
// column the array of its values, a memo's history [{"value", "modified"}] oldest first. CSV:
// the file names, values or memo texts joined by "; ".
class FieldText {
public:
    FieldText(jet::Database& db, const jet::TableDef& def);
    std::string json(std::size_t column, const jet::Value& v) const;
    std::string csv(std::size_t column, const jet::Value& v) const;

private:
    const jet::ComplexValue* complex(std::size_t column, const jet::Value& v) const;
    std::vector<std::optional<jet::ComplexColumnValues>> complex_;   // by column position
};

// The column names of a real index, in key order.
std::vector<std::string> index_column_names(const jet::TableDef& def, std::uint32_t real_index);

}  // namespace tlw
