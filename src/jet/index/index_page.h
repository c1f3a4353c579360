// One index page (B-tree node 0x03 or leaf 0x04) in memory, and its exact on-disk form:
// header, entry bitmap, entries with prefix compression. Parsing checks everything it relies
// on and names the page and index in its errors; it never reads outside the page.
// PackedPage keeps the entries back to back in one buffer (what the tree code edits, cheap
// to parse and change); IndexPage holds them one by one for callers that build pages.
#pragma once

#include "jet/schema/table_def.h"
#include "jet/storage/format.h"
#include "jet/value/value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

struct IndexEntry {
    Bytes key;                 // flag and value bytes of every key column
    RowId row;                 // the row's header location (node pages: of the child's last entry)
    std::uint32_t child = 0;   // node pages: the page this entry leads to
};

using KeyView = std::span<const std::uint8_t>;

// Key bytes unsigned-lexicographically (a proper prefix first), then row id.
int compare_keys(KeyView a, KeyView b);
int compare_entries(const IndexEntry& a, const IndexEntry& b);
bool starts_with(KeyView key, KeyView prefix);

inline constexpr std::uint8_t kIndexNodePage = 0x03;
inline constexpr std::uint8_t kIndexLeafPage = 0x04;

struct IndexPage {
    std::uint32_t number = 0;
    bool leaf = true;
    std::uint32_t owner = 0;   // tdef page of the table
    std::uint32_t prev = 0, next = 0;
    std::uint32_t tail = 0;    // node pages with two or more children: the last child, not in entries
    std::vector<IndexEntry> entries;
};

class PackedPage {
public:
    std::uint32_t number = 0;
    bool leaf = true;
    std::uint32_t owner = 0;
    std::uint32_t prev = 0, next = 0, tail = 0;

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    KeyView key(std::size_t i) const;
    RowId row(std::size_t i) const;
    std::uint32_t child(std::size_t i) const;
    IndexEntry entry(std::size_t i) const;
    int compare(std::size_t i, const IndexEntry& e) const;       // entry i against e
    int compare_adjacent(std::size_t i) const;                  // entry i - 1 against entry i
    std::size_t lower_bound(const IndexEntry& e, std::size_t count) const;   // first of `count` entries not below e

    void insert(std::size_t i, const IndexEntry& e);
    void erase(std::size_t i);
    void replace(std::size_t i, const IndexEntry& e);
    void set_child(std::size_t i, std::uint32_t child);
    // Moves the first n entries to `to` (which must be empty).
    void move_front(std::size_t n, PackedPage& to);

    // Bytes the first `count` entries occupy after prefix compression, and the prefix used.
    std::size_t entry_space(const Format& format, std::size_t count) const;
    std::size_t shared_prefix(const Format& format, std::size_t count) const;
    // The page with its first `count` entries (node pages: the tail is the `tail` field).
    Bytes serialise(const Format& format, std::size_t count) const;
    // For a leaf that differs from the one serialised as `before` only by its entry `position`:
    // the same bytes serialise() gives, made by moving `before`'s later entries up. nullopt
    // when that cannot be done (the first entry, a changed shared prefix, an overflow).
    std::optional<Bytes> serialise_insert(const Format& format, Bytes before, std::size_t position) const;

    // Heap bytes held (for caches that bound their memory).
    std::size_t footprint() const { return data_.capacity() + ends_.capacity() * sizeof(std::uint32_t); }

    bool operator==(const PackedPage&) const = default;

private:
    friend PackedPage parse_packed_page(const Format&, std::uint32_t, const Bytes&, const std::string&);
    std::size_t begin(std::size_t i) const { return i == 0 ? 0 : ends_[i - 1]; }
    std::size_t trailer() const { return leaf ? 4 : 8; }
    Bytes data_;                      // whole entries: key, page (3 bytes BE), row, [child 4 bytes BE]
    std::vector<std::uint32_t> ends_; // end of each entry in data_
};

// `where` names the index and table for messages ("index 'PK' of table 'T'").
PackedPage parse_packed_page(const Format& format, std::uint32_t number, const Bytes& bytes, const std::string& where);
IndexPage parse_index_page(const Format& format, std::uint32_t number, const Bytes& bytes, const std::string& where);
// Only the last entry of a page, without checking the rest; nullopt when there is none to read.
std::optional<IndexEntry> last_page_entry(const Format& format, const Bytes& bytes);

// Bytes the entries occupy after prefix compression (must not exceed index_max_entry_space).
std::size_t index_entry_space(const Format& format, const IndexPage& page);
Bytes serialise_index_page(const Format& format, const IndexPage& page);

}  // namespace jet
