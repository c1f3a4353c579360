// One index page (B-tree node 0x03 or leaf 0x04) as entries in memory, and its exact on-disk
// form: header, entry bitmap, entries with prefix compression. Parsing checks everything it
// relies on and names the page and index in its errors; it never reads outside the page.
#pragma once

#include "jet/format.h"
#include "jet/table_def.h"
#include "jet/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

struct IndexEntry {
    Bytes key;                 // flag and value bytes of every key column
    RowId row;                 // the row's header location (node pages: of the child's last entry)
    std::uint32_t child = 0;   // node pages: the page this entry leads to
};

// Key bytes unsigned-lexicographically (a proper prefix first), then row id.
int compare_entries(const IndexEntry& a, const IndexEntry& b);
int compare_keys(const Bytes& a, const Bytes& b);
bool starts_with(const Bytes& key, const Bytes& prefix);

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

// `where` names the index and table for messages ("index 'PK' of table 'T'").
IndexPage parse_index_page(const Format& format, std::uint32_t number, const Bytes& bytes, const std::string& where);

// Bytes the entries occupy after prefix compression (must not exceed index_max_entry_space).
std::size_t index_entry_space(const Format& format, const IndexPage& page);
Bytes serialise_index_page(const Format& format, const IndexPage& page);

}  // namespace jet
