// B-tree walking, seeking and editing. Node pages in an IndexEdit hold every child with the key
// of its subtree's last entry, the tail child included; the stored form drops the tail child
// from the entries (it goes to the header) whenever a node has two or more children. A tail
// child's key is read from its subtree only when it has to be stored: most edits never need it.
#include "jet/index/index.h"

#include "jet/base/error.h"
#include "jet/index/index_page_cache.h"
#include "jet/storage/usage_map_write.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace jet {

namespace {

constexpr int kMaxDepth = 32;                      // far beyond any real tree; a deeper one loops
constexpr std::uint32_t kFirstPlaceholder = 0xF0000000;   // page numbers of pages not yet allocated

const char* const kDuplicateText =
    "The changes you requested to the table were not successful because they would create duplicate values in "
    "the index, primary key, or relationship. Change the data in the field or fields that contain duplicate "
    "data, remove the index, or redefine the index to permit duplicate entries and try again.";

std::string row_text(RowId r) { return std::to_string(r.page) + ":" + std::to_string(r.row); }

bool backs_primary_key(const TableDef& table, const RealIndex& index) {
    return std::any_of(table.logical_indexes.begin(), table.logical_indexes.end(), [&](const LogicalIndex& l) {
        return l.real_index == index.number && l.type == LogicalIndexType::Primary;
    });
}

[[noreturn]] void damaged(const std::string& where, std::uint32_t page, const std::string& what) {
    throw JetError(err::CorruptDatabase, "Index page " + std::to_string(page) + " of " + where + " is damaged: " + what + ".");
}

[[noreturn]] void not_in_file(const std::string& where, std::uint32_t number) {
    throw JetError(err::CorruptDatabase, "The " + where + " names page " + std::to_string(number) +
                                             ", which is not in the file.");
}

[[noreturn]] void foreign(const std::string& where, std::uint32_t number, std::uint32_t owner) {
    damaged(where, number, "it belongs to the table at page " + std::to_string(owner));
}

IndexPage read_index_page(const PageFile& file, const TableDef& table, std::uint32_t number, const std::string& where) {
    if (number == 0 || number >= file.page_count()) not_in_file(where, number);
    IndexPage p = parse_index_page(file.format(), number, file.read_page(number), where);
    if (p.owner != table.tdef_page) foreign(where, number, p.owner);
    return p;
}

// First i in [0, n) with !pred(i), for a predicate true on a prefix of the range.
template <typename Pred>
std::size_t partition(std::size_t n, Pred pred) {
    std::size_t lo = 0, hi = n;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (pred(mid)) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

}  // namespace

std::string index_description(const PageFile& file, const TableDef& table, const RealIndex& index) {
    std::string name = "#" + std::to_string(index.number);
    for (const LogicalIndex& l : table.logical_indexes)
        if (l.real_index == index.number) {
            name = l.name;
            break;
        }
    return "index '" + name + "' of table '" + table.name + "' in file '" + file.path() + "'";
}

// ---- reading ----

IndexCursor::IndexCursor(const PageFile& file, const TableDef& table, const RealIndex& index, KeyRange range)
    : file_(file), table_(table), index_(index), range_(std::move(range)) {}

const std::string& IndexCursor::where() const {
    if (where_.empty()) where_ = index_description(file_, table_, index_);
    return where_;
}

std::shared_ptr<const PackedPage> IndexCursor::read(std::uint32_t number) const {
    if (number == 0 || number >= file_.page_count()) not_in_file(where(), number);
    Bytes buffer;
    const PageSpan bytes = read_page_span(file_, number, buffer);
    IndexPageCache& cache = IndexPageCache::local();
    std::shared_ptr<const PackedPage> p = cache.find(file_.format(), number, bytes);
    if (!p) {
        if (buffer.empty()) buffer.assign(bytes.begin(), bytes.end());
        PackedPage parsed = parse_packed_page(file_.format(), number, buffer, where());
        p = cache.keep(file_.format(), number, std::move(buffer), std::move(parsed));
    }
    if (p->owner != table_.tdef_page) foreign(where(), number, p->owner);
    return p;
}

bool IndexCursor::below_lower(KeyView key) const {
    if (!range_.lower) return false;
    const int c = compare_keys(key, range_.lower->key);
    return c < 0 || (!range_.lower->inclusive && starts_with(key, range_.lower->key));
}

bool IndexCursor::above_upper(KeyView key) const {
    if (!range_.upper) return false;
    const int c = compare_keys(key, range_.upper->key);
    return range_.upper->inclusive ? c > 0 && !starts_with(key, range_.upper->key) : c >= 0;
}

void IndexCursor::start() {
    std::uint32_t number = index_.root_page;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged(where(), number, "the tree does not end (its pages form a cycle)");
        std::shared_ptr<const PackedPage> page = read(number);
        const PackedPage& p = *page;
        if (p.leaf) {
            leaf_ = std::move(page);
            break;
        }
        // The first child whose last entry is in range holds the first entry in range.
        const std::size_t slot = partition(p.size(), [&](std::size_t i) { return below_lower(p.key(i)); });
        std::uint32_t child = slot < p.size() ? p.child(slot) : p.tail;
        if (child == 0 && !p.empty()) child = p.child(p.size() - 1);
        if (child == 0) damaged(where(), number, "a node page without children");
        number = child;
    }
    position_ = partition(leaf_->size(), [&](std::size_t i) { return below_lower(leaf_->key(i)); });
}

bool IndexCursor::next() {
    if (done_) return false;
    if (!started_) {
        start();
        started_ = true;
    } else {
        ++position_;
    }
    for (;;) {
        if (position_ < leaf_->size()) {
            const KeyView key = leaf_->key(position_);
            if (below_lower(key)) {
                ++position_;
                continue;
            }
            if (above_upper(key)) break;
            entry_.key.assign(key.begin(), key.end());
            entry_.row = leaf_->row(position_);
            return true;
        }
        const std::uint32_t next = leaf_->next;
        if (next == 0) break;
        if (visited_.empty()) visited_.insert(leaf_->number);
        if (!visited_.insert(next).second)
            damaged(where(), leaf_->number, "the leaf chain loops back to page " + std::to_string(next));
        std::shared_ptr<const PackedPage> p = read(next);
        if (!p->leaf) damaged(where(), leaf_->number, "the leaf chain leads to node page " + std::to_string(next));
        leaf_ = std::move(p);
        position_ = 0;
    }
    done_ = true;
    return false;
}

std::vector<RowId> index_rows(const PageFile& file, const TableDef& table, const RealIndex& index, KeyRange range) {
    std::vector<RowId> rows;
    IndexCursor cursor(file, table, index, std::move(range));
    while (cursor.next()) rows.push_back(cursor.row());
    return rows;
}

// ---- editing ----

IndexEdit::IndexEdit(PageFile& file, const TableDef& table, const RealIndex& index)
    : file_(file), table_(table), index_(index), next_placeholder_(kFirstPlaceholder) {}

const std::string& IndexEdit::where() const {
    if (where_.empty()) where_ = index_description(file_, table_, index_);
    return where_;
}

void IndexEdit::corrupt(std::uint32_t page, const std::string& what) const { damaged(where(), page, what); }

IndexEntry IndexEdit::last_entry_below(std::uint32_t child, int depth) {
    for (std::uint32_t number = child;; ++depth) {
        if (depth > kMaxDepth) corrupt(number, "the tree does not end (its pages form a cycle)");
        if (auto it = pages_.find(number); it != pages_.end()) {
            const Page& p = it->second;
            if (p.page.empty()) corrupt(number, "an empty page inside the tree");
            if (!p.tail_known) {
                number = p.page.child(p.page.size() - 1);
                continue;
            }
            return p.page.entry(p.page.size() - 1);
        }
        if (number == 0 || number >= file_.page_count()) corrupt(number, "a child page beyond the end of the file");
        const Bytes bytes = file_.read_page(number);
        const std::uint32_t tail = get_u32(bytes, file_.format().index_tail_offset);
        if (bytes[0] == kIndexNodePage && tail != 0) {
            number = tail;
            continue;
        }
        const std::optional<IndexEntry> last = last_page_entry(file_.format(), bytes);
        if (!last) corrupt(number, "an empty or unreadable page inside the tree");
        return *last;
    }
}

void IndexEdit::learn_tail(Page& p) {
    if (p.tail_known) return;
    const std::size_t last = p.page.size() - 1;
    IndexEntry tail = last_entry_below(p.page.child(last), 0);
    tail.child = p.page.child(last);
    if (last > 0 && p.page.compare(last - 1, tail) >= 0)
        corrupt(p.page.number, "the tail page's entries do not follow the page's other children");
    p.page.replace(last, tail);
    p.tail_known = true;
}

IndexEdit::Page& IndexEdit::load(std::uint32_t number, int level) {
    auto it = pages_.find(number);
    if (it == pages_.end()) {
        Page p;
        if (number == 0 || number >= file_.page_count()) not_in_file(where(), number);
        Bytes buffer;
        const PageSpan bytes = read_page_span(file_, number, buffer);
        // Taken from the cache: commit() keeps every page of the edit again.
        if (std::optional<IndexPageCache::Taken> kept = IndexPageCache::local().take(file_.format(), number, bytes)) {
            p.page = std::move(kept->page);
            p.read = std::move(kept->bytes);
        } else {
            p.read.assign(bytes.begin(), bytes.end());
            p.page = parse_packed_page(file_.format(), number, p.read, where());
        }
        if (p.page.owner != table_.tdef_page) foreign(where(), number, p.page.owner);
        p.level = -1;
        p.read_tail = p.page.tail != 0;
        if (!p.page.leaf && p.page.tail != 0) {
            p.page.insert(p.page.size(), IndexEntry{{}, RowId{}, p.page.tail});
            p.page.tail = 0;
            p.tail_known = false;
        }
        if (!p.page.leaf && p.page.empty()) corrupt(number, "a node page without children");
        it = pages_.emplace(number, std::move(p)).first;
    }
    Page& p = it->second;
    if (level >= 0) {
        if (p.level >= 0 && p.level != level) corrupt(number, "it sits at two depths of the tree");
        if ((level == 0) != p.page.leaf) corrupt(number, "leaf and node pages are mixed within one level");
        p.level = level;
    }
    return p;
}

IndexEdit::Page& IndexEdit::create(bool leaf, int level) {
    Page p;
    p.page.number = next_placeholder_++;
    p.page.leaf = leaf;
    p.page.owner = table_.tdef_page;
    p.level = level;
    p.is_new = true;
    p.links_only = false;
    dirty_.insert(p.page.number);
    return pages_.emplace(p.page.number, std::move(p)).first->second;
}

void IndexEdit::touch(Page& p, bool links_only) {
    dirty_.insert(p.page.number);
    p.read_current = false;
    if (!links_only) p.links_only = false;
}

std::vector<IndexEdit::Step> IndexEdit::descend(const IndexEntry& target) {
    std::vector<Step> path;
    std::uint32_t number = index_.root_page;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) corrupt(number, "the tree does not end (its pages form a cycle)");
        const Page& p = load(number, -1);
        if (p.page.leaf) {
            path.push_back({number, p.page.lower_bound(target, p.page.size())});
            break;
        }
        // The last child takes every key beyond the others (its own key may be unknown).
        path.push_back({number, p.page.lower_bound(target, p.page.size() - 1)});
        number = p.page.child(path.back().slot);
    }
    for (std::size_t i = 0; i < path.size(); ++i) load(path[i].page, static_cast<int>(path.size() - 1 - i));
    return path;
}

void IndexEdit::propagate_last(std::vector<Step>& path, std::size_t depth) {
    for (std::size_t d = depth; d > 0; --d) {
        const Page& child = pages_.at(path[d].page);
        if (child.page.empty()) break;
        const IndexEntry last = child.page.entry(child.page.size() - 1);
        Page& parent = pages_.at(path[d - 1].page);
        const std::size_t slot = path[d - 1].slot;
        const bool is_last = slot + 1 == parent.page.size();
        if ((!is_last || parent.tail_known) && parent.page.compare(slot, last) == 0) break;
        parent.page.replace(slot, last);
        if (is_last) parent.tail_known = true;
        // The tail child's key is not stored; the page changes only when the entry is explicit.
        if (!is_last || parent.page.size() == 1) touch(parent);
        if (!is_last) break;
    }
}

std::size_t IndexEdit::stored_count(const Page& p) {
    const std::size_t n = p.page.size();
    return !p.page.leaf && n >= 2 ? n - 1 : n;
}

bool IndexEdit::overflows(const Page& p) const {
    const Format& f = file_.format();
    return p.page.entry_space(f, stored_count(p)) > f.index_max_entry_space;
}

void IndexEdit::settle(std::vector<std::uint32_t> ancestors, std::uint32_t number) {
    if (!overflows(pages_.at(number))) return;
    if (ancestors.empty()) {
        // The root keeps its page number: its entries move to a new child below it.
        learn_tail(pages_.at(number));
        Page& child = create(pages_.at(number).page.leaf, pages_.at(number).level);
        Page& root = pages_.at(number);
        root.page.move_front(root.page.size(), child.page);
        IndexEntry top = child.page.entry(child.page.size() - 1);
        top.child = child.page.number;
        root.page.leaf = false;
        root.page.insert(0, top);
        root.level += 1;
        touch(root);
        settle({number}, child.page.number);
        return;
    }
    const std::uint32_t parent = ancestors.back();
    split(number, parent);
    const std::uint32_t added = pages_.at(number).page.prev;
    settle(ancestors, added);
    settle(ancestors, number);
    ancestors.pop_back();
    settle(ancestors, parent);
}

// Moves the first half of a page's entries to a new page linked in before it.
void IndexEdit::split(std::uint32_t number, std::uint32_t parent_number) {
    const int level = pages_.at(number).level;
    Page& added = create(pages_.at(number).page.leaf, level);
    Page& p = pages_.at(number);
    p.page.move_front((p.page.size() + 1) / 2, added.page);
    added.page.prev = p.page.prev;
    added.page.next = number;
    if (p.page.prev != 0) {
        Page& before = load(p.page.prev, level);
        before.page.next = added.page.number;
        touch(before, true);
    }
    p.page.prev = added.page.number;
    touch(p);

    Page& parent = pages_.at(parent_number);
    std::size_t slot = 0;
    while (slot < parent.page.size() && parent.page.child(slot) != number) ++slot;
    if (slot == parent.page.size()) corrupt(parent_number, "it does not list its child page " + std::to_string(number));
    IndexEntry entry = added.page.entry(added.page.size() - 1);
    entry.child = added.page.number;
    parent.page.insert(slot, entry);
    touch(parent);
}

std::optional<KeyView> IndexEdit::neighbour(std::uint32_t leaf, std::size_t position, bool before) {
    const PackedPage& page = pages_.at(leaf).page;
    if (before && position > 0) return page.key(position - 1);
    if (!before && position < page.size()) return page.key(position);
    std::uint32_t number = before ? page.prev : page.next;
    for (int hops = 0; number != 0; ++hops) {
        if (hops > kMaxDepth * 64) corrupt(number, "the leaf chain does not end");
        const PackedPage& p = load(number, 0).page;
        if (!p.empty()) return p.key(before ? p.size() - 1 : 0);
        number = before ? p.prev : p.next;
    }
    return std::nullopt;
}

bool IndexEdit::insert(const IndexKey& key, RowId row) {
    if (index_.ignore_nulls() && key.all_null) return false;
    if (key.any_null && (index_.required() || backs_primary_key(table_, index_)))
        throw JetError(err::NullInIndex, "Index or primary key cannot contain a Null value.");
    const IndexEntry entry{key.bytes, row, 0};
    // Node entries carry 4 more bytes; a split must leave at least one per page.
    if ((entry.key.size() + 8) * 2 > file_.format().index_max_entry_space)
        throw JetError(err::Unsupported, "The key of row " + row_text(row) + " is too long for the " + where() + ".");

    std::vector<Step> path = descend(entry);
    const std::uint32_t leaf = path.back().page;
    const std::size_t position = path.back().slot;
    if (position < pages_.at(leaf).page.size() && pages_.at(leaf).page.compare(position, entry) == 0)
        corrupt(leaf, "it already holds an entry for row " + row_text(row));
    const auto same = [&](std::optional<KeyView> k) { return k && compare_keys(*k, entry.key) == 0; };
    const bool fresh = !same(neighbour(leaf, position, true)) && !same(neighbour(leaf, position, false));
    if (!fresh && index_.unique() && !key.all_null) throw JetError(err::DuplicateKey, kDuplicateText);

    Page& target = pages_.at(leaf);
    const bool inserts_only = !target.is_new && (!dirty_.contains(leaf) || target.read_current);
    target.page.insert(position, entry);
    touch(target);
    if (inserts_only) {
        // The stored image takes each insert in place: commit need not lay the page out anew.
        std::optional<Bytes> image = target.page.serialise_insert(file_.format(), std::move(target.read), position);
        target.read_current = image.has_value();
        if (image) target.read = std::move(*image);
    }
    if (position + 1 == target.page.size()) propagate_last(path, path.size() - 1);
    std::vector<std::uint32_t> ancestors;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) ancestors.push_back(path[i].page);
    settle(ancestors, leaf);
    return fresh;
}

void IndexEdit::remove(const IndexKey& key, RowId row) {
    if (index_.ignore_nulls() && key.all_null) return;
    const IndexEntry entry{key.bytes, row, 0};
    std::vector<Step> path = descend(entry);
    Page& leaf = pages_.at(path.back().page);
    const std::size_t position = path.back().slot;
    if (position >= leaf.page.size() || leaf.page.compare(position, entry) != 0)
        throw JetError(err::CorruptDatabase, "The " + where() + " has no entry for row " + row_text(row) + ".");
    const bool was_last = position + 1 == leaf.page.size();
    leaf.page.erase(position);
    touch(leaf);
    if (leaf.page.empty() && path.size() > 1) unlink_empty(path, path.size() - 1);
    else if (was_last && !leaf.page.empty()) propagate_last(path, path.size() - 1);
}

// Takes an emptied page out of its level's chain and its parent; parents emptied in turn follow.
void IndexEdit::unlink_empty(std::vector<Step>& path, std::size_t depth) {
    const std::uint32_t number = path[depth].page;
    const Page& p = pages_.at(number);
    const std::uint32_t prev = p.page.prev, next = p.page.next;
    const int level = p.level;
    if (prev != 0) {
        Page& a = load(prev, level);
        a.page.next = next;
        touch(a, true);
    }
    if (next != 0) {
        Page& b = load(next, level);
        b.page.prev = prev;
        touch(b, true);
    }
    dirty_.erase(number);
    if (!pages_.at(number).is_new) released_.push_back(number);
    pages_.erase(number);

    Page& parent = pages_.at(path[depth - 1].page);
    const std::size_t slot = path[depth - 1].slot;
    const bool was_last = slot + 1 == parent.page.size();
    parent.page.erase(slot);
    if (was_last) parent.tail_known = true;
    touch(parent);
    if (parent.page.empty()) {
        if (depth - 1 == 0) {
            parent.page.leaf = true;   // an emptied root becomes an empty leaf
            parent.level = 0;
        } else {
            unlink_empty(path, depth - 1);
        }
    } else if (was_last) {
        propagate_last(path, depth - 1);
    }
}

void IndexEdit::commit() {
    commit(
        [this](const Bytes& content) {
            const std::uint32_t page = allocate_page(file_, content);
            usage_map_add(file_, index_.usage_map, page);
            return page;
        },
        [this](std::uint32_t page) { usage_map_remove(file_, index_.usage_map, page); });
}

void IndexEdit::commit(const IndexPageAllocator& allocate, const IndexPageReleaser& release) {
    // A node left with one child stores that child's key.
    for (std::uint32_t n : dirty_)
        if (Page& p = pages_.at(n); p.page.size() == 1) learn_tail(p);
    IndexPageCache& cache = IndexPageCache::local();
    for (PageWrite& w : page_writes(allocate_new_pages(allocate))) {
        file_.write_page(w.number, w.image);
        cache.keep(file_.format(), w.number, std::move(w.image), std::move(w.stored));
    }
    release_pages(release, cache);
    keep_read_pages(cache);
    pages_.clear();
    dirty_.clear();
    released_.clear();
}

std::map<std::uint32_t, std::uint32_t> IndexEdit::allocate_new_pages(const IndexPageAllocator& allocate) {
    std::map<std::uint32_t, std::uint32_t> numbers;
    PackedPage blank;
    blank.owner = table_.tdef_page;
    for (std::uint32_t n : dirty_)
        if (pages_.at(n).is_new) numbers[n] = allocate(blank.serialise(file_.format(), 0));
    return numbers;
}

// The changed pages with their final numbers, in the order of writing: new pages first
// (nothing points at them yet), then changed pages from the root down, then pages whose
// sibling links alone changed.
std::vector<IndexEdit::PageWrite> IndexEdit::page_writes(const std::map<std::uint32_t, std::uint32_t>& numbers) {
    const auto fix = [&](std::uint32_t v) {
        const auto it = numbers.find(v);
        return it == numbers.end() ? v : it->second;
    };
    std::vector<PageWrite> out;
    for (std::uint32_t n : dirty_) {
        Page& p = pages_.at(n);
        const std::size_t count = stored_count(p);
        PackedPage s = std::move(p.page);   // the edit ends here
        s.number = fix(n);
        s.owner = table_.tdef_page;
        s.prev = fix(s.prev);
        s.next = fix(s.next);
        s.tail = 0;
        if (!s.leaf) {
            for (std::size_t i = 0; i < s.size(); ++i) s.set_child(i, fix(s.child(i)));
            if (s.size() >= 2) s.tail = s.child(s.size() - 1);
        }
        const int rank = p.is_new ? 0 : (p.links_only ? 2 : 1);
        std::optional<Bytes> image;
        if (p.read_current) image = std::move(p.read);
        if (!image) image = s.serialise(file_.format(), count);
        if (s.tail != 0) s.erase(s.size() - 1);
        out.push_back({rank, p.level, s.number, std::move(*image), std::move(s)});
    }
    std::stable_sort(out.begin(), out.end(), [](const PageWrite& a, const PageWrite& b) {
        return std::tie(a.rank, b.level) < std::tie(b.rank, a.level);
    });
    return out;
}

// A released page leaves its usage map first and then gets type 0, so that no map names a
// page of type 0 should the write stop between the two.
void IndexEdit::release_pages(const IndexPageReleaser& release, IndexPageCache& cache) {
    for (std::uint32_t n : released_) {
        release(n);
        Bytes page = file_.read_page(n);
        std::fill(page.begin(), page.begin() + 4, 0);
        file_.write_page(n, page);
        cache.forget(file_.format(), n);
    }
}

// Pages only read go back to the cache as they were read (a tail child back to the header).
void IndexEdit::keep_read_pages(IndexPageCache& cache) {
    for (auto& [n, p] : pages_) {
        if (dirty_.contains(n) || p.read.empty()) continue;
        if (p.read_tail) {
            p.page.tail = p.page.child(p.page.size() - 1);
            p.page.erase(p.page.size() - 1);
        }
        cache.keep(file_.format(), n, std::move(p.read), std::move(p.page));
    }
}

// ---- verifying ----

namespace {

struct TreeWalk {
    const PageFile& file;
    const TableDef& table;
    const std::string& where;
    std::vector<std::string>& problems;
    std::set<std::uint32_t> seen;
    std::vector<IndexPage> leaves;   // in tree order
    int leaf_depth = -1;

    void problem(std::uint32_t page, const std::string& what) {
        problems.push_back("Index page " + std::to_string(page) + " of " + where + ": " + what + ".");
    }

    // Returns the last entry of the subtree.
    std::optional<IndexEntry> walk(std::uint32_t number, int depth, bool root) {
        if (depth > kMaxDepth) {
            problem(number, "the tree is deeper than any real index (a cycle?)");
            return std::nullopt;
        }
        if (!seen.insert(number).second) {
            problem(number, "reached twice from the root");
            return std::nullopt;
        }
        IndexPage p;
        try {
            p = read_index_page(file, table, number, where);
        } catch (const JetError& e) {
            problems.push_back(e.description());
            return std::nullopt;
        }
        if (p.leaf) {
            if (leaf_depth < 0) leaf_depth = depth;
            else if (leaf_depth != depth) problem(number, "leaves lie at different depths");
            if (p.entries.empty() && !root) problem(number, "an empty leaf inside the tree");
            std::optional<IndexEntry> last;
            if (!p.entries.empty()) last = p.entries.back();
            leaves.push_back(std::move(p));
            return last;
        }
        if (p.entries.empty() && p.tail == 0) {
            problem(number, "a node page without children");
            return std::nullopt;
        }
        std::optional<IndexEntry> last;
        for (const IndexEntry& e : p.entries) {
            const auto below = walk(e.child, depth + 1, false);
            if (below && (below->key != e.key || below->row != e.row))
                problem(number, "its entry for page " + std::to_string(e.child) + " differs from that page's last entry");
            last = e;
        }
        if (p.tail != 0) last = walk(p.tail, depth + 1, false);
        return last;
    }
};

bool null_only_key(const Bytes& key, std::size_t columns) {
    return key.size() == columns && std::all_of(key.begin(), key.end(), [](std::uint8_t b) { return b == 0x00 || b == 0xFF; });
}

}  // namespace

std::vector<std::string> verify_index(const PageFile& file, const TableDef& table, const RealIndex& index,
                                      std::vector<IndexEntry> expected, const std::set<RowId>& unchecked) {
    std::vector<std::string> problems;
    const std::string where = index_description(file, table, index);
    TreeWalk tree{file, table, where, problems, {}, {}, -1};
    tree.walk(index.root_page, 0, true);

    // The leaf chain must link the leaves in tree order, both ways.
    for (std::size_t i = 0; i < tree.leaves.size(); ++i) {
        const IndexPage& leaf = tree.leaves[i];
        const std::uint32_t prev = i > 0 ? tree.leaves[i - 1].number : 0;
        const std::uint32_t next = i + 1 < tree.leaves.size() ? tree.leaves[i + 1].number : 0;
        if (leaf.prev != prev)
            tree.problem(leaf.number, "its previous leaf is page " + std::to_string(leaf.prev) + ", the tree says " + std::to_string(prev));
        if (leaf.next != next)
            tree.problem(leaf.number, "its next leaf is page " + std::to_string(leaf.next) + ", the tree says " + std::to_string(next));
    }

    std::vector<IndexEntry> actual;
    for (const IndexPage& leaf : tree.leaves) {
        for (const IndexEntry& e : leaf.entries) {
            if (!actual.empty()) {
                const int c = compare_entries(actual.back(), e);
                if (c >= 0) tree.problem(leaf.number, "entries are not in increasing order across pages");
                else if (index.unique() && actual.back().key == e.key && !null_only_key(e.key, index.columns.size()))
                    tree.problem(leaf.number, "the unique index holds the same key twice (rows " + row_text(actual.back().row) +
                                                  " and " + row_text(e.row) + ")");
            }
            if (!unchecked.contains(e.row)) actual.push_back(e);
        }
    }

    const auto less = [](const IndexEntry& a, const IndexEntry& b) { return compare_entries(a, b) < 0; };
    std::sort(expected.begin(), expected.end(), less);
    std::sort(actual.begin(), actual.end(), less);
    std::vector<IndexEntry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(), std::back_inserter(missing), less);
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(), std::back_inserter(extra), less);
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < missing.size() && i < kShown; ++i)
        problems.push_back("The " + where + " has no entry for row " + row_text(missing[i].row) + ".");
    for (std::size_t i = 0; i < extra.size() && i < kShown; ++i)
        problems.push_back("The " + where + " has an entry for row " + row_text(extra[i].row) + " that no row of the table matches.");
    if (missing.size() + extra.size() > 2 * kShown)
        problems.push_back("The " + where + " disagrees with its table in " + std::to_string(missing.size()) +
                           " missing and " + std::to_string(extra.size()) + " surplus entries in all.");
    return problems;
}

std::vector<std::string> verify_index(const PageFile& file, const TableDef& table, const RealIndex& index,
                                      const std::vector<std::pair<RowId, std::vector<Value>>>& rows) {
    std::vector<IndexEntry> expected;
    std::set<RowId> unchecked;
    for (const auto& [row, values] : rows) {
        try {
            IndexKey key = encode_index_key(file.format(), table, index, values);
            if (index.ignore_nulls() && key.all_null) continue;
            expected.push_back({std::move(key.bytes), row, 0});
        } catch (const JetError&) {
            unchecked.insert(row);
        }
    }
    return verify_index(file, table, index, std::move(expected), unchecked);
}

}  // namespace jet
