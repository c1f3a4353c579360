// Long-value reading. Chains are followed with a record of visited rows, so a damaged
// chain that loops ends in an error instead of running forever.
#include "jet/rows/long_value.h"

#include "jet/base/error.h"
#include "jet/rows/row_decode.h"
#include "jet/storage/page_rows.h"

#include <fmt/format.h>
#include <unordered_set>

namespace jet {
namespace {

[[noreturn]] void damaged(const PageFile& file, const LongValueField& where, std::uint32_t page, const std::string& what) {
    throw JetError(err::CorruptDatabase,
                   fmt::format("The long value of column '{}' of table '{}' (row {} on page {}) in '{}' is damaged "
                               "(page {}): {}.", where.column, where.table, where.row.row, where.row.page, file.path(),
                               page, what));
}

}  // namespace

Bytes read_long_value(const PageFile& file, const std::uint8_t* field, std::size_t size, const LongValueField& where) {
    if (size < kLongValueHeaderSize) damaged(file, where, 0, "the field is shorter than its header");
    const std::uint32_t word = get_u32(field);
    const std::uint32_t length = word & 0x3FFFFFFF;
    const auto kind = static_cast<std::uint8_t>(word >> 24 & 0xC0);
    if (kind == long_value_kind::Inline) {
        if (length > size - kLongValueHeaderSize) damaged(file, where, 0, "the inline data is cut off");
        return Bytes(field + kLongValueHeaderSize, field + kLongValueHeaderSize + length);
    }
    if (kind != long_value_kind::SingleRow && kind != long_value_kind::Chain)
        damaged(file, where, 0, "its storage type is unknown");

    const std::uint32_t page_count = file.page_count();
    Bytes out;
    out.reserve(std::min<std::size_t>(length, std::size_t{64} * file.page_size()));
    std::unordered_set<std::uint32_t> visited;
    std::uint32_t pointer = get_u32(field + 4);
    while (out.size() < length) {
        const std::uint32_t page = pointer >> 8;
        const std::uint32_t row = pointer & 0xFF;
        if (page == 0 || page >= page_count) damaged(file, where, page, "a pointer leads outside the file");
        if (!visited.insert(pointer).second) damaged(file, where, page, "its chain loops");
        const Bytes bytes = file.read_page(page);
        if (bytes[0] != DataPageType) damaged(file, where, page, "the page is not a data page");
        const std::optional<RowBounds> b = checked_row(file.format(), bytes, row);
        if (!b || (b->flags & row_flags::Deleted)) damaged(file, where, page, fmt::format("row {} is missing", row));
        const std::uint8_t* data = bytes.data() + b->start;
        std::size_t n = b->length();
        if (kind == long_value_kind::SingleRow) {
            out.insert(out.end(), data, data + std::min<std::size_t>(n, length));
            if (n < length) damaged(file, where, page, "the data is shorter than its length");
            break;
        }
        if (n < 4) damaged(file, where, page, "a chain row is too short");
        pointer = get_u32(data);
        n = std::min<std::size_t>(n - 4, length - out.size());
        out.insert(out.end(), data + 4, data + 4 + n);
        if (out.size() < length && pointer == 0) damaged(file, where, page, "the chain ends early");
    }
    return out;
}

}  // namespace jet
