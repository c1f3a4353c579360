// Index page layout. Entries sit back to back after the bitmap; the bitmap marks where each
// entry ends. With a shared prefix, only the first entry is stored whole. Jet 3 has a one-byte
// prefix length; we write prefixes on Jet 4 pages only.
#include "jet/index/index_page.h"

#include "jet/base/error.h"
#include "jet/storage/page_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace jet {

namespace {

[[noreturn]] void corrupt(std::uint32_t number, const std::string& where, const std::string& what) {
    throw JetError(err::CorruptDatabase,
                   "Index page " + std::to_string(number) + " of " + where + " is damaged: " + what + ".");
}

void put_be(std::uint8_t* out, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * (size - 1 - i)));
}

std::uint32_t get_be(const std::uint8_t* in, int size) {
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i) v = v << 8 | in[i];
    return v;
}

// Entries are a few bytes long: a library call for each would cost more than the copy itself.
void copy_short(std::uint8_t* out, const std::uint8_t* in, std::size_t n) {
    for (; n >= 8; n -= 8, in += 8, out += 8) std::memcpy(out, in, 8);
    for (; n > 0; --n) *out++ = *in++;
}

Bytes whole_entry(const IndexEntry& e, bool leaf) {
    Bytes b(e.key.size() + (leaf ? 4 : 8));
    std::copy(e.key.begin(), e.key.end(), b.begin());
    put_be(b.data() + e.key.size(), e.row.page, 3);
    b[e.key.size() + 3] = e.row.row;
    if (!leaf) put_be(b.data() + e.key.size() + 4, e.child, 4);
    return b;
}

PackedPage pack(const IndexPage& page) {
    PackedPage p;
    p.number = page.number;
    p.leaf = page.leaf;
    p.owner = page.owner;
    p.prev = page.prev;
    p.next = page.next;
    p.tail = page.tail;
    for (const IndexEntry& e : page.entries) p.insert(p.size(), e);
    return p;
}

}  // namespace

// Byte loops rather than memcmp: keys are short, and they mostly differ near their end.
int compare_keys(KeyView a, KeyView b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n > 0)
        if (const int c = std::memcmp(a.data(), b.data(), n); c != 0) return c < 0 ? -1 : 1;   // unsigned bytes
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compare_entries(const IndexEntry& a, const IndexEntry& b) {
    if (int c = compare_keys(a.key, b.key)) return c;
    return a.row == b.row ? 0 : (a.row < b.row ? -1 : 1);
}

bool starts_with(KeyView key, KeyView prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

// ---- PackedPage ----

KeyView PackedPage::key(std::size_t i) const {
    return KeyView(data_.data() + begin(i), ends_[i] - begin(i) - trailer());
}

RowId PackedPage::row(std::size_t i) const {
    const std::uint8_t* at = data_.data() + ends_[i] - trailer();
    return RowId{get_be(at, 3), at[3]};
}

std::uint32_t PackedPage::child(std::size_t i) const { return leaf ? 0 : get_be(data_.data() + ends_[i] - 4, 4); }

IndexEntry PackedPage::entry(std::size_t i) const {
    const KeyView k = key(i);
    return IndexEntry{Bytes(k.begin(), k.end()), row(i), child(i)};
}

int PackedPage::compare(std::size_t i, const IndexEntry& e) const {
    if (int c = compare_keys(key(i), e.key)) return c;
    const RowId r = row(i);
    return r == e.row ? 0 : (r < e.row ? -1 : 1);
}

int PackedPage::compare_adjacent(std::size_t i) const {
    if (int c = compare_keys(key(i - 1), key(i))) return c;
    // The row id is stored big-endian (page, then row): its bytes sort as the row id does.
    return compare_keys(KeyView(data_.data() + ends_[i - 1] - trailer(), 4), KeyView(data_.data() + ends_[i] - trailer(), 4));
}

std::size_t PackedPage::lower_bound(const IndexEntry& e, std::size_t count) const {
    std::size_t lo = 0, hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (compare(mid, e) < 0) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

void PackedPage::insert(std::size_t i, const IndexEntry& e) {
    const Bytes whole = whole_entry(e, leaf);
    const std::size_t at = begin(i);
    data_.insert(data_.begin() + static_cast<std::ptrdiff_t>(at), whole.begin(), whole.end());
    ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(i), static_cast<std::uint32_t>(at));
    for (std::size_t k = i; k < ends_.size(); ++k) ends_[k] += static_cast<std::uint32_t>(whole.size());
}

void PackedPage::erase(std::size_t i) {
    const std::size_t at = begin(i), length = ends_[i] - at;
    data_.erase(data_.begin() + static_cast<std::ptrdiff_t>(at), data_.begin() + static_cast<std::ptrdiff_t>(at + length));
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(i));
    for (std::size_t k = i; k < ends_.size(); ++k) ends_[k] -= static_cast<std::uint32_t>(length);
}

void PackedPage::replace(std::size_t i, const IndexEntry& e) {
    IndexEntry copy = e;
    copy.child = child(i);
    erase(i);
    insert(i, copy);
}

void PackedPage::set_child(std::size_t i, std::uint32_t value) { put_be(data_.data() + ends_[i] - 4, value, 4); }

void PackedPage::move_front(std::size_t n, PackedPage& to) {
    const std::size_t bytes = begin(n);
    to.data_.assign(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(bytes));
    to.ends_.assign(ends_.begin(), ends_.begin() + static_cast<std::ptrdiff_t>(n));
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(bytes));
    ends_.erase(ends_.begin(), ends_.begin() + static_cast<std::ptrdiff_t>(n));
    for (std::uint32_t& end : ends_) end -= static_cast<std::uint32_t>(bytes);
}

// The prefix every stored entry shares: the first and last keys' common prefix, reaching into
// the row's page bytes when all keys are equal (entries then differ by row id alone).
std::size_t PackedPage::shared_prefix(const Format& format, std::size_t count) const {
    if (!format.jet4() || count < 2) return 0;
    const KeyView first = key(0), last = key(count - 1);
    const std::size_t limit = first.size() == last.size() ? first.size() + 3 : std::min(first.size(), last.size());
    const std::uint8_t* a = data_.data();
    const std::uint8_t* b = data_.data() + begin(count - 1);
    std::size_t n = 0;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

std::size_t PackedPage::entry_space(const Format& format, std::size_t count) const {
    if (count == 0) return 0;
    const std::size_t prefix = shared_prefix(format, count);
    return ends_[count - 1] - (count - 1) * prefix;
}

Bytes PackedPage::serialise(const Format& f, std::size_t count) const {
    Bytes b(f.page_size, 0);
    b[0] = leaf ? kIndexLeafPage : kIndexNodePage;
    b[1] = 0x01;
    put_u32(b, 4, owner);
    put_u32(b, f.index_prev_offset, prev);
    put_u32(b, f.index_next_offset, next);
    put_u32(b, f.index_tail_offset, leaf ? 0 : tail);
    const std::size_t prefix = shared_prefix(f, count);
    if (f.index_prefix_size == 1) b[f.index_prefix_offset] = static_cast<std::uint8_t>(prefix);
    else put_u16(b, f.index_prefix_offset, static_cast<std::uint16_t>(prefix));
    // Access marks node pages here; readers ignore it.
    b[f.index_prefix_offset + f.index_prefix_size] = leaf ? 0 : 1;
    if (entry_space(f, count) > f.index_max_entry_space)
        throw JetError(err::CorruptDatabase, "Index page " + std::to_string(number) + " overflows.");

    // Entries are mostly a few bytes long: each is copied as one 16-byte block where there is
    // room; the next entry overwrites the excess, and what the last leaves is cleared.
    std::uint8_t* page = b.data();
    std::uint8_t* bitmap = page + f.index_bitmap_offset;
    const std::uint8_t* source = data_.data();
    const std::size_t first = f.index_first_entry_offset, page_size = f.page_size, source_size = data_.size();
    std::size_t at = first, from = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = ends_[i], length = end - from;
        if (length <= 16 && at + 16 <= page_size && from + 16 <= source_size) std::memcpy(page + at, source + from, 16);
        else std::memcpy(page + at, source + from, length);
        at += length;
        from = end + prefix;   // the next entry's stored bytes
        const std::size_t bit = at - first;
        bitmap[bit / 8] = static_cast<std::uint8_t>(bitmap[bit / 8] | 1u << (bit % 8));
    }
    std::memset(page + at, 0, std::min<std::size_t>(16, page_size - at));
    put_u16(b, 2, static_cast<std::uint16_t>(page_size - at));
    return b;
}

namespace {

// An insert into the bitmap of entry ends: the ends after bit `start` move up by `length` and
// the new entry ends at start + length; bits up to `old_used` were in use, `used` are now.
// Sixty-four bits at a time (a page has some hundred entries; bit by bit was a visible cost).
void shift_entry_ends(std::uint8_t* bitmap, std::size_t start, std::size_t length, std::size_t old_used,
                      std::size_t used) {
    static_assert(std::endian::native == std::endian::little, "the bitmap is read as little-endian words");
    constexpr std::size_t kWords = 80;   // 640 bytes: more than any page's bitmap, with a word to spare
    if (used / 64 + 2 > kWords) throw JetError(err::CorruptDatabase, "An index page holds more entries than its bitmap can mark (the index is damaged).");
    std::uint64_t old[kWords] = {};
    std::memcpy(old, bitmap, old_used / 8 + 1);
    // The 64 old bits from bit `p` on (zeros below bit 0).
    const auto old_bits = [&](std::ptrdiff_t p) -> std::uint64_t {
        if (p <= -64) return 0;
        if (p < 0) return old[0] << -p;
        const auto i = static_cast<std::size_t>(p) / 64, shift = static_cast<std::size_t>(p) % 64;
        return shift == 0 ? old[i] : old[i] >> shift | old[i + 1] << (64 - shift);
    };
    // Bits [from, to) of word `k`, as a mask.
    const auto range = [](std::size_t k, std::size_t from, std::size_t to) -> std::uint64_t {
        const std::size_t lo = std::clamp(from, 64 * k, 64 * k + 64) - 64 * k;
        const std::size_t hi = std::clamp(to, 64 * k, 64 * k + 64) - 64 * k;
        if (lo >= hi) return 0;
        const std::uint64_t upto_hi = hi == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << hi) - 1;
        return upto_hi & ~((std::uint64_t{1} << lo) - 1);
    };
    const std::size_t moved = start + 1;   // the first bit that moves
    std::uint64_t out[kWords] = {};
    for (std::size_t k = start / 64; k <= used / 64; ++k) {
        const auto shifted = old_bits(static_cast<std::ptrdiff_t>(64 * k) - static_cast<std::ptrdiff_t>(length));
        out[k] = (old[k] & range(k, 0, moved)) | (shifted & range(k, moved + length, 64 * k + 64));
        out[k] |= range(k, start + length, start + length + 1);
    }
    // Bytes before the one holding `start` are unchanged; those after `used` are not the page's.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out);
    std::memcpy(bitmap + start / 8, bytes + start / 8, used / 8 - start / 8 + 1);
}

}  // namespace

std::optional<Bytes> PackedPage::serialise_insert(const Format& f, Bytes b, std::size_t position) const {
    const std::size_t count = size();
    if (!leaf || position == 0 || position >= count || b.size() != f.page_size) return std::nullopt;
    const std::size_t prefix = shared_prefix(f, count);
    const std::size_t old_prefix = f.index_prefix_size == 1 ? b[f.index_prefix_offset] : get_u16(b, f.index_prefix_offset);
    const std::size_t used = entry_space(f, count);
    if (prefix != old_prefix || used > f.index_max_entry_space) return std::nullopt;
    // Positions within the entry area: the new entry's stored bytes go to `start`.
    const std::size_t start = ends_[position - 1] - (position - 1) * prefix;
    const std::size_t length = ends_[position] - ends_[position - 1] - prefix;
    const std::size_t old_used = used - length;
    const std::size_t first = f.index_first_entry_offset;
    if (get_u16(b, 2) != f.page_size - first - old_used) return std::nullopt;

    std::uint8_t* area = b.data() + first;
    std::memmove(area + start + length, area + start, old_used - start);
    std::memcpy(area + start, data_.data() + ends_[position - 1] + prefix, length);
    shift_entry_ends(b.data() + f.index_bitmap_offset, start, length, old_used, used);
    put_u16(b, 2, static_cast<std::uint16_t>(f.page_size - first - used));
    return b;
}

// ---- parsing ----

PackedPage parse_packed_page(const Format& f, std::uint32_t number, const Bytes& b, const std::string& where) {
    if (b.size() != f.page_size) corrupt(number, where, "short page");
    if (b[0] != kIndexNodePage && b[0] != kIndexLeafPage)
        corrupt(number, where, "page type " + std::to_string(b[0]) + " is not an index page");
    PackedPage page;
    page.number = number;
    page.leaf = b[0] == kIndexLeafPage;
    page.owner = get_u32(b, 4);
    page.prev = get_u32(b, f.index_prev_offset);
    page.next = get_u32(b, f.index_next_offset);
    page.tail = get_u32(b, f.index_tail_offset);
    if (page.leaf && page.tail != 0) corrupt(number, where, "a leaf page names a child page");
    const std::size_t prefix = f.index_prefix_size == 1 ? b[f.index_prefix_offset] : get_u16(b, f.index_prefix_offset);
    const std::size_t trailer = page.trailer();
    const std::size_t space = std::min<std::size_t>(f.page_size - f.index_first_entry_offset, f.index_bitmap_size * 8);
    if (prefix > space) corrupt(number, where, "the shared prefix is longer than the page");

    // Where each stored entry ends (bit n set: an entry ends n bytes into the entry area).
    std::vector<std::uint32_t>& ends = page.ends_;
    ends.reserve(space / 4);
    const std::uint8_t* bitmap = b.data() + f.index_bitmap_offset;
    for (std::size_t byte = 0; byte * 8 <= space; ++byte) {
        unsigned bits = bitmap[byte];
        if (byte == 0) bits &= ~1u;
        if (byte * 8 + 7 > space) bits &= (2u << (space - byte * 8)) - 1;
        for (; bits != 0; bits &= bits - 1)
            ends.push_back(static_cast<std::uint32_t>(byte * 8 + static_cast<std::size_t>(std::countr_zero(bits))));
    }
    if (ends.empty()) return page;

    // Entry i is the first entry's first `prefix` bytes followed by its stored bytes.
    const std::uint8_t* base = b.data() + f.index_first_entry_offset;
    if (ends[0] < prefix) corrupt(number, where, "the first entry is shorter than the shared prefix");
    page.data_.resize(ends.back() + (ends.size() - 1) * prefix);
    std::uint8_t* out = page.data_.data();
    std::size_t start = 0;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t shared = i == 0 ? 0 : prefix, stored = ends[i] - start;
        if (shared + stored < trailer) corrupt(number, where, "an entry is too short");
        copy_short(out, base, shared);
        copy_short(out + shared, base + start, stored);
        out += shared + stored;
        start = ends[i];
        ends[i] = static_cast<std::uint32_t>(out - page.data_.data());
        if (i > 0 && page.compare_adjacent(i) >= 0) corrupt(number, where, "entries are out of order");
    }
    return page;
}

std::optional<IndexEntry> last_page_entry(const Format& f, const Bytes& b) {
    if (b.size() != f.page_size || (b[0] != kIndexNodePage && b[0] != kIndexLeafPage)) return std::nullopt;
    const bool leaf = b[0] == kIndexLeafPage;
    const std::size_t prefix = f.index_prefix_size == 1 ? b[f.index_prefix_offset] : get_u16(b, f.index_prefix_offset);
    const std::size_t space = std::min<std::size_t>(f.page_size - f.index_first_entry_offset, f.index_bitmap_size * 8);
    std::size_t ends[2] = {0, 0};
    int found = 0;
    for (std::size_t byte = space / 8 + 1; byte-- > 0 && found < 2;) {
        unsigned bits = b[f.index_bitmap_offset + byte];
        if (byte == 0) bits &= ~1u;
        if (byte * 8 + 7 > space) bits &= (2u << (space - byte * 8)) - 1;
        for (; bits != 0 && found < 2; bits &= ~(1u << (std::bit_width(bits) - 1)))
            ends[found++] = byte * 8 + static_cast<std::size_t>(std::bit_width(bits)) - 1;
    }
    if (found == 0) return std::nullopt;
    const std::size_t start = found == 2 ? ends[1] : 0, end = ends[0];
    const std::size_t shared = found == 2 ? prefix : 0;
    const std::size_t trailer = leaf ? 4 : 8;
    if (shared > start || shared + end - start < trailer) return std::nullopt;
    const std::uint8_t* base = b.data() + f.index_first_entry_offset;
    Bytes whole(base, base + shared);
    whole.insert(whole.end(), base + start, base + end);
    const std::size_t key_size = whole.size() - trailer;
    IndexEntry e;
    e.key.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(key_size));
    e.row = RowId{get_be(whole.data() + key_size, 3), whole[key_size + 3]};
    if (!leaf) e.child = get_be(whole.data() + key_size + 4, 4);
    return e;
}

IndexPage parse_index_page(const Format& f, std::uint32_t number, const Bytes& bytes, const std::string& where) {
    const PackedPage p = parse_packed_page(f, number, bytes, where);
    IndexPage page;
    page.number = p.number;
    page.leaf = p.leaf;
    page.owner = p.owner;
    page.prev = p.prev;
    page.next = p.next;
    page.tail = p.tail;
    page.entries.reserve(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) page.entries.push_back(p.entry(i));
    return page;
}

std::size_t index_entry_space(const Format& format, const IndexPage& page) {
    return pack(page).entry_space(format, page.entries.size());
}

Bytes serialise_index_page(const Format& format, const IndexPage& page) {
    return pack(page).serialise(format, page.entries.size());
}

}  // namespace jet
