// Page allocation and the usage maps that list pages: the global map on page 1 (a set bit
// means free), and the owned/free-space maps of tables, indexes and long-value columns,
// inline (with window moves and promotion to a reference map) or reference maps.
// Every function re-reads the pages it changes.
#pragma once

#include "jet/storage/page_file.h"
#include "jet/storage/page_rows.h"

#include <cstdint>
#include <vector>

namespace jet {

// Places a page holding `content` (header already filled in) and marks it used in the global
// map. Returns its number; listing it in its owner's maps is the caller's job.
// New pages come from a reserve of empty pages at the end of the file, grown a few dozen at a
// time before it runs out: a page exists well before anything names it, so a reader that takes
// the file's length and then reads it (mdb-reader reads the whole file so) does not find a
// page it read naming one past the end of what it read.
std::uint32_t allocate_page(PageFile& file, const Bytes& content);

// A usage map row named by a tdef's row pointer (page << 8 | row).
std::vector<std::uint32_t> usage_map_pages(const PageFile& file, std::uint32_t map_ref);   // ascending
void usage_map_add(PageFile& file, std::uint32_t map_ref, std::uint32_t page);
void usage_map_remove(PageFile& file, std::uint32_t map_ref, std::uint32_t page);

// Where a new row of an owner (a table's tdef page, or LvalOwner) goes: the highest page of
// the free-space map with room for it, else a new empty page image that is not yet in the
// file. Nothing is written; pages found too full are named so that they can leave the
// free-space map once the row is stored.
struct RowSpace {
    std::uint32_t page = 0;   // 0 while is_new
    Bytes image;
    bool is_new = false;
    std::vector<std::uint32_t> full_pages;
};
RowSpace find_row_space(PageFile& file, std::uint32_t owner, std::uint32_t free_map, std::size_t length);

// The page number a new page would get now: the first empty page of the reserve, or the end
// of the file.
std::uint32_t next_page_number(const PageFile& file);

// Writes the page image back; a new page is appended (its number set in `space`).
void store_row_space(PageFile& file, RowSpace& space);
// Lists a new page in its owner's maps and drops the full pages from the free-space map;
// called once whatever points into the page is written.
void register_row_space(PageFile& file, const RowSpace& space, std::uint32_t owned_map, std::uint32_t free_map);

}  // namespace jet
