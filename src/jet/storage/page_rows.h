// Editing rows on a data page image (table rows, long-value rows, usage-map rows): where a
// row lies, adding a row below the lowest one, overwriting a row in place and the row
// flags. The caller reads and writes the page; these functions keep the page's free-space
// field and row count right.
#pragma once

#include "jet/base/bytes.h"
#include "jet/storage/format.h"
#include "jet/storage/page_file.h"

#include <cstdint>
#include <optional>

namespace jet {

// A row pointer as Jet stores it: page << 8 | row.
struct RowId {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    bool operator==(const RowId&) const = default;
    auto operator<=>(const RowId&) const = default;
    static RowId from_u32(std::uint32_t v) { return RowId{v >> 8, static_cast<std::uint8_t>(v & 0xFF)}; }
    std::uint32_t to_u32() const { return page << 8 | row; }
};

namespace row_flags {
inline constexpr std::uint16_t Deleted = 0x8000;
inline constexpr std::uint16_t Overflow = 0x4000;   // header row holding a pointer to the moved row
inline constexpr std::uint16_t OffsetMask = 0x1FFF;
}

inline constexpr std::uint8_t DataPageType = 0x01;
inline constexpr std::uint32_t LvalOwner = 0x4C41564C;  // "LVAL"

struct RowBounds {
    std::size_t start = 0, end = 0;
    std::uint16_t flags = 0;
    std::size_t length() const { return end - start; }
};

// An empty data page owned by `owner` (a tdef page, LvalOwner, or 0 for usage-map pages).
Bytes new_data_page(const Format& format, std::uint32_t owner);

std::uint16_t data_page_row_count(const Bytes& page, const Format& format);
// The same for a page viewed in place.
inline std::uint32_t data_page_rows(const Format& format, PageSpan page) {
    return get_u16(page.data() + format.data_row_count_offset);
}
// The tdef page owning a data page (or LvalOwner).
inline std::uint32_t data_page_owner_of(PageSpan page) { return get_u32(page.data() + 4); }
std::uint16_t data_page_free_space(const Bytes& page);
// Bounds of row `row` (3049 naming the page when the offset table is damaged).
RowBounds data_page_row(const Bytes& page, const Format& format, std::uint32_t page_number, std::uint16_t row);
// The same for readers, which take what they find: nullopt when the row does not exist or its
// offsets are damaged.
std::optional<RowBounds> checked_row(const Format& format, PageSpan page, std::uint32_t row);

// Room for one more row of `length` bytes (its offset entry included, at most 255 rows).
bool data_page_fits(const Bytes& page, const Format& format, std::size_t length);
// Carves the row below the lowest one and returns its row number; the page must fit it.
std::uint8_t data_page_add_row(Bytes& page, const Format& format, const Bytes& row, std::uint16_t flags = 0);
// Overwrites a row with an image of exactly its length, and sets its flags.
void data_page_replace_row(Bytes& page, const Format& format, std::uint32_t page_number, std::uint16_t row,
                           const Bytes& image, std::uint16_t flags);

}  // namespace jet
