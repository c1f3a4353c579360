// Reading property blobs (MSysObjects.LvProp): the name table, the table's own chunk and
// one chunk per column, into the Property structures that properties_write.h serialises.
// Lookups are case-insensitive, as Jet treats property and column names.
#pragma once

#include "jet/schema/properties_write.h"
#include "jet/schema/table_def.h"

#include <string>
#include <string_view>

namespace jet {

// Parses a blob; `where` names the table and file in messages (3049 when it is damaged).
// An empty blob yields empty properties.
TableProperties parse_properties(const Format& format, const Bytes& blob, std::uint16_t code_page,
                                 const std::string& where);

const Property* find_property(const std::vector<Property>& properties, std::string_view name);
// The properties of one column, or nullptr when it has none.
const std::vector<Property>* column_properties(const TableProperties& properties, std::string_view column);

// A calculated column (Access 2010+) stores its result as the type its ResultType property
// names, which the descriptor does not always carry (a Yes/No result under Integer, a Memo
// under Text): sets each calculated column's type to it.
void apply_result_types(TableDef& table, const TableProperties& properties);

}  // namespace jet
