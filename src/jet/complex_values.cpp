#include "jet/complex_values.h"

#include "jet/base/error.h"
#include "jet/rows/attachment.h"

#include <algorithm>
#include <fmt/format.h>

namespace jet {
namespace {

struct HiddenTables {
    TableDefPtr flat, type;
};

[[noreturn]] void unresolved(Database& db, const TableDef& table, const Column& column, const std::string& why) {
    throw JetError(err::CorruptDatabase, fmt::format("The complex column '{}' of table '{}' in '{}' cannot be read: {}.",
                                                     column.name, table.name, db.path(), why));
}

std::size_t position(const TableDef& def, const Column* column) {
    return static_cast<std::size_t>(column - def.columns.data());
}

std::optional<std::int32_t> long_at(const std::vector<Value>& row, const TableDef& def, const Column* column) {
    if (!column) return std::nullopt;
    const Value& v = row[position(def, column)];
    if (v.kind() != ValueKind::Long) return std::nullopt;
    return v.as_int32();
}

TableDefPtr table_at(Database& db, std::int32_t id, const TableDef& table, const Column& column) {
    for (const CatalogEntry& e : db.catalog())
        if (e.is_table() && e.id == id) return db.table_def_at(e.tdef_page(), e.name);
    unresolved(db, table, column, fmt::format("no table has the id {} that MSysComplexColumns gives", id));
}

// The column's row of MSysComplexColumns: its hidden value table ("flat") and type table.
HiddenTables hidden_tables(Database& db, const TableDef& table, const Column& column) {
    const std::optional<CatalogEntry> entry = db.find_table(kComplexColumnsTable);
    if (!entry) unresolved(db, table, column, "the database has no MSysComplexColumns");
    const TableDefPtr list = db.table_def_at(entry->tdef_page(), entry->name);
    const Column* complex_id = list->find_column("ComplexID");
    const Column* conceptual = list->find_column("ConceptualTableID");
    const Column* flat = list->find_column("FlatTableID");
    const Column* type = list->find_column("ComplexTypeObjectID");
    std::optional<std::int32_t> flat_id, type_id;
    db.scan(*list, [&](RowId, const std::vector<Value>& row) {
        if (long_at(row, *list, complex_id) != static_cast<std::int32_t>(column.complex_id)) return true;
        if (long_at(row, *list, conceptual) != static_cast<std::int32_t>(table.tdef_page))
            unresolved(db, table, column, "MSysComplexColumns gives its ComplexID to another table");
        flat_id = long_at(row, *list, flat);
        type_id = long_at(row, *list, type);
        return false;
    });
    if (!flat_id || !type_id)
        unresolved(db, table, column, fmt::format("MSysComplexColumns has no row for its ComplexID {}", column.complex_id));
    return {table_at(db, *flat_id, table, column), table_at(db, *type_id, table, column)};
}

std::string text_or_empty(const Value& v) { return v.kind() == ValueKind::Text ? v.as_text_raw() : std::string(); }

// Oldest first; a version without a date before the dated ones, ties in the table's order.
void order_versions(std::vector<MemoVersion>& versions) {
    std::stable_sort(versions.begin(), versions.end(), [](const MemoVersion& a, const MemoVersion& b) {
        const bool a_dated = a.modified.kind() == ValueKind::DateTime, b_dated = b.modified.kind() == ValueKind::DateTime;
        if (!a_dated || !b_dated) return !a_dated && b_dated;
        return a.modified.as_date().days < b.modified.as_date().days;
    });
}

}  // namespace

const ComplexValue& ComplexColumnValues::of(std::int32_t key) const {
    static const ComplexValue none;
    const auto it = by_key.find(key);
    return it == by_key.end() ? none : it->second;
}

ComplexColumnValues read_complex_column(Database& db, const TableDef& table, const Column& column,
                                        AttachmentFiles files) {
    const HiddenTables hidden = hidden_tables(db, table, column);
    const TableDef& flat = *hidden.flat;
    const FlatColumns roles = flat_columns(*hidden.type, flat, db.path());
    ComplexColumnValues out;
    out.kind = roles.kind;
    if (roles.kind == ComplexKind::Unknown) return out;
    const Value none;
    auto at = [&](const std::vector<Value>& row, const Column* c) -> const Value& {
        return c ? row[position(flat, c)] : none;
    };
    db.scan(flat, [&](RowId, const std::vector<Value>& row) {
        const std::optional<std::int32_t> key = long_at(row, flat, roles.key);
        if (!key) return true;
        ComplexValue& value = out.by_key[*key];
        switch (roles.kind) {
        case ComplexKind::MultiValue: value.values.push_back(at(row, roles.value)); break;
        case ComplexKind::VersionHistory:
            value.versions.push_back({at(row, roles.value), at(row, roles.modified)});
            break;
        case ComplexKind::Attachment: {
            Attachment a{text_or_empty(at(row, roles.file_name)), text_or_empty(at(row, roles.file_type)), 0, {}};
            const Value& data = at(row, roles.file_data);
            if (data.kind() == ValueKind::Binary) {
                Bytes file = attachment_file(data.as_binary(), fmt::format("'{}' of column '{}' of table '{}' in '{}'",
                                                                           a.name, column.name, table.name, db.path()));
                a.size = file.size();
                if (files == AttachmentFiles::Contents) a.contents = std::move(file);
            }
            value.attachments.push_back(std::move(a));
            break;
        }
        case ComplexKind::Unknown: break;
        }
        return true;
    });
    for (auto& [key, value] : out.by_key) order_versions(value.versions);
    return out;
}

}  // namespace jet
