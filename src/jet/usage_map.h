// Reading usage maps: the inline (start page + bitmap) and reference (pointers to bitmap
// pages) forms, turned into the ascending list of pages whose bit is set. The writer's
// page_alloc changes maps; this side only reads them.
#pragma once

#include "page_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Where a usage map's row lies: the row pointer, resolved to page bytes and a span.
struct UsageMapRow {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    Bytes page_bytes;
    std::uint32_t start = 0, end = 0;   // the row within page_bytes
};

// Reads the row a usage-map pointer (page << 8 | row) refers to; `owner` names what the
// map belongs to in messages (3049 when the pointer leads nowhere sensible).
UsageMapRow read_usage_map_row(const PageFile& file, std::uint32_t row_pointer, const std::string& owner);

// Pages whose bit is set in a map row, ascending. Reference maps read their bitmap pages.
std::vector<std::uint32_t> decode_usage_map(const PageFile& file, const std::uint8_t* row, std::size_t size,
                                            const std::string& owner);

// Both steps.
std::vector<std::uint32_t> read_usage_map(const PageFile& file, std::uint32_t row_pointer, const std::string& owner);

}  // namespace jet
