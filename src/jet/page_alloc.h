// Page allocation and the usage maps that list pages: the global map on page 1 (a set bit
// means free), and the owned/free-space maps of tables, indexes and long-value columns,
// inline (with window moves and promotion to a reference map) or reference maps.
// New pages are always appended to the file; every function re-reads the pages it changes.
#pragma once

#include "page_io.h"
#include "table_def.h"

#include <cstdint>
#include <vector>

namespace jet {

// Appends a page holding `content` (header already filled in) and marks it used in the
// global map. Returns its number; listing it in its owner's maps is the caller's job.
std::uint32_t allocate_page(PageFile& file, const Bytes& content);

// A usage map row named by a tdef's row pointer (page << 8 | row).
std::vector<std::uint32_t> usage_map_pages(const PageFile& file, std::uint32_t map_ref);   // ascending
bool usage_map_contains(const PageFile& file, std::uint32_t map_ref, std::uint32_t page);
void usage_map_add(PageFile& file, std::uint32_t map_ref, std::uint32_t page);
void usage_map_remove(PageFile& file, std::uint32_t map_ref, std::uint32_t page);

// Where a new row of an owner (a table's tdef page, or LvalOwner) goes: the highest page of
// the free-space map with room for it (pages found too full leave that map), else a new
// empty page image that is not yet in the file.
struct RowSpace {
    std::uint32_t page = 0;   // 0 while is_new
    Bytes image;
    bool is_new = false;
};
RowSpace find_row_space(PageFile& file, std::uint32_t owner, std::uint32_t free_map, std::size_t length);

// Writes the page image back; a new page is appended first (its number set in `space`) and
// must then be listed with list_new_page once whatever points at it is written.
void store_row_space(PageFile& file, RowSpace& space);
void list_new_page(PageFile& file, std::uint32_t owned_map, std::uint32_t free_map, std::uint32_t page);

}  // namespace jet
