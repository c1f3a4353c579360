// Reading usage maps: the inline (start page + bitmap) and reference (pointers to bitmap
// pages) forms, turned into the ascending list of pages whose bit is set. This is the one
// decoder of map rows; usage_map_write changes maps and reads them through it.
#pragma once

#include "jet/storage/page_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

namespace usage_map {
inline constexpr std::uint8_t Inline = 0x00;      // first page, then one bit per page from it
inline constexpr std::uint8_t Reference = 0x01;   // pointers to bitmap pages, each covering a fixed span
inline constexpr std::uint8_t BitmapPageType = 0x05;
}  // namespace usage_map

// Pages whose bit is set in the map row [row, row + size), ascending; pages past the 3 bytes
// of a row pointer are left out. Reference maps read their bitmap pages. A damaged map is 3049
// "The usage map <whose> in '<file>' (page <n>) is damaged: ...", e.g. whose = "of table 'T'".
std::vector<std::uint32_t> decode_usage_map(const PageFile& file, const std::uint8_t* row, std::size_t size,
                                            std::string_view whose);

// The pages of the map of `table` whose row a usage-map pointer (page << 8 | row) refers to
// (3049 naming the table when the pointer leads nowhere sensible).
std::vector<std::uint32_t> read_usage_map(const PageFile& file, std::uint32_t row_pointer, std::string_view table);

}  // namespace jet
