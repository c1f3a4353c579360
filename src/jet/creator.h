// New databases from nothing: every page written by us (header, global usage map, the system
// tables MSysObjects, MSysACEs, MSysQueries and MSysRelationships with their indexes and
// rows, and in Access 2007+ files the ACE engine's complex-column tables), laid out as the
// database engines lay out a database they create, so that Access and every independent reader
// open it. New user tables are added with create_table.
#pragma once

#include "jet/schema/table_design.h"
#include "jet/storage/file_header.h"
#include "jet/value/value.h"

#include <memory>
#include <string>

namespace jet {

class Database;

// Writes a new empty database. 3204 naming the file when it exists and `overwrite` is false;
// 3043 when it cannot be written.
void create_database(const std::string& path, FileVersion version = FileVersion::Jet4, bool overwrite = false);

// Adds an empty user table to a database opened for writing: tdef, usage maps, empty index
// roots, its catalog row with the column properties, and its access-control rows. Its text
// columns sort in the database's default sort order. 3010 when
// a table of that name exists; layout errors of table_design.h.
void create_table(Database& db, const TableDesign& design);

// The local date and time now, as Jet stores it.
DateTime local_now();

}  // namespace jet
