// Catalog rows to entries. Missing or Null fields read as 0 / empty, so a half-written
// catalog row is listed rather than stopping the listing of the others.
#include "jet/schema/catalog.h"

namespace jet {
namespace {

const Value* field(const TableDef& def, const std::vector<Value>& values, std::string_view name) {
    const Column* c = def.find_column(name);
    if (!c) return nullptr;
    const std::size_t k = static_cast<std::size_t>(c - def.columns.data());
    return k < values.size() && !values[k].is_null() ? &values[k] : nullptr;
}

}  // namespace

CatalogEntry catalog_entry(const TableDef& def, RowId row, const std::vector<Value>& values) {
    CatalogEntry e;
    e.row = row;
    if (const Value* v = field(def, values, "Name"); v && v->kind() == ValueKind::Text) e.name = v->as_text_raw();
    if (const Value* v = field(def, values, "Id"); v && v->kind() == ValueKind::Long) e.id = v->as_int32();
    if (const Value* v = field(def, values, "ParentId"); v && v->kind() == ValueKind::Long) e.parent_id = v->as_int32();
    if (const Value* v = field(def, values, "Type"); v && v->kind() == ValueKind::Integer) e.type = v->as_int16();
    if (const Value* v = field(def, values, "Flags"); v && v->kind() == ValueKind::Long)
        e.flags = static_cast<std::uint32_t>(v->as_int32());
    return e;
}

}  // namespace jet
