#include "jet/storage/page_rows.h"

#include "jet/base/error.h"
#include "jet/storage/page_file.h"

#include <algorithm>
#include <fmt/format.h>

namespace jet {

Bytes new_data_page(const Format& format, std::uint32_t owner) {
    Bytes page(format.page_size, 0);
    page[0] = DataPageType;
    page[1] = 0x01;
    put_u16(page, 2, static_cast<std::uint16_t>(format.page_size - format.data_first_row_offset));
    put_u32(page, 4, owner);
    return page;
}

std::uint16_t data_page_row_count(const Bytes& page, const Format& format) {
    return get_u16(page, format.data_row_count_offset);
}

std::uint16_t data_page_free_space(const Bytes& page) { return get_u16(page, 2); }

RowBounds data_page_row(const Bytes& page, const Format& format, std::uint32_t page_number, std::uint16_t row) {
    const std::uint16_t count = data_page_row_count(page, format);
    const auto entry = [&](std::uint16_t r) { return get_u16(page, format.data_first_row_offset + 2u * r); };
    if (row >= count)
        throw JetError(err::CorruptDatabase,
                       fmt::format("Row {} of page {} does not exist (the page has {} rows).", row, page_number, count));
    RowBounds b;
    b.flags = static_cast<std::uint16_t>(entry(row) & ~row_flags::OffsetMask);
    b.start = entry(row) & row_flags::OffsetMask;
    b.end = row == 0 ? format.page_size : (entry(static_cast<std::uint16_t>(row - 1)) & row_flags::OffsetMask);
    if (b.end < b.start || b.end > format.page_size || b.start < format.data_first_row_offset + 2u * count)
        throw JetError(err::CorruptDatabase,
                       fmt::format("Row {} of page {} has a damaged offset ({}..{}).", row, page_number, b.start, b.end));
    return b;
}

std::optional<RowBounds> checked_row(const Format& format, PageSpan page, std::uint32_t row) {
    if (page.size() < format.data_first_row_offset) return std::nullopt;
    const std::uint32_t count = data_page_rows(format, page);
    if (row >= count || format.data_first_row_offset + 2ull * count > page.size()) return std::nullopt;
    auto entry = [&](std::uint32_t i) {
        return get_u16(page.data() + format.data_first_row_offset + 2u * i);
    };
    RowBounds b;
    b.flags = static_cast<std::uint16_t>(entry(row) & ~row_flags::OffsetMask);
    b.start = entry(row) & row_flags::OffsetMask;
    b.end = row == 0 ? page.size() : (entry(row - 1) & row_flags::OffsetMask);
    if (b.start < format.data_first_row_offset + 2u * count || b.start > b.end || b.end > page.size()) return std::nullopt;
    return b;
}

bool data_page_fits(const Bytes& page, const Format& format, std::size_t length) {
    return data_page_row_count(page, format) < 255 && data_page_free_space(page) >= length + 2;
}

std::uint8_t data_page_add_row(Bytes& page, const Format& format, const Bytes& row, std::uint16_t flags) {
    const std::uint16_t count = data_page_row_count(page, format);
    const std::size_t lowest =
        count == 0 ? format.page_size : (get_u16(page, format.data_first_row_offset + 2u * (count - 1u)) & row_flags::OffsetMask);
    const std::size_t start = lowest - row.size();
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(start));
    put_u16(page, format.data_first_row_offset + 2u * count, static_cast<std::uint16_t>(start | flags));
    put_u16(page, format.data_row_count_offset, static_cast<std::uint16_t>(count + 1));
    const std::size_t table_end = format.data_first_row_offset + 2u * (count + 1u);
    put_u16(page, 2, static_cast<std::uint16_t>(start - table_end));
    return static_cast<std::uint8_t>(count);
}

void data_page_replace_row(Bytes& page, const Format& format, std::uint32_t page_number, std::uint16_t row,
                           const Bytes& image, std::uint16_t flags) {
    const RowBounds b = data_page_row(page, format, page_number, row);
    if (image.size() != b.length())
        throw JetError(err::DiskIo, fmt::format("Internal error: replacing row {} of page {} with an image of another "
                                                "length.", row, page_number));
    std::copy(image.begin(), image.end(), page.begin() + static_cast<std::ptrdiff_t>(b.start));
    put_u16(page, format.data_first_row_offset + 2u * row, static_cast<std::uint16_t>(b.start | flags));
}

}  // namespace jet
