// The catalog: rows of MSysObjects (tdef page 2) as entries naming each object, its type,
// flags and, for tables, the tdef page. User tables are type 1 without the system flags.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/value/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

inline constexpr std::uint32_t kCatalogTdefPage = 2;
inline constexpr const char* kCatalogTable = "MSysObjects";

namespace object_type {
inline constexpr std::int16_t Table = 1;
}
namespace object_flags {
inline constexpr std::uint32_t System = 0x80000002;
inline constexpr std::uint32_t Engine = 0x80000000;   // the database engine's own objects
inline constexpr std::uint32_t Hidden = 0x08;
}

struct CatalogEntry {
    std::string name;
    std::int32_t id = 0;             // for tables the tdef page in the low 24 bits
    std::int32_t parent_id = 0;
    std::int16_t type = 0;
    std::uint32_t flags = 0;
    RowId row;                       // the MSysObjects row, where its properties (LvProp) are

    std::uint32_t tdef_page() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFF; }
    bool is_table() const { return type == object_type::Table; }
    bool is_user_table() const { return is_table() && (flags & object_flags::System) == 0; }
};

// The entry of one MSysObjects row given its values in `catalog_def` column order.
CatalogEntry catalog_entry(const TableDef& catalog_def, RowId row, const std::vector<Value>& values);

}  // namespace jet
