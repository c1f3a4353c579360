#include "jet/storage/usage_map_write.h"

#include "jet/base/error.h"
#include "jet/storage/page_rows.h"
#include "jet/storage/usage_map.h"

#include <algorithm>
#include <cstring>
#include <fmt/format.h>

namespace jet {

namespace {

using usage_map::BitmapPageType;
using usage_map::Inline;
using usage_map::Reference;
constexpr std::uint32_t GlobalMapRef = 1u << 8;   // page 1, row 0

// One usage-map row as it sits on its page.
struct MapRow {
    std::uint32_t page_number = 0;
    std::uint16_t row = 0;
    Bytes page;
    RowBounds bounds;

    std::uint8_t type() const { return page.at(bounds.start); }
    std::size_t bitmap_start() const { return bounds.start + 5; }
    std::uint32_t inline_bits() const { return static_cast<std::uint32_t>((bounds.length() - 5) * 8); }
    std::uint32_t inline_first() const { return get_u32(page, bounds.start + 1); }
    std::size_t pointer_count() const { return (bounds.length() - 1) / 4; }
    std::size_t pointer_at(std::size_t j) const { return bounds.start + 1 + 4 * j; }
};

MapRow load_map(const PageFile& file, std::uint32_t map_ref) {
    const RowId id = RowId::from_u32(map_ref);
    MapRow m;
    m.page_number = id.page;
    m.row = id.row;
    m.page = file.read_page(id.page);
    if (m.page[0] != DataPageType)
        throw JetError(err::CorruptDatabase, fmt::format("The usage map at page {} row {} of '{}' is not on a data page.",
                                                         id.page, id.row, file.path()));
    m.bounds = data_page_row(m.page, file.format(), id.page, id.row);
    const std::size_t min_length = 5;
    if (m.bounds.length() < min_length || (m.type() != Inline && m.type() != Reference))
        throw JetError(err::CorruptDatabase, fmt::format("The usage map at page {} row {} of '{}' has an unknown form.",
                                                         id.page, id.row, file.path()));
    return m;
}

bool bit(const Bytes& b, std::size_t at, std::uint32_t i) { return (*field_at(b, at + i / 8, 1) >> (i % 8) & 1) != 0; }
void set_bit(Bytes& b, std::size_t at, std::uint32_t i, bool on) {
    std::uint8_t& byte = *field_at(b, at + i / 8, 1);
    byte = static_cast<std::uint8_t>(on ? byte | 1u << (i % 8) : byte & ~(1u << (i % 8)));
}

std::uint32_t bits_per_bitmap_page(const Format& format) { return (format.page_size - 4) * 8; }

// The pages a map lists, through the one decoder of map rows.
std::vector<std::uint32_t> listed_pages(const PageFile& file, const MapRow& m) {
    return decode_usage_map(file, m.page.data() + m.bounds.start, m.bounds.length(),
                            fmt::format("at row {} of page {}", m.row, m.page_number));
}

void store_map(PageFile& file, MapRow& m) { file.write_page(m.page_number, m.page); }

// Reference map: the bit of `page` in its bitmap page; a missing bitmap page is created
// only when a bit must be set to `listed` (absent pages count as not listed).
void reference_set(PageFile& file, MapRow& m, std::uint32_t page, bool on, bool listed) {
    const std::uint32_t per_page = bits_per_bitmap_page(file.format());
    const std::size_t j = page / per_page;
    if (j >= m.pointer_count())
        throw JetError(err::Unsupported, fmt::format("Page {} lies beyond what the usage map at page {} of '{}' can "
                                                     "hold.", page, m.page_number, file.path()));
    const std::uint32_t bitmap = get_u32(m.page, m.pointer_at(j));
    if (bitmap == 0) {
        if (on != listed) return;
        Bytes b(file.page_size(), 0);
        b[0] = BitmapPageType;
        b[1] = 0x01;
        set_bit(b, 4, page % per_page, on);
        const std::uint32_t created = allocate_page(file, b);
        // Allocation rewrote page 1; the map may live there.
        m.page = file.read_page(m.page_number);
        put_u32(m.page, m.pointer_at(j), created);
        store_map(file, m);
        return;
    }
    Bytes b = file.read_page(bitmap);
    if (b[0] != BitmapPageType)
        throw JetError(err::CorruptDatabase, fmt::format("Page {} of '{}' should be a usage bitmap but has type {}.",
                                                         bitmap, file.path(), b[0]));
    if (bit(b, 4, page % per_page) == on) return;
    set_bit(b, 4, page % per_page, on);
    file.write_page(bitmap, b);
}

void promote_to_reference(PageFile& file, MapRow& m) {
    const std::vector<std::uint32_t> listed = listed_pages(file, m);
    std::fill(m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.start), m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.end), 0);
    m.page.at(m.bounds.start) = Reference;
    // The bitmap pages come first, the switched row last, so a crash never leaves the
    // row pointing at nothing; until the row is written the inline form stays valid.
    std::vector<std::uint32_t> pointers(m.pointer_count(), 0);
    const std::uint32_t per_page = bits_per_bitmap_page(file.format());
    std::vector<Bytes> bitmaps(m.pointer_count());
    for (std::uint32_t p : listed) {
        const std::size_t j = p / per_page;
        if (j >= m.pointer_count())
            throw JetError(err::Unsupported, fmt::format("Page {} lies beyond what the usage map at page {} of '{}' "
                                                         "can hold.", p, m.page_number, file.path()));
        if (bitmaps[j].empty()) {
            bitmaps[j].assign(file.page_size(), 0);
            bitmaps[j][0] = BitmapPageType;
            bitmaps[j][1] = 0x01;
        }
        set_bit(bitmaps[j], 4, p % per_page, true);
    }
    for (std::size_t j = 0; j < bitmaps.size(); ++j)
        if (!bitmaps[j].empty()) pointers[j] = allocate_page(file, bitmaps[j]);
    const Bytes image(m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.start), m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.end));
    m.page = file.read_page(m.page_number);
    std::copy(image.begin(), image.end(), m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.start));
    for (std::size_t j = 0; j < pointers.size(); ++j) put_u32(m.page, m.pointer_at(j), pointers[j]);
    store_map(file, m);
}

// Owner maps: list `page`, moving the inline window or promoting the map when needed.
void owner_add(PageFile& file, MapRow& m, std::uint32_t page) {
    if (m.type() == Reference) return reference_set(file, m, page, true, true);
    const std::uint32_t first = m.inline_first(), bits = m.inline_bits();
    if (page >= first && page - first < bits) {
        if (bit(m.page, m.bitmap_start(), page - first)) return;
        set_bit(m.page, m.bitmap_start(), page - first, true);
        return store_map(file, m);
    }
    std::vector<std::uint32_t> listed = listed_pages(file, m);
    listed.push_back(page);
    const std::uint32_t lo = *std::min_element(listed.begin(), listed.end()) & ~7u;
    const std::uint32_t hi = *std::max_element(listed.begin(), listed.end());
    if (hi - lo < bits) {
        put_u32(m.page, m.bounds.start + 1, lo);
        std::fill(m.page.begin() + static_cast<std::ptrdiff_t>(m.bitmap_start()), m.page.begin() + static_cast<std::ptrdiff_t>(m.bounds.end), 0);
        for (std::uint32_t p : listed) set_bit(m.page, m.bitmap_start(), p - lo, true);
        return store_map(file, m);
    }
    promote_to_reference(file, m);
    reference_set(file, m, page, true, true);
}

void owner_remove(PageFile& file, MapRow& m, std::uint32_t page) {
    if (m.type() == Reference) return reference_set(file, m, page, false, true);
    const std::uint32_t first = m.inline_first();
    if (page < first || page - first >= m.inline_bits() || !bit(m.page, m.bitmap_start(), page - first)) return;
    set_bit(m.page, m.bitmap_start(), page - first, false);
    store_map(file, m);
}

// Global map: clear the bit of a page now in use. A page the inline window does not cover
// moves the window to start at it; pages before the window count as used, pages past the
// end of the file as free.
void global_mark_used(PageFile& file, std::uint32_t page) {
    MapRow m = load_map(file, GlobalMapRef);
    if (m.type() == Reference) return reference_set(file, m, page, false, false);
    const std::uint32_t first = m.inline_first(), bits = m.inline_bits();
    if (page >= first && page - first < bits) {
        if (!bit(m.page, m.bitmap_start(), page - first)) return;
        set_bit(m.page, m.bitmap_start(), page - first, false);
        return store_map(file, m);
    }
    const std::uint32_t start = page & ~7u;
    const std::uint32_t end_of_file = file.page_count();
    put_u32(m.page, m.bounds.start + 1, start);
    for (std::uint32_t i = 0; i < bits; ++i) set_bit(m.page, m.bitmap_start(), i, start + i >= end_of_file);
    set_bit(m.page, m.bitmap_start(), page - start, false);
    store_map(file, m);
}

}  // namespace

// Pages the reserve grows by; it grows again once half of them are used.
constexpr std::uint32_t kReservePages = 32;

bool is_empty_page(const PageFile& file, std::uint32_t page) {
    static const Bytes zeros(8192, 0);
    Bytes buffer;
    const PageSpan bytes = read_page_span(file, page, buffer);
    return bytes.size() <= zeros.size() && std::memcmp(bytes.data(), zeros.data(), bytes.size()) == 0;
}

std::uint32_t next_page_number(const PageFile& file) {
    const std::uint32_t end = file.page_count();
    std::uint32_t first = end;
    while (first > 2 && end - first < 2 * kReservePages && is_empty_page(file, first - 1)) --first;
    return first;
}

std::uint32_t allocate_page(PageFile& file, const Bytes& content) {
    const std::uint32_t page = next_page_number(file);
    const std::uint32_t end = file.page_count();
    if (page == end) file.append_page(content);
    else file.write_page(page, content);
    if (end - page <= kReservePages / 2) {
        const Bytes empty(file.page_size(), 0);
        for (std::uint32_t n = std::max(end, page + 1); n < page + 1 + kReservePages; ++n) file.append_page(empty);
    }
    global_mark_used(file, page);
    return page;
}

std::vector<std::uint32_t> usage_map_pages(const PageFile& file, std::uint32_t map_ref) {
    return listed_pages(file, load_map(file, map_ref));
}

void usage_map_add(PageFile& file, std::uint32_t map_ref, std::uint32_t page) {
    MapRow m = load_map(file, map_ref);
    owner_add(file, m, page);
}

void usage_map_remove(PageFile& file, std::uint32_t map_ref, std::uint32_t page) {
    MapRow m = load_map(file, map_ref);
    owner_remove(file, m, page);
}

RowSpace find_row_space(PageFile& file, std::uint32_t owner, std::uint32_t free_map, std::size_t length) {
    const Format& format = file.format();
    const std::vector<std::uint32_t> candidates = usage_map_pages(file, free_map);
    const std::uint32_t end = file.page_count();
    std::vector<std::uint32_t> full;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (*it >= end) continue;
        Bytes page = file.read_page(*it);
        if (page[0] != DataPageType || get_u32(page, 4) != owner) continue;
        if (data_page_fits(page, format, length)) return RowSpace{*it, std::move(page), false, std::move(full)};
        full.push_back(*it);
    }
    return RowSpace{0, new_data_page(format, owner), true, std::move(full)};
}

void store_row_space(PageFile& file, RowSpace& space) {
    if (space.is_new && space.page == 0) space.page = allocate_page(file, space.image);
    else file.write_page(space.page, space.image);
}

void register_row_space(PageFile& file, const RowSpace& space, std::uint32_t owned_map, std::uint32_t free_map) {
    if (space.is_new) {
        usage_map_add(file, owned_map, space.page);
        usage_map_add(file, free_map, space.page);
    }
    for (std::uint32_t p : space.full_pages) usage_map_remove(file, free_map, p);
}

}  // namespace jet
