// The verifier: one pass over the file's structures, claiming every page that something
// references and comparing each table with its maps, its rows and its indexes. It uses the
// reader's table definitions, row decoder and index walk, but parses page headers, row-offset
// tables and usage maps itself so that a damaged structure is reported rather than thrown.
#include "jet/check.h"

#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/index/index.h"
#include "jet/index/index_key.h"
#include "jet/rows/long_value.h"
#include "jet/rows/row_decode.h"
#include "jet/schema/table_def.h"
#include "jet/storage/lock_file.h"
#include "jet/storage/page_file.h"
#include "jet/storage/page_rows.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>

namespace jet {
namespace {

constexpr std::uint16_t RowDeleted = row_flags::Deleted;     // also set on the targets of moved rows
constexpr std::uint16_t RowOverflow = row_flags::Overflow;
constexpr std::uint16_t RowOffsetMask = row_flags::OffsetMask;
constexpr std::uint8_t AnyIndexPage = 0xFF;   // claim(): a node or a leaf page
constexpr std::uint8_t SystemTable = 0x53;  // tdef table type 'S'
constexpr std::size_t MaxIndexProblems = 10;  // a broken index would otherwise flood the report

struct Slot {
    std::uint32_t start = 0, end = 0;
    std::uint16_t flags = 0;
    bool deleted() const { return (flags & RowDeleted) != 0; }
    bool overflow() const { return (flags & RowOverflow) != 0 && !deleted(); }
};

class Checker {
public:
    Checker(const std::string& path, bool as_found)
        : db_(Database::open(path, as_found ? PageFile::Access::AsFound : PageFile::Access::ReadOnly)),
          file_(&db_->file()), f_(file_->format()) {
        report_.path = path;
    }

    CheckReport run();

private:
    std::shared_ptr<Database> db_;
    const PageFile* file_;
    const Format& f_;
    std::uint32_t pages_ = 0;
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
    void check_table(const CatalogEntry& entry);
    std::optional<std::set<std::uint32_t>> claim_map(std::uint32_t map, const std::string& who, std::uint8_t type,
                                                     std::uint32_t owner);
    void check_long_value(const FieldRef& field, const std::set<std::uint32_t>* pages, const std::string& who);
    void check_rows(const TableDef& table, const std::set<std::uint32_t>& owned, const std::string& who);

    // The steps of check_rows.
    using LongValuePages = std::map<std::uint16_t, std::optional<std::set<std::uint32_t>>>;
    using TableRow = std::pair<RowId, std::vector<Value>>;
    struct TableRows {
        std::vector<TableRow> rows;             // decoded, in table order
        std::set<std::uint32_t> moved_rows;     // flagged as the new place of a moved row
        std::set<std::uint32_t> move_targets;   // pointed to by a moved row
        bool has_autonumber = false;
        std::uint32_t max_autonumber = 0;       // the highest positive value stored
        bool has_complex_key = false;           // the same for the keys of complex columns (ACE)
        std::uint32_t max_complex_key = 0;
    };
    LongValuePages claim_long_value_maps(const TableDef& table, const std::string& who);
    TableRows read_rows(const TableDef& table, const std::set<std::uint32_t>& owned, const LongValuePages& lv_pages,
                        const std::string& who);
    std::optional<Bytes> live_row(const std::set<std::uint32_t>& owned, std::uint32_t p, const Slot& slot,
                                  TableRows& found, const std::string& who, const std::string& row_who);
    std::optional<std::vector<Value>> decode_row(const TableDef& table, const RowDecoder& decoder, RowId id,
                                                 const Bytes& bytes, const LongValuePages& lv_pages,
                                                 const std::string& row_who);
    void check_moved_rows(const TableRows& found, const std::string& who);
    void check_counters(const TableDef& table, const TableRows& found, const std::string& who);
    void check_index(const TableDef& table, const RealIndex& index, const std::vector<TableRow>& rows);

    std::set<std::uint32_t> long_value_rows_;  // LVAL rows already referenced by some value
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
    if (type == AnyIndexPage ? (b[0] != kIndexNodePage && b[0] != kIndexLeafPage) : b[0] != type)
        problem("{}: page {} has type {}, expected {}", who, n, b[0], type == AnyIndexPage ? "an index page" : fmt::to_string(type));
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

// A table's (or index's, or long-value column's) usage map and the pages it lists.
std::optional<std::set<std::uint32_t>> Checker::claim_map(std::uint32_t map, const std::string& who,
                                                          std::uint8_t type, std::uint32_t owner) {
    auto pages = decode_map(map, who + " usage map");
    if (pages)
        for (std::uint32_t p : *pages) claim(p, who, type, owner);
    return pages;
}

// A Memo/OLE field: its header, and every long-value row it leads to lies in the column's
// own pages, is referenced once, and together they hold exactly the stated length.
void Checker::check_long_value(const FieldRef& field, const std::set<std::uint32_t>* pages, const std::string& who) {
    if (field.size < kLongValueHeaderSize) {
        problem("{}: the field is {} bytes, shorter than a long-value header", who, field.size);
        return;
    }
    const std::uint32_t word = get_u32(Bytes(field.data, field.data + 4), 0);
    const std::uint32_t length = word & 0x3FFFFFFF;
    const auto kind = static_cast<std::uint8_t>(word >> 24 & 0xC0);
    if (kind == long_value_kind::Inline) {
        if (length > field.size - kLongValueHeaderSize)
            problem("{}: inline long value of {} bytes holds only {}", who, length, field.size - kLongValueHeaderSize);
        return;
    }
    std::uint32_t pointer = get_u32(Bytes(field.data + 4, field.data + 8), 0);
    std::uint32_t remaining = length;
    for (std::size_t hop = 0;; ++hop) {
        if (remaining == 0 && (kind == long_value_kind::SingleRow || pointer == 0)) return;
        if (pointer == 0) {
            problem("{}: long-value chain ends with {} of {} bytes missing", who, remaining, length);
            return;
        }
        const RowId id = RowId::from_u32(pointer);
        const std::string where = fmt::format("{} (long-value row {} of page {})", who, id.row, id.page);
        if (pages && !pages->count(id.page)) {
            problem("{}: page {} is not one of the column's long-value pages", where, id.page);
            return;
        }
        if (!long_value_rows_.insert(pointer).second) {
            problem("{}: the row is already used by another value, or the chain loops", where);
            return;
        }
        auto row = row_at(pointer, where);
        if (!row) return;
        if (get_u32(page(id.page), 4) != LvalOwner) {
            problem("{}: page {} is not a long-value page", where, id.page);
            return;
        }
        if (kind == long_value_kind::SingleRow) {
            if (row->size() < length) problem("{}: holds {} of {} bytes", where, row->size(), length);
            return;
        }
        if (row->size() < 4) {
            problem("{}: a chain row of {} bytes has no room for its pointer", where, row->size());
            return;
        }
        remaining -= std::min<std::uint32_t>(remaining, static_cast<std::uint32_t>(row->size() - 4));
        pointer = get_u32(*row, 0);
        if (remaining == 0 && pointer != 0) {
            problem("{}: the chain goes on after all {} bytes", where, length);
            return;
        }
    }
}

// Rows of the table's data pages: offsets, moved rows, decoding, long values and autonumbers;
// then the row count and every index against the rows.
// The LVAL pages of each Memo/OLE column's owned map (nullopt when it has none or it is damaged).
Checker::LongValuePages Checker::claim_long_value_maps(const TableDef& table, const std::string& who) {
    LongValuePages lv_pages;
    for (const LongValueMaps& lv : table.long_value_maps) {
        const Column* col = table.column_by_number(lv.column_number);
        const std::string lv_who =
            fmt::format("{} column '{}' long values", who, col ? col->name : std::to_string(lv.column_number));
        // Access leaves a map pointer zero when the column has no such map.
        auto pages = lv.owned_map ? claim_map(lv.owned_map, lv_who, DataPageType, LvalOwner) : std::nullopt;
        auto free = lv.free_map ? decode_map(lv.free_map, lv_who + " free-space map") : std::nullopt;
        if (free && pages)
            for (std::uint32_t p : *free)
                if (!pages->count(p)) problem("{}: free-space map lists page {}, which it does not own", lv_who, p);
        lv_pages[lv.column_number] = std::move(pages);
    }
    return lv_pages;
}

// The bytes of a live row, read where its move pointer leads for a moved row; nullopt when the
// pointer is wrong (reported).
std::optional<Bytes> Checker::live_row(const std::set<std::uint32_t>& owned, std::uint32_t p, const Slot& slot,
                                       TableRows& found, const std::string& who, const std::string& row_who) {
    Bytes bytes(page(p).begin() + slot.start, page(p).begin() + slot.end);
    if (!slot.overflow()) return bytes;
    if (bytes.size() < 4) {
        problem("{}: a moved row's pointer is {} bytes long", row_who, bytes.size());
        return std::nullopt;
    }
    const std::uint32_t target = get_u32(bytes, 0);
    const RowId to = RowId::from_u32(target);
    if (!owned.count(to.page)) {
        problem("{}: moved to page {}, which the table does not own", row_who, to.page);
        return std::nullopt;
    }
    auto ts = slots(to.page, who);
    if (!ts) return std::nullopt;
    if (to.row >= ts->size() || ((*ts)[to.row].flags & (RowDeleted | RowOverflow)) != RowDeleted) {
        problem("{}: moved to row {} of page {}, which is not a moved row's new place", row_who, to.row, to.page);
        return std::nullopt;
    }
    if (!found.move_targets.insert(target).second) {
        problem("{}: moved to row {} of page {}, where another row moved too", row_who, to.row, to.page);
        return std::nullopt;
    }
    const Slot& t = (*ts)[to.row];
    bytes.assign(page(to.page).begin() + t.start, page(to.page).begin() + t.end);
    return bytes;
}

// A row's values, its long values checked against their columns' maps on the way; nullopt when
// the row does not decode (reported).
std::optional<std::vector<Value>> Checker::decode_row(const TableDef& table, const RowDecoder& decoder, RowId id,
                                                      const Bytes& bytes, const LongValuePages& lv_pages,
                                                      const std::string& row_who) {
    std::vector<FieldRef> fields;
    std::vector<Value> values;
    try {
        decoder.split(bytes.data(), bytes.size(), id, fields);
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const Column& col = table.columns[c];
            if (!is_long_value(col.type) || !fields[c].data) continue;
            auto it = lv_pages.find(col.number);
            const std::set<std::uint32_t>* allowed = it != lv_pages.end() && it->second ? &*it->second : nullptr;
            check_long_value(fields[c], allowed, fmt::format("{} column '{}'", row_who, col.name));
        }
        decoder.decode(bytes.data(), bytes.size(), id, values);
    } catch (const JetError& e) {
        problem("{}: {}", row_who, e.description());
        return std::nullopt;
    }
    return values;
}

// Every live row of the table's data pages, in table order.
Checker::TableRows Checker::read_rows(const TableDef& table, const std::set<std::uint32_t>& owned,
                                      const LongValuePages& lv_pages, const std::string& who) {
    TableRows found;
    const RowDecoder decoder(*file_, table);
    for (std::uint32_t p : owned) {
        if (!in_file(p) || page(p)[0] != DataPageType) continue;  // already reported by claim()
        auto s = slots(p, who);
        if (!s) continue;
        for (std::size_t i = 0; i < s->size(); ++i) {
            const Slot& slot = (*s)[i];
            const RowId id{p, static_cast<std::uint8_t>(i)};
            if ((slot.flags & (RowDeleted | RowOverflow)) == RowDeleted) found.moved_rows.insert(id.to_u32());
            if (slot.deleted()) continue;
            const std::string row_who = fmt::format("{} row {} of page {}", who, i, p);
            const std::optional<Bytes> bytes = live_row(owned, p, slot, found, who, row_who);
            if (!bytes) continue;
            std::optional<std::vector<Value>> values = decode_row(table, decoder, id, *bytes, lv_pages, row_who);
            if (!values) continue;
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                const Column& col = table.columns[c];
                const bool complex = col.type == ColumnType::Complex;
                if (!(col.flags & column_flags::AutoLong) || (*values)[c].kind() != ValueKind::Long) continue;
                (complex ? found.has_complex_key : found.has_autonumber) = true;
                // A value stored explicitly may be negative; only positive ones move the counter.
                std::uint32_t& highest = complex ? found.max_complex_key : found.max_autonumber;
                if ((*values)[c].as_int32() > 0)
                    highest = std::max(highest, static_cast<std::uint32_t>((*values)[c].as_int32()));
            }
            found.rows.emplace_back(id, std::move(*values));
        }
    }
    return found;
}

// mdbtools and mdb-reader read a moved row where it now is, not through its pointer: a moved
// row that nothing points to any more would be a record to them.
void Checker::check_moved_rows(const TableRows& found, const std::string& who) {
    std::vector<std::uint32_t> orphans;
    std::set_difference(found.moved_rows.begin(), found.moved_rows.end(), found.move_targets.begin(),
                        found.move_targets.end(), std::back_inserter(orphans));
    if (!orphans.empty())
        problem("{}: {} row(s) are flagged as the new place of a moved row but no row points to them, first row {} of "
                "page {} (mdbtools and mdb-reader read them as records; a superseded copy must be deleted)",
                who, orphans.size(), orphans.front() & 0xFF, orphans.front() >> 8);
}

// The definition's row count and autonumber counter against the rows found.
void Checker::check_counters(const TableDef& table, const TableRows& found, const std::string& who) {
    if (found.rows.size() != table.row_count) {
        // Access itself leaves the counts of its system tables behind (MSysACEs in Access 2000
        // files); a user table's count is what readers report, so it must be exact.
        if (table.table_type == SystemTable)
            note("{}: its definition counts {} rows, its pages hold {} (a system table; Access does not keep "
                 "this count exact)",
                 who, table.row_count, found.rows.size());
        else if (f_.ace && std::any_of(table.columns.begin(), table.columns.end(),
                                       [](const Column& c) { return c.is_calculated(); }))
            // Access 2010 was seen to leave the count of a table with calculated columns behind;
            // every other count, ours included, must be exact.
            note("{}: its definition counts {} rows, its pages hold {} (Access left the count of a table with "
                 "calculated columns behind)", who, table.row_count, found.rows.size());
        else
            problem("{}: its definition counts {} rows, its pages hold {}", who, table.row_count, found.rows.size());
    }
    if (found.has_autonumber && found.max_autonumber > table.last_autonumber)
        problem("{}: the autonumber counter is {}, below the stored value {}", who, table.last_autonumber,
                found.max_autonumber);
    if (found.has_complex_key && found.max_complex_key > table.last_complex_key)
        problem("{}: the counter of complex-column keys is {}, below the stored key {}", who, table.last_complex_key,
                found.max_complex_key);
}

// One index's tree and entries against the table's rows.
void Checker::check_index(const TableDef& table, const RealIndex& index, const std::vector<TableRow>& rows) {
    const std::string index_who = index_description(*file_, table, index);
    std::vector<std::string> found;
    std::size_t unencodable = 0;
    for (const auto& [id, values] : rows) {
        try {
            encode_index_key(f_, table, index, values);
        } catch (const JetError&) {
            ++unencodable;
        }
    }
    if (unencodable)
        note("{}: {} row(s) have keys this engine does not encode (a sort order or type it does not write); their "
             "entries were checked for order only",
             index_who, unencodable);
    try {
        found = verify_index(*file_, table, index, rows);
    } catch (const JetError& e) {
        found.push_back(e.description());
    }
    for (std::size_t i = 0; i < found.size() && i < MaxIndexProblems; ++i) {
        if (found[i].find(index_who) != std::string::npos)
            report_.problems.push_back(found[i]);
        else
            problem("{}: {}", index_who, found[i]);
    }
    if (found.size() > MaxIndexProblems) problem("{}: {} more problems", index_who, found.size() - MaxIndexProblems);
}

void Checker::check_rows(const TableDef& table, const std::set<std::uint32_t>& owned, const std::string& who) {
    const LongValuePages lv_pages = claim_long_value_maps(table, who);
    const TableRows found = read_rows(table, owned, lv_pages, who);
    check_moved_rows(found, who);
    check_counters(table, found, who);
    for (const RealIndex& index : table.real_indexes) check_index(table, index, found.rows);
    report_.checked.push_back(fmt::format("table '{}': {} rows in {} data pages, {} index(es), autonumber {}",
                                          table.name, found.rows.size(), owned.size(), table.real_indexes.size(),
                                          found.has_autonumber ? std::to_string(table.last_autonumber) : "none"));
}

void Checker::check_table(const CatalogEntry& entry) {
    const std::string who = fmt::format("table '{}'", entry.name);
    TableDef table;
    try {
        table = *db_->table_def_at(entry.tdef_page(), entry.name);
    } catch (const JetError& e) {
        problem("{}: its definition at page {} cannot be read: {}", who, entry.tdef_page(), e.description());
        return;
    }
    for (std::uint32_t p : table.tdef_pages) claim(p, who + " definition", 0x02, std::nullopt);
    auto owned = claim_map(table.owned_map, who, DataPageType, table.tdef_page);
    if (auto free = decode_map(table.free_map, who + " free-space map"); free && owned)
        for (std::uint32_t p : *free)
            if (!owned->count(p)) problem("{}: free-space map lists page {}, which the table does not own", who, p);
    for (const RealIndex& index : table.real_indexes) {
        const std::string index_who = index_description(*file_, table, index);
        auto pages = claim_map(index.usage_map, index_who, AnyIndexPage, table.tdef_page);
        if (pages && !pages->count(index.root_page))
            problem("{}: its root page {} is not in its usage map", index_who, index.root_page);
    }
    if (owned) check_rows(table, *owned, who);
}

CheckReport Checker::run() {
    // A writer of ours holds this lock exclusively for each statement: we see none half done.
    StatementScope scope(db_->file(), StatementLock::Mode::Shared);
    if (!file_->recovery_note().empty()) report_.notes.push_back(file_->recovery_note());
    pages_ = file_->page_count();
    claims_[0] = "the database header";
    read_global_map();
    std::vector<CatalogEntry> catalog;
    try {
        catalog = db_->catalog();
    } catch (const JetError& e) {
        problem("the catalog (MSysObjects) cannot be read: {}", e.description());
    }
    for (const CatalogEntry& entry : catalog)
        if (entry.is_table()) check_table(entry);
    check_global_map();
    return report_;
}

}  // namespace

CheckReport check_database(const std::string& path, bool as_found) { return Checker(path, as_found).run(); }

}  // namespace jet
