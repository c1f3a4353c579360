// The system tables a new database starts with, laid out as the database engines lay out their
// own: Jet's MSysObjects, MSysACEs, MSysQueries and MSysRelationships, and in Access 2007+ files
// the ACE engine's MSysComplexColumns (the complex columns of user tables) with the nine
// MSysComplexType_ tables, whose columns Access copies when it adds a multi-value or attachment
// column. Pages, usage maps and rows are the creator's business.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"

#include <cstdint>
#include <vector>

namespace jet {

struct SystemTable {
    TableDef def;
    std::uint32_t catalog_flags = 0;  // Flags of its MSysObjects row
    bool owned = true;                // its MSysObjects row names an owner (the ACE tables leave it Null)
};

// Jet's four first, in the order of their fixed tdef pages 2 to 5; every column in the sort
// order `sort_version` (0 "General Legacy", 1 "General").
std::vector<SystemTable> system_tables(const Format& format, std::uint8_t sort_version);

}  // namespace jet
