// Building property blobs (MSysObjects.LvProp, "MR2" in Jet 4, "KKD" in Jet 3) for a table
// and its columns: a name table, then one chunk for the table's own properties and one per
// column. Values are stored the way Access stores them (Boolean one byte 0/1, texts
// uncompressed).
#pragma once

#include "jet/storage/format.h"
#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <string>
#include <vector>

namespace jet {

struct Property {
    std::string name;            // e.g. "DefaultValue", "Required", "AllowZeroLength"
    ColumnType type;             // Boolean, Byte, Integer, Long, Text, Memo, Binary ...
    Value value;
    bool ddl = true;             // Access flags the properties of its table designer as DDL
};

struct ColumnProperties {
    std::string column;
    std::vector<Property> properties;
};

struct TableProperties {
    std::vector<Property> table;           // the table's own (Description, ...)
    std::vector<ColumnProperties> columns; // columns without properties may be left out
    bool empty() const;
};

// The blob; 3251 naming the property when a value cannot be stored as its type.
Bytes encode_properties(const Format& format, const TableProperties& properties);

// Helpers for the properties the engine enforces.
Property default_value_property(const std::string& expression);  // Jet expression text, e.g. "0", "\"abc\"", "Now()"
Property required_property(bool required);
Property allow_zero_length_property(bool allowed);
Property text_property(const std::string& name, const std::string& text);  // Format, Caption, Description

}  // namespace jet
