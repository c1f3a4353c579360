// Serialising a TableDef into the tdef pages Jet reads: the logical tdef stream (header,
// index statistics, column descriptors and names, real and logical indexes, long-value
// maps) cut into a first page and continuation pages. The inverse of parse in table_def.cpp.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/value.h"

#include <cstddef>
#include <vector>

namespace jet {

// The logical stream with its 8-byte page header as the first page carries it (the
// next-page pointer is left 0; tdef_pages fills it in).
Bytes tdef_stream(const Format& format, const TableDef& table);

// How many pages the definition needs: the first page plus continuation pages.
std::size_t tdef_page_count(const Format& format, const TableDef& table);

// The page images, one per entry of table.tdef_pages (first page, then continuations, each
// pointing at the next). 3049 naming the table when tdef_pages has the wrong length.
std::vector<Bytes> tdef_page_images(const Format& format, const TableDef& table);

// Bytes of a table, column or index name as tdefs store them (with the length prefix):
// Jet 4 UTF-16LE with a 2-byte byte count, Jet 3 code page 1252 with a 1-byte count.
Bytes tdef_name_bytes(const Format& format, const std::string& utf8);

}  // namespace jet
