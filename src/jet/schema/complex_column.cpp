#include "jet/schema/complex_column.h"

#include "jet/base/error.h"
#include "jet/schema/names.h"

#include <fmt/format.h>

namespace jet {
namespace {

std::size_t count_of(const TableDef& table, ColumnType type) {
    std::size_t n = 0;
    for (const Column& c : table.columns) n += c.type == type;
    return n;
}

ComplexKind kind_of(const TableDef& type_table) {
    const auto& cols = type_table.columns;
    if (cols.size() == 1) {
        switch (cols[0].type) {
        case ColumnType::Byte: case ColumnType::Integer: case ColumnType::Long: case ColumnType::Single:
        case ColumnType::Double: case ColumnType::Guid: case ColumnType::Decimal: case ColumnType::Text:
            return ComplexKind::MultiValue;
        default: return ComplexKind::Unknown;
        }
    }
    const bool memo = count_of(type_table, ColumnType::Memo) >= 1, date = count_of(type_table, ColumnType::DateTime) >= 1;
    if (memo && date && count_of(type_table, ColumnType::Text) >= 2 && count_of(type_table, ColumnType::Ole) >= 1 &&
        count_of(type_table, ColumnType::Long) >= 1)
        return ComplexKind::Attachment;
    if (memo && date) return ComplexKind::VersionHistory;
    return ComplexKind::Unknown;
}

// The flat table's column of that name and type, if any.
const Column* named(const TableDef& flat, const Column& type_column) {
    const Column* c = flat.find_column(type_column.name);
    return c && c->type == type_column.type ? c : nullptr;
}

}  // namespace

FlatColumns flat_columns(const TableDef& type_table, const TableDef& flat, const std::string& path) {
    FlatColumns out;
    out.kind = kind_of(type_table);
    // Besides the type table's columns the flat table has its own autonumber and the key.
    for (const Column& c : flat.columns)
        if (!type_table.find_column(c.name) && c.type == ColumnType::Long && !c.is_autonumber()) out.key = &c;
    if (!out.key)
        throw JetError(err::CorruptDatabase,
                       fmt::format("The hidden table '{}' of a complex column in '{}' has no key column.", flat.name,
                                   path));
    for (const Column& t : type_table.columns) {
        const Column* c = named(flat, t);
        if (!c) continue;
        switch (t.type) {
        case ColumnType::DateTime:
            if (out.kind == ComplexKind::VersionHistory) out.modified = c;
            break;
        case ColumnType::Ole: out.file_data = c; break;
        case ColumnType::Memo:
            if (out.kind == ComplexKind::VersionHistory) out.value = c;
            break;
        case ColumnType::Text:
            if (out.kind == ComplexKind::MultiValue) out.value = c;
            else if (names_equal(t.name, "FileName")) out.file_name = c;
            else if (names_equal(t.name, "FileType")) out.file_type = c;
            break;
        default:
            if (out.kind == ComplexKind::MultiValue) out.value = c;
        }
    }
    return out;
}

}  // namespace jet
