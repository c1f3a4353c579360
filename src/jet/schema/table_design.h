// What a new table should look like (columns with their types, sizes and properties, and
// indexes) and its translation into the TableDef Jet stores: column numbers, fixed offsets,
// variable-table slots, flags as Access sets them, real and logical indexes. No I/O here;
// page numbers and usage maps are filled in by whoever places the table in a file.
#pragma once

#include "jet/schema/properties_write.h"
#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/column_type.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

struct ColumnDesign {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t size = 50;        // Text: characters (1..255); Binary: bytes; ignored otherwise
    bool autonumber = false;        // Long only: numbered by the engine on append
    bool required = false;          // "Required" property: Null refused (3314)
    bool allow_zero_length = false; // Text/Memo "AllowZeroLength" property ("" refused when false, 3315)
    std::string default_value;      // Jet expression ("0", "\"abc\"", "Now()"); empty: none
    std::string description;        // "Description" property; empty: none
};

struct IndexColumnDesign {
    std::string column;
    bool ascending = true;
};

struct IndexDesign {
    std::string name;
    std::vector<IndexColumnDesign> columns;
    bool primary = false;           // implies unique and required
    bool unique = false;
    bool ignore_nulls = false;
    bool required = false;
};

struct TableDesign {
    std::string name;
    std::vector<ColumnDesign> columns;
    std::vector<IndexDesign> indexes;
};

// The definition of a new, empty user table. Errors (3251 unless said otherwise) name the
// table and the column or index: duplicate or empty names, more than 255 columns or 32
// indexes, Text sizes outside 1..255, an autonumber that is not a Long, an index over a
// missing column or a Memo/OLE column, or more than one primary key.
TableDef layout_table(const Format& format, const TableDesign& design);

// The LvProp content of a new table: per column DefaultValue, Required, AllowZeroLength
// (Text and Memo) and Description where set.
TableProperties table_properties(const TableDesign& design);

}  // namespace jet
