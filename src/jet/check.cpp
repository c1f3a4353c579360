// The verifier: one pass over the file's structures, claiming every page that something
// references and comparing each table with its maps, its rows and its indexes. It uses the
// reader's table definitions, row decoder and index walk, but parses page headers, row-offset
// tables and usage maps itself so that a damaged structure is reported rather than thrown.
#include "check.h"

#include "error.h"
#include "page_io.h"
#include "table_def.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace jet {
namespace {

constexpr std::uint16_t RowDeleted = 0x8000;   // skipped by scans (also set on overflow targets)
constexpr std::uint16_t RowOverflow = 0x4000;  // the row holds a pointer to where it moved
constexpr std::uint16_t RowOffsetMask = 0x1FFF;
constexpr std::uint32_t LvalOwner = 0x4C41564C;  // "LVAL"
constexpr std::size_t MaxProblemsPerKind = 20;   // a broken index would otherwise flood the report

struct Slot {
    std::uint32_t start = 0, end = 0;
    std::uint16_t flags = 0;
    bool deleted() const { return (flags & RowDeleted) != 0; }
    bool overflow() const { return (flags & RowOverflow) != 0 && !deleted(); }
};

class Checker {
public:
    explicit Checker(const std::string& path)
        : file_(PageFile::open(path, PageFile::Access::ReadOnly)), f_(file_->format()),
          pages_(file_->page_count()) {
        report_.path = path;
    }

    CheckReport run();

private:
    std::unique_ptr<PageFile> file_;
    const Format& f_;
    std::uint32_t pages_;
    CheckReport report_;
    std::map<std::uint32_t, Bytes> cache_;
    std::map<std::uint32_t, std::string> claims_;        // page -> who uses it
    std::set<std::uint32_t> map_hosts_;                  // data pages holding usage-map rows
    std::set<std::uint32_t> global_free_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> global_cover_;  // [first, last) ranges the global map covers

    template <typename... A>
    void problem(fmt::format_string<A...> f, A&&... a) {
        report_.problems.push_back(fmt::format(f, std::forward<A>(a)...));
    }
    template <typename... A>
    void note(fmt::format_string<A...> f, A&&... a) {
        report_.notes.push_back(fmt::format(f, std::forward<A>(a)...));
    }

    const Bytes& page(std::uint32_t n) {
        auto it = cache_.find(n);
        if (it == cache_.end()) it = cache_.emplace(n, file_->read_page(n)).first;
        return it->second;
    }
    bool in_file(std::uint32_t n) const { return n < pages_; }
    std::uint32_t owner_of(std::uint32_t n) { return get_u32(page(n), 4); }

    std::optional<std::vector<Slot>> slots(std::uint32_t n, const std::string& who);
    std::optional<Bytes> row_at(std::uint32_t row_pointer, const std::string& who);
    std::optional<std::set<std::uint32_t>> decode_map(std::uint32_t row_pointer, const std::string& who);
    void read_global_map();
    bool covered(std::uint32_t n) const;
    void claim(std::uint32_t n, const std::string& who, std::uint8_t type, std::optional<std::uint32_t> owner);
    void check_global_map();

    friend struct TableChecker;
};

// The row-offset table of data page `n`: every row must lie between the end of the table and
// the end of the page, each row ending where the previous one starts, and the page's free-space
// field must say how much room is left between them.
std::optional<std::vector<Slot>> Checker::slots(std::uint32_t n, const std::string& who) {
    const Bytes& b = page(n);
    const std::uint32_t count = get_u16(b, f_.data_row_count_offset);
    const std::uint32_t table_end = f_.data_first_row_offset + 2 * count;
    if (count > 255 || table_end > f_.page_size) {
        problem("{}: data page {} claims {} rows, more than the page can hold", who, n, count);
        return std::nullopt;
    }
    std::vector<Slot> out;
    std::uint32_t end = f_.page_size, lowest = f_.page_size;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint16_t raw = get_u16(b, f_.data_first_row_offset + 2 * i);
        Slot s{static_cast<std::uint32_t>(raw & RowOffsetMask), end, static_cast<std::uint16_t>(raw & ~RowOffsetMask)};
        if (s.start < table_end || s.start > end) {
            problem("{}: row {} of data page {} starts at offset {}, outside {}..{}", who, i, n, s.start, table_end,
                    end);
            return std::nullopt;
        }
        out.push_back(s);
        end = s.start;
        lowest = std::min(lowest, s.start);
    }
    const std::uint32_t free_field = get_u16(b, 2);
    if (free_field != lowest - table_end)
        problem("{}: data page {} says {} bytes are free, its rows leave {}", who, n, free_field, lowest - table_end);
    return out;
}

std::optional<Bytes> Checker::row_at(std::uint32_t row_pointer, const std::string& who) {
    const RowId id = RowId::from_u32(row_pointer);
    if (!in_file(id.page)) {
        problem("{}: points at page {}, past the end of the file ({} pages)", who, id.page, pages_);
        return std::nullopt;
    }
    if (page(id.page)[0] != 0x01) {
        problem("{}: points at page {}, which is not a data page (type {})", who, id.page, page(id.page)[0]);
        return std::nullopt;
    }
    auto s = slots(id.page, who);
    if (!s) return std::nullopt;
    if (id.row >= s->size()) {
        problem("{}: points at row {} of page {}, which has {} rows", who, id.row, id.page, s->size());
        return std::nullopt;
    }
    const Slot& slot = (*s)[id.row];
    if (slot.deleted()) {
        problem("{}: points at row {} of page {}, which is deleted", who, id.row, id.page);
        return std::nullopt;
    }
    const Bytes& b = page(id.page);
    return Bytes(b.begin() + slot.start, b.begin() + slot.end);
}

// A usage map row: inline (start page + bitmap) or reference (pointers to bitmap pages).
std::optional<std::set<std::uint32_t>> Checker::decode_map(std::uint32_t row_pointer, const std::string& who) {
    auto row = row_at(row_pointer, who);
    if (!row) return std::nullopt;
    map_hosts_.insert(RowId::from_u32(row_pointer).page);
    std::set<std::uint32_t> out;
    const Bytes& r = *row;
    if (r.size() >= 5 && r[0] == 0x00) {
        const std::uint32_t start = get_u32(r, 1);
        for (std::size_t i = 5; i < r.size(); ++i)
            for (std::uint32_t bit = 0; bit < 8; ++bit)
                if (r[i] >> bit & 1) out.insert(start + static_cast<std::uint32_t>(i - 5) * 8 + bit);
        return out;
    }
    if (r.size() >= 5 && r[0] == 0x01 && (r.size() - 1) % 4 == 0) {
        const std::uint32_t per_page = (f_.page_size - 4) * 8;
        for (std::size_t j = 0; j * 4 + 5 <= r.size(); ++j) {
            const std::uint32_t bitmap_page = get_u32(r, 1 + j * 4);
            if (bitmap_page == 0) continue;
            if (!in_file(bitmap_page) || page(bitmap_page)[0] != 0x05) {
                problem("{}: reference map points at page {}, which is not a usage-map bitmap page", who,
                        bitmap_page);
                return std::nullopt;
            }
            claim(bitmap_page, who + " (bitmap)", 0x05, std::nullopt);
            const Bytes& b = page(bitmap_page);
            for (std::size_t i = 4; i < b.size(); ++i)
                for (std::uint32_t bit = 0; bit < 8; ++bit)
                    if (b[i] >> bit & 1)
                        out.insert(static_cast<std::uint32_t>(j) * per_page + static_cast<std::uint32_t>(i - 4) * 8 +
                                   bit);
        }
        return out;
    }
    problem("{}: usage map row at page {} row {} has type {} and length {}, neither an inline nor a reference map",
            who, row_pointer >> 8, row_pointer & 0xFF, r.empty() ? -1 : r[0], r.size());
    return std::nullopt;
}

// Page 1 row 0, where a set bit means the page is free.
void Checker::read_global_map() {
    const std::string who = "global usage map (page 1)";
    if (!in_file(1) || page(1)[0] != 0x01) {
        problem("{}: page 1 is not a data page", who);
        return;
    }
    auto row = row_at(1u << 8, who);
    if (!row) return;
    const Bytes& r = *row;
    if (r.size() >= 5 && r[0] == 0x00) {
        const std::uint32_t start = get_u32(r, 1);
        global_cover_.emplace_back(start, start + static_cast<std::uint32_t>(r.size() - 5) * 8);
    } else if (r.size() >= 5 && r[0] == 0x01) {
        const std::uint32_t per_page = (f_.page_size - 4) * 8;
        for (std::uint32_t j = 0; j * 4 + 5 <= r.size(); ++j)
            if (get_u32(r, 1 + j * 4) != 0) global_cover_.emplace_back(j * per_page, (j + 1) * per_page);
    }
    if (auto free = decode_map(1u << 8, who)) global_free_ = std::move(*free);
    map_hosts_.erase(1);
    claims_[1] = "the global usage map";
}

bool Checker::covered(std::uint32_t n) const {
    return std::any_of(global_cover_.begin(), global_cover_.end(),
                       [n](const auto& r) { return n >= r.first && n < r.second; });
}

// Records that `who` uses page n, which must exist, have the given type (and owner field when
// given), not be used by anything else and not be free in the global map.
void Checker::claim(std::uint32_t n, const std::string& who, std::uint8_t type, std::optional<std::uint32_t> owner) {
    if (!in_file(n)) {
        problem("{}: page {} lies past the end of the file ({} pages)", who, n, pages_);
        return;
    }
    if (auto [it, fresh] = claims_.emplace(n, who); !fresh) {
        problem("page {} is claimed twice: by {} and by {}", n, it->second, who);
        return;
    }
    const Bytes& b = page(n);
    if (b[0] != type)
        problem("{}: page {} has type {}, expected {}", who, n, b[0], type);
    else if (owner && get_u32(b, 4) != *owner)
        problem("{}: page {} is owned by {}, expected {}", who, n, get_u32(b, 4), *owner);
    if (global_free_.count(n)) problem("{}: page {} is in use but marked free in the global usage map", who, n);
}

void Checker::check_global_map() {
    for (std::uint32_t host : map_hosts_) {
        if (claims_.count(host)) {
            // A usage-map row may share a page only with other usage-map rows.
            if (claims_[host].find("usage-map page") == std::string::npos)
                problem("page {} holds usage maps but is also used by {}", host, claims_[host]);
            continue;
        }
        claim(host, "usage-map page", 0x01, std::nullopt);
    }
    std::size_t lost = 0;
    for (std::uint32_t n = 2; n < pages_; ++n)
        if (!claims_.count(n) && covered(n) && !global_free_.count(n) && page(n)[0] != 0x00) ++lost;
    if (lost)
        note("{} page(s) are allocated in the global usage map but used by nothing (space lost, as after an "
             "interrupted write)",
             lost);
    std::size_t beyond = 0;
    std::uint32_t first_beyond = 0;
    for (const auto& [first, last] : global_cover_)
        for (std::uint32_t n = std::max(first, pages_); n < last; ++n)
            if (!global_free_.count(n) && beyond++ == 0) first_beyond = n;
    if (beyond)
        problem("global usage map: {} page(s) past the end of the file ({} pages) are marked in use, first {}", beyond,
                pages_, first_beyond);
    report_.checked.push_back(fmt::format("global usage map: {} pages in the file, {} in use by tables and indexes",
                                          pages_, claims_.size()));
}

CheckReport Checker::run() {
    claims_[0] = "the database header";
    read_global_map();
    check_global_map();
    return report_;
}

}  // namespace

CheckReport check_database(const std::string& path) {
    return Checker(path).run();
}

}  // namespace jet
