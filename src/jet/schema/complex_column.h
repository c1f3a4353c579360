// Complex columns (Access 2007 and later: attachments, multi-value lists, the history of an
// append-only memo) hold one Long key per row; the values live in a hidden "flat" table, one
// row per value, carrying that key. MSysComplexColumns names, for each complex column, the flat
// table and a "type" table (MSysComplexType_*), whose columns say what kind of value it holds
// and which of the flat table's columns hold it.
#pragma once

#include "jet/schema/table_def.h"

#include <cstdint>

namespace jet {

inline constexpr const char* kComplexColumnsTable = "MSysComplexColumns";

enum class ComplexKind { Attachment, MultiValue, VersionHistory, Unknown };

// The flat table's columns that matter, by role; null where the kind has none.
struct FlatColumns {
    ComplexKind kind = ComplexKind::Unknown;
    const Column* key = nullptr;        // the Long that ties a value to its row's complex key
    const Column* value = nullptr;      // multi-value: the value; version history: the memo text
    const Column* modified = nullptr;   // version history: when the text was saved
    const Column* file_name = nullptr;  // attachments
    const Column* file_type = nullptr;
    const Column* file_data = nullptr;
};

// Reads the roles off the type table's columns: a single plain value makes a multi-value column,
// a memo with a date a version history, file names, types, data, a URL, a time stamp and flags
// an attachment. 3049 naming the flat table when it has no key column.
FlatColumns flat_columns(const TableDef& type_table, const TableDef& flat_table, const std::string& path);

}  // namespace jet
