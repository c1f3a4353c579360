// Usage-map decoding with every pointer checked; a damaged map is an error naming whose it is.
#include "jet/storage/usage_map.h"

#include "jet/base/error.h"
#include "jet/storage/page_rows.h"

#include <fmt/format.h>

namespace jet {
namespace {

[[noreturn]] void damaged(const PageFile& file, std::string_view whose, std::uint32_t page, const char* what) {
    throw JetError(err::CorruptDatabase,
                   fmt::format("The usage map {} in '{}' (page {}) is damaged: {}.", whose, file.path(), page, what));
}

void add_bits(std::vector<std::uint32_t>& out, const std::uint8_t* bits, std::size_t bytes, std::uint64_t first) {
    for (std::size_t i = 0; i < bytes; ++i) {
        if (bits[i] == 0) continue;
        for (unsigned b = 0; b < 8; ++b)
            if (bits[i] & (1u << b)) {
                const std::uint64_t page = first + i * 8 + b;
                if (page <= 0xFFFFFFu) out.push_back(static_cast<std::uint32_t>(page));  // 3-byte page numbers
            }
    }
}

}  // namespace

std::vector<std::uint32_t> decode_usage_map(const PageFile& file, const std::uint8_t* row, std::size_t size,
                                            std::string_view whose) {
    std::vector<std::uint32_t> pages;
    if (size < 5) damaged(file, whose, 0, "its row is too short");
    const std::uint32_t first = get_u32(row + 1);
    if (row[0] == usage_map::Inline) {
        add_bits(pages, row + 5, size - 5, first);
        return pages;
    }
    if (row[0] != usage_map::Reference) damaged(file, whose, 0, "its type is unknown");
    const std::uint32_t page_size = file.page_size();
    const std::uint64_t per_page = (page_size - 4ull) * 8;
    const std::uint32_t count = file.page_count();
    for (std::size_t j = 0; 1 + 4 * j + 4 <= size; ++j) {
        const std::uint32_t map_page = get_u32(row + 1 + 4 * j);
        if (map_page == 0) continue;
        if (map_page >= count) damaged(file, whose, map_page, "a bitmap page lies outside the file");
        Bytes buffer;
        const PageSpan bitmap = read_page_span(file, map_page, buffer);
        if (bitmap[0] != usage_map::BitmapPageType) damaged(file, whose, map_page, "a bitmap page has the wrong type");
        add_bits(pages, bitmap.data() + 4, bitmap.size() - 4, j * per_page);
    }
    return pages;
}

std::vector<std::uint32_t> read_usage_map(const PageFile& file, std::uint32_t row_pointer, std::string_view table) {
    const std::string whose = fmt::format("of table '{}'", table);
    const std::uint32_t page = row_pointer >> 8;
    const std::uint32_t row = row_pointer & 0xFF;
    if (page == 0 || page >= file.page_count()) damaged(file, whose, page, "it points outside the file");
    Bytes buffer;
    const PageSpan bytes = read_page_span(file, page, buffer);
    if (bytes[0] != DataPageType) damaged(file, whose, page, "it points at a page that is not a data page");
    const std::optional<RowBounds> b = checked_row(file.format(), bytes, row);
    if (!b || b->length() == 0) damaged(file, whose, page, "its row is missing");
    return decode_usage_map(file, bytes.data() + b->start, b->length(), whose);
}

}  // namespace jet
