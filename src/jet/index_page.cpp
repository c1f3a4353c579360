// Index page layout. Entries sit back to back after the bitmap; the bitmap marks where each
// entry ends. With a shared prefix, only the first entry is stored whole. Jet 3 has a one-byte
// prefix length; we write prefixes on Jet 4 pages only.
#include "jet/index_page.h"

#include "jet/error.h"
#include "jet/page_io.h"

#include <algorithm>

namespace jet {

namespace {

constexpr std::size_t kRowIdSize = 4;
constexpr std::size_t kChildSize = 4;

[[noreturn]] void corrupt(std::uint32_t number, const std::string& where, const std::string& what) {
    throw JetError(err::CorruptDatabase,
                   "Index page " + std::to_string(number) + " of " + where + " is damaged: " + what + ".");
}

std::uint32_t get_be(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
    return v;
}

void put_be(Bytes& out, std::uint32_t v, int size) {
    for (int i = size - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes entry_bytes(const IndexEntry& e, bool leaf) {
    Bytes b = e.key;
    put_be(b, e.row.page, 3);
    b.push_back(e.row.row);
    if (!leaf) put_be(b, e.child, 4);
    return b;
}

std::size_t common_prefix(const Bytes& a, const Bytes& b, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
}

// The prefix every entry of the page shares: the first and last keys' common prefix, reaching
// into the row's page bytes when all keys are equal (entries then differ by row id alone).
std::size_t shared_prefix(const Format& format, const IndexPage& page) {
    if (!format.jet4() || page.entries.size() < 2) return 0;
    const IndexEntry& first = page.entries.front();
    const IndexEntry& last = page.entries.back();
    std::size_t n = common_prefix(first.key, last.key, first.key.size());
    if (n == first.key.size() && first.key.size() == last.key.size()) {
        Bytes a = entry_bytes(first, true), b = entry_bytes(last, true);
        n = common_prefix(a, b, first.key.size() + 3);
    }
    return n;
}

}  // namespace

int compare_keys(const Bytes& a, const Bytes& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compare_entries(const IndexEntry& a, const IndexEntry& b) {
    if (int c = compare_keys(a.key, b.key)) return c;
    return a.row == b.row ? 0 : (a.row < b.row ? -1 : 1);
}

bool starts_with(const Bytes& key, const Bytes& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

IndexPage parse_index_page(const Format& f, std::uint32_t number, const Bytes& b, const std::string& where) {
    if (b.size() != f.page_size) corrupt(number, where, "short page");
    if (b[0] != kIndexNodePage && b[0] != kIndexLeafPage)
        corrupt(number, where, "page type " + std::to_string(b[0]) + " is not an index page");
    IndexPage page;
    page.number = number;
    page.leaf = b[0] == kIndexLeafPage;
    page.owner = get_u32(b, 4);
    page.prev = get_u32(b, f.index_prev_offset);
    page.next = get_u32(b, f.index_next_offset);
    page.tail = get_u32(b, f.index_tail_offset);
    const std::size_t prefix = f.index_prefix_size == 1 ? b[f.index_prefix_offset] : get_u16(b, f.index_prefix_offset);
    const std::size_t trailer = kRowIdSize + (page.leaf ? 0 : kChildSize);
    const std::size_t space = std::min<std::size_t>(f.page_size - f.index_first_entry_offset, f.index_bitmap_size * 8);

    Bytes first;
    std::size_t start = 0;
    for (std::size_t bit = 1; bit <= space; ++bit) {
        if ((b[f.index_bitmap_offset + bit / 8] >> (bit % 8) & 1) == 0) continue;
        Bytes whole;
        if (page.entries.empty()) {
            whole.assign(b.begin() + static_cast<std::ptrdiff_t>(f.index_first_entry_offset),
                         b.begin() + static_cast<std::ptrdiff_t>(f.index_first_entry_offset + bit));
            if (whole.size() < prefix) corrupt(number, where, "the first entry is shorter than the shared prefix");
            first = whole;
        } else {
            whole.assign(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(prefix));
            whole.insert(whole.end(), b.begin() + static_cast<std::ptrdiff_t>(f.index_first_entry_offset + start),
                         b.begin() + static_cast<std::ptrdiff_t>(f.index_first_entry_offset + bit));
        }
        if (whole.size() < trailer) corrupt(number, where, "an entry is too short");
        IndexEntry e;
        const std::size_t key_size = whole.size() - trailer;
        e.key.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(key_size));
        e.row = RowId{get_be(whole, key_size, 3), whole[key_size + 3]};
        if (!page.leaf) e.child = get_be(whole, key_size + 4, 4);
        if (!page.entries.empty() && compare_entries(page.entries.back(), e) >= 0)
            corrupt(number, where, "entries are out of order");
        page.entries.push_back(std::move(e));
        start = bit;
    }
    if (page.leaf && page.tail != 0) corrupt(number, where, "a leaf page names a child page");
    return page;
}

std::size_t index_entry_space(const Format& format, const IndexPage& page) {
    const std::size_t trailer = kRowIdSize + (page.leaf ? 0 : kChildSize);
    const std::size_t prefix = shared_prefix(format, page);
    std::size_t total = prefix;
    for (const IndexEntry& e : page.entries) total += e.key.size() + trailer - prefix;
    return total;
}

Bytes serialise_index_page(const Format& f, const IndexPage& page) {
    Bytes b(f.page_size, 0);
    b[0] = page.leaf ? kIndexLeafPage : kIndexNodePage;
    b[1] = 0x01;
    put_u32(b, 4, page.owner);
    put_u32(b, f.index_prev_offset, page.prev);
    put_u32(b, f.index_next_offset, page.next);
    put_u32(b, f.index_tail_offset, page.leaf ? 0 : page.tail);
    const std::size_t prefix = shared_prefix(f, page);
    if (f.index_prefix_size == 1) b[f.index_prefix_offset] = static_cast<std::uint8_t>(prefix);
    else put_u16(b, f.index_prefix_offset, static_cast<std::uint16_t>(prefix));
    // Access marks node pages here; readers ignore it.
    b[f.index_prefix_offset + f.index_prefix_size] = page.leaf ? 0 : 1;

    std::size_t at = f.index_first_entry_offset;
    const std::size_t limit = f.index_first_entry_offset + f.index_max_entry_space;
    for (std::size_t i = 0; i < page.entries.size(); ++i) {
        const Bytes whole = entry_bytes(page.entries[i], page.leaf);
        const std::size_t skip = i == 0 ? 0 : prefix;
        if (at + whole.size() - skip > limit)
            throw JetError(err::CorruptDatabase, "Index page " + std::to_string(page.number) + " overflows.");
        std::copy(whole.begin() + static_cast<std::ptrdiff_t>(skip), whole.end(),
                  b.begin() + static_cast<std::ptrdiff_t>(at));
        at += whole.size() - skip;
        const std::size_t bit = at - f.index_first_entry_offset;
        b[f.index_bitmap_offset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    put_u16(b, 2, static_cast<std::uint16_t>(f.page_size - at));
    return b;
}

}  // namespace jet
