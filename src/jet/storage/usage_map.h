// Reading usage maps: the inline (start page + bitmap) and reference (pointers to bitmap
// pages) forms, turned into the ascending list of pages whose bit is set. The writer's
// page_alloc changes maps; this side only reads them.
#pragma once

#include "jet/storage/page_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// Pages whose bit is set in a map row of `table`, ascending. Reference maps read their bitmap
// pages.
std::vector<std::uint32_t> decode_usage_map(const PageFile& file, const std::uint8_t* row, std::size_t size,
                                            std::string_view table);

// The pages of the map of `table` whose row a usage-map pointer (page << 8 | row) refers to
// (3049 naming the table when the pointer leads nowhere sensible).
std::vector<std::uint32_t> read_usage_map(const PageFile& file, std::uint32_t row_pointer, std::string_view table);

}  // namespace jet
