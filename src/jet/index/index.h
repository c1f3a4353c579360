// Reading and changing one real index (a B-tree of index pages) of a table.
//  - IndexCursor walks entries in key order (the leaf chain is authoritative) within an
//    optional key range, yielding the row ids of header rows. Pages are read when needed;
//    their parsed form may come from IndexPageCache, which serves it only for identical bytes.
//  - IndexEdit gathers inserts and removals in memory (duplicates in a unique index are
//    refused there, error 3022) and writes nothing until commit(): new pages first, then the
//    pages that point at them (parents before children), so a crash leaves a usable tree.
//    Commit hands every page it read or wrote to IndexPageCache for the next statement.
//  - verify_index checks a tree's structure and compares its entries with the table's rows.
// Corrupt pages (wrong type or owner, bad entries, cycles in links) are errors naming the page,
// the index and the table.
#pragma once

#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/schema/table_def.h"
#include "jet/storage/page_file.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace jet {

// "index 'Name' of table 'T' in file 'path'" (the index named after its first logical index).
std::string index_description(const PageFile& file, const TableDef& table, const RealIndex& index);

// A bound on keys. The key may be a partial key (encode_key_prefix): an inclusive lower bound
// takes every entry starting with it, an exclusive one skips them; an inclusive upper bound
// keeps every entry starting with it, an exclusive one stops before them.
struct KeyBound {
    Bytes key;
    bool inclusive = true;
};
// E.g. Section = 1 And Table = 2 And Round > 3 on (Section, Table, Round):
// lower = {prefix(1, 2, 3), exclusive}, upper = {prefix(1, 2), inclusive}. Null keys sort
// first (ascending columns), so callers still test the condition on each row; a descending
// column inverts its bytes, so there "greater" is a bound from above.
struct KeyRange {
    std::optional<KeyBound> lower;
    std::optional<KeyBound> upper;
};

class IndexCursor {
public:
    IndexCursor(const PageFile& file, const TableDef& table, const RealIndex& index, KeyRange range = {});

    // Moves to the next entry in range; false at the end.
    bool next();
    RowId row() const { return entry_.row; }
    const Bytes& key() const { return entry_.key; }

private:
    std::shared_ptr<const PackedPage> read(std::uint32_t page) const;
    const std::string& where() const;
    bool below_lower(KeyView key) const;
    bool above_upper(KeyView key) const;
    void start();

    const PageFile& file_;
    const TableDef& table_;
    const RealIndex& index_;
    KeyRange range_;
    mutable std::string where_;   // for messages, made when first needed
    bool started_ = false, done_ = false;
    std::shared_ptr<const PackedPage> leaf_;   // shared with the page cache
    std::size_t position_ = 0;
    std::unordered_set<std::uint32_t> visited_;
    IndexEntry entry_;
};

// Every row id of the index in key order within the range.
std::vector<RowId> index_rows(const PageFile& file, const TableDef& table, const RealIndex& index,
                              KeyRange range = {});

class IndexPageCache;

// Gives a new page (already holding `content`, listed in the index's usage map) / takes one back.
using IndexPageAllocator = std::function<std::uint32_t(const Bytes& content)>;
using IndexPageReleaser = std::function<void(std::uint32_t page)>;

class IndexEdit {
public:
    IndexEdit(PageFile& file, const TableDef& table, const RealIndex& index);

    // Adds the entry of a row. Skips an all-Null key in an ignore-nulls index; refuses a Null in
    // a required or primary-key index (3058) and a key already present in a unique index (3022).
    // Returns true when no entry had this key before (the index's count of distinct keys grows).
    bool insert(const IndexKey& key, RowId row);
    // Removes the entry of a row (the key it was indexed under). An all-Null key of an
    // ignore-nulls index has no entry; any other missing entry is an error.
    void remove(const IndexKey& key, RowId row);

    bool changed() const { return !dirty_.empty(); }
    // Writes every changed page; the edit is empty again afterwards. Without arguments pages
    // come from usage_map_write; a released page gets type 0 and leaves the index's usage map (the
    // global map keeps it as used).
    void commit();
    void commit(const IndexPageAllocator& allocate, const IndexPageReleaser& release);

private:
    struct Page {
        PackedPage page;           // node pages: every child in entries, the tail child last
        int level = 0;             // 0 = leaf
        bool is_new = false;
        bool links_only = true;    // changed only in its sibling links
        bool tail_known = true;    // false: the tail child's key is not read yet (a placeholder)
        bool read_tail = false;    // read as a node page with a tail child
        Bytes read;                // the bytes it was read from (empty for new pages)
        bool read_current = false; // a leaf changed by inserts alone: `read` kept up to date
    };
    struct Step {
        std::uint32_t page;
        std::size_t slot;          // child slot taken (leaves: entry position)
    };
    // A changed page as commit() writes it.
    struct PageWrite {
        int rank, level;           // the order of writing
        std::uint32_t number;
        Bytes image;
        PackedPage stored;         // what reading the image back gives
    };

    Page& load(std::uint32_t number, int level);
    Page& create(bool leaf, int level);
    void touch(Page& p, bool links_only = false);
    IndexEntry last_entry_below(std::uint32_t child, int depth);
    void learn_tail(Page& p);
    std::vector<Step> descend(const IndexEntry& target);
    void propagate_last(std::vector<Step>& path, std::size_t depth);
    bool overflows(const Page& p) const;
    static std::size_t stored_count(const Page& p);
    void settle(std::vector<std::uint32_t> ancestors, std::uint32_t page);
    void split(std::uint32_t page, std::uint32_t parent);
    void unlink_empty(std::vector<Step>& path, std::size_t depth);
    std::optional<KeyView> neighbour(std::uint32_t leaf, std::size_t position, bool before);
    std::map<std::uint32_t, std::uint32_t> allocate_new_pages(const IndexPageAllocator& allocate);
    std::vector<PageWrite> page_writes(const std::map<std::uint32_t, std::uint32_t>& numbers);
    void release_pages(const IndexPageReleaser& release, IndexPageCache& cache);
    void keep_read_pages(IndexPageCache& cache);
    [[noreturn]] void corrupt(std::uint32_t page, const std::string& what) const;
    const std::string& where() const;

    PageFile& file_;
    const TableDef& table_;
    const RealIndex& index_;
    mutable std::string where_;   // for messages, made when first needed
    std::map<std::uint32_t, Page> pages_;
    std::set<std::uint32_t> dirty_;
    std::vector<std::uint32_t> released_;
    std::uint32_t next_placeholder_;
};

// The structure of the tree and its entries against the expected ones (key and row of every
// table row that belongs in the index; entries of `unchecked` rows are not compared). Returns
// the problems found, each naming the page or row; empty when all agree.
std::vector<std::string> verify_index(const PageFile& file, const TableDef& table, const RealIndex& index,
                                      std::vector<IndexEntry> expected, const std::set<RowId>& unchecked = {});
// Same, computing the expected entries from the rows (values by column position); rows whose
// key this engine cannot encode (characters beyond its collation tables) are left unchecked.
std::vector<std::string> verify_index(const PageFile& file, const TableDef& table, const RealIndex& index,
                                      const std::vector<std::pair<RowId, std::vector<Value>>>& rows);

}  // namespace jet
