// Opening a database, the catalog, table definitions and table properties (each reused only
// while the bytes it was parsed from are unchanged) and row scans with moved and deleted rows
// handled.
#include "jet/database.h"

#include "jet/base/error.h"
#include "jet/rows/row_decode.h"
#include "jet/schema/names.h"
#include "jet/storage/usage_map.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fmt/format.h>

namespace jet {
namespace {

constexpr int kMaxMoves = 8;  // a moved row is re-pointed from its header row, so chains stay short

[[noreturn]] void no_such_table(std::string_view name) {
    throw JetError(err::TableNotFound,
                   fmt::format("The Microsoft Jet database engine cannot find the input table or query '{}'. Make "
                               "sure it exists and that its name is spelled correctly.", name));
}

}  // namespace

std::shared_ptr<Database> Database::open(const std::string& path, PageFile::Access access) {
    std::unique_ptr<PageFile> file = PageFile::open(path, access);
    const HeaderInfo info = read_header(path, file->fd());
    std::shared_ptr<Database> db(new Database(std::move(file), info));
    if (access == PageFile::Access::ReadWrite) db->lock_file_ = LockFile::acquire(path);
    return db;
}

Database::Database(std::unique_ptr<PageFile> file, const HeaderInfo& header)
    : file_(std::move(file)), header_(header) {}

TableDefPtr Database::table_def_at(std::uint32_t tdef_page, const std::string& name) {
    const std::uint64_t serial = file_->view_serial();
    auto it = defs_.find(tdef_page);
    if (it != defs_.end() && it->second.def->name == name) {
        CachedDef& cached = it->second;
        if (serial != 0 && cached.checked == serial) return cached.def;
        bool counters_moved = false;
        if (tdef_unchanged_but_counters(*file_, cached.stream, cached.def->real_indexes.size(), counters_moved)) {
            if (counters_moved && cached.def.use_count() == 1) {
                // Nobody else holds it: updated in place (it was made non-const, see below).
                read_counters(format(), cached.stream, const_cast<TableDef&>(*cached.def));
            } else if (counters_moved) {   // holders of the old definition keep theirs
                auto updated = std::make_shared<TableDef>(*cached.def);
                read_counters(format(), cached.stream, *updated);
                cached.def = std::move(updated);
            }
            cached.checked = serial;
            return cached.def;
        }
    }
    TdefStream stream = read_tdef_stream(*file_, tdef_page, name);
    auto parsed = std::make_shared<TableDef>(parse_table_def(stream, format(), name, path(), header_.code_page));
    if (std::any_of(parsed->columns.begin(), parsed->columns.end(), [](const Column& c) { return c.is_calculated(); }))
        apply_result_types(*parsed, properties(name));
    TableDefPtr def = std::move(parsed);
    defs_[tdef_page] = CachedDef{std::move(stream), def, serial};
    return def;
}

std::vector<std::uint32_t> Database::data_pages(const TableDef& table) {
    return read_usage_map(*file_, table.owned_map, table.name);
}

bool Database::locate_row(const TableDef& table, RowId id, Bytes& buffer, const std::uint8_t*& row, std::size_t& size) {
    for (int hop = 0; hop <= kMaxMoves; ++hop) {
        if (id.page == 0) {
            if (hop == 0) return false;
            throw JetError(err::CorruptDatabase,
                           fmt::format("A moved row of table '{}' in '{}' points to page 0.", table.name, path()));
        }
        const PageSpan page = read_page_span(*file_, id.page, buffer);  // 3049 naming the page past the end
        if (page[0] != DataPageType || data_page_owner_of(page) != table.tdef_page) return false;
        const std::optional<RowBounds> b = checked_row(format(), page, id.row);
        if (!b) return false;
        const bool deleted = (b->flags & row_flags::Deleted) != 0;
        if (hop == 0 && deleted) return false;
        // A move target carries the deleted flag so that scans skip it; read it where it is.
        if (!(b->flags & row_flags::Overflow) || deleted) {
            row = page.data() + b->start;
            size = b->length();
            return true;
        }
        if (b->length() < 4)
            throw JetError(err::CorruptDatabase, fmt::format("Row {} on page {} of table '{}' in '{}' is damaged: its "
                                                             "move pointer is cut off.", id.row, id.page, table.name, path()));
        const std::uint8_t* p = page.data() + b->start;
        id = RowId{get_u24(p + 1), p[0]};
    }
    throw JetError(err::CorruptDatabase,
                   fmt::format("A moved row of table '{}' in '{}' leads through more than {} moves.", table.name, path(),
                               kMaxMoves));
}

template <typename Visit>
void Database::scan_raw(const TableDef& table, Visit&& visit) {
    StatementScope scope(*file_, StatementLock::Mode::Shared);
    Bytes buffer, moved;
    const std::uint32_t page_count = file_->page_count();
    for (std::uint32_t page_number : data_pages(table)) {
        if (page_number >= page_count)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Page {} is listed as a data page of table '{}' in '{}' but lies outside the file.",
                                       page_number, table.name, path()));
        const PageSpan page = read_page_span(*file_, page_number, buffer);
        if (page[0] != DataPageType || data_page_owner_of(page) != table.tdef_page)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Page {} of '{}' is listed as a data page of table '{}' but is not one "
                                       "(type {}, owner {}).", page_number, path(), table.name, page[0],
                                       data_page_owner_of(page)));
        const std::uint32_t rows = data_page_rows(format(), page);
        for (std::uint32_t r = 0; r < rows && r < 256; ++r) {
            const std::optional<RowBounds> b = checked_row(format(), page, r);
            if (!b)
                throw JetError(err::CorruptDatabase,
                               fmt::format("The row offsets of page {} of table '{}' in '{}' are damaged (row {}).",
                                           page_number, table.name, path(), r));
            if (b->flags & row_flags::Deleted) continue;  // deleted, or the target of a moved row
            const RowId id{page_number, static_cast<std::uint8_t>(r)};
            if (b->flags & row_flags::Overflow) {
                const std::uint8_t* row = nullptr;
                std::size_t size = 0;
                if (!locate_row(table, id, moved, row, size)) continue;
                if (!visit(id, row, size)) return;
            } else if (!visit(id, page.data() + b->start, b->length())) {
                return;
            }
        }
    }
}

void Database::scan(const TableDef& table, const RowVisitor& visit, const std::vector<bool>* wanted,
                    const RowFilter* keep) {
    RowDecoder decoder(*file_, table);
    std::vector<Value> values;
    scan_raw(table, [&](RowId id, const std::uint8_t* row, std::size_t size) {
        if (keep && !(*keep)(row, size)) return true;
        decoder.decode(row, size, id, values, wanted);
        return visit(id, values);
    });
}

std::vector<RowId> Database::row_ids(const TableDef& table) {
    std::vector<RowId> ids;
    scan_raw(table, [&](RowId id, const std::uint8_t*, std::size_t) {
        ids.push_back(id);
        return true;
    });
    return ids;
}

std::uint32_t Database::count_rows(const TableDef& table) {
    return static_cast<std::uint32_t>(row_ids(table).size());
}

bool Database::read_row(const TableDef& table, RowId id, std::vector<Value>& out, const std::vector<bool>* wanted) {
    Bytes buffer;
    const std::uint8_t* row = nullptr;
    std::size_t size = 0;
    if (!locate_row(table, id, buffer, row, size)) return false;
    RowDecoder(*file_, table).decode(row, size, id, out, wanted);
    return true;
}

std::size_t Database::NameHash::operator()(std::string_view name) const {
    std::size_t h = 14695981039346656037ull;
    for (char c : name) {
        const auto folded = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        h = (h ^ folded) * 1099511628211ull;  // FNV-1a over the ASCII-folded name
    }
    return h;
}

bool Database::NameEqual::operator()(std::string_view a, std::string_view b) const { return names_equal(a, b); }

bool Database::catalog_unchanged(const CachedCatalog& cached) {
    if (!tdef_stream_unchanged(*file_, cached.stream) || data_pages(cached.def) != cached.page_numbers) return false;
    const std::uint32_t page_count = file_->page_count();
    Bytes buffer;
    for (std::size_t i = 0; i < cached.page_numbers.size(); ++i) {
        if (cached.page_numbers[i] >= page_count) return false;
        const PageSpan page = read_page_span(*file_, cached.page_numbers[i], buffer);
        if (std::memcmp(page.data(), cached.pages[i].data(), page.size()) != 0) return false;
    }
    return true;
}

const Database::CachedCatalog& Database::fresh_catalog() {
    const std::uint64_t serial = file_->view_serial();
    if (catalog_ && serial != 0 && catalog_checked_ == serial) return *catalog_;
    if (catalog_ && catalog_unchanged(*catalog_)) {
        catalog_checked_ = serial;   // only once the check passed: a failed one is made again
        return *catalog_;
    }
    catalog_.reset();
    CachedCatalog c;
    c.stream = read_tdef_stream(*file_, kCatalogTdefPage, kCatalogTable);
    c.def = parse_table_def(c.stream, format(), kCatalogTable, path(), header_.code_page);
    c.page_numbers = data_pages(c.def);
    const std::uint32_t page_count = file_->page_count();
    for (std::uint32_t p : c.page_numbers)
        if (p < page_count) c.pages.push_back(file_->read_page(p));  // scan_raw refuses the others

    RowDecoder decoder(*file_, c.def);
    std::vector<FieldRef> fields;
    std::vector<Value> values(c.def.columns.size());
    const char* wanted[] = {"Id", "ParentId", "Name", "Type", "Flags"};
    scan_raw(c.def, [&](RowId id, const std::uint8_t* row, std::size_t size) {
        decoder.split(row, size, id, fields);
        for (const char* name : wanted)
            if (const Column* col = c.def.find_column(name)) {
                const auto k = static_cast<std::size_t>(col - c.def.columns.data());
                values[k] = decoder.value(*col, fields[k], id);
            }
        c.entries.push_back(catalog_entry(c.def, id, values));
        return true;
    });
    for (std::size_t i = 0; i < c.entries.size(); ++i)
        if (c.entries[i].is_table()) c.tables.emplace(c.entries[i].name, i);  // the first of a name stays
    catalog_ = std::move(c);
    catalog_checked_ = serial;
    return *catalog_;
}

std::vector<CatalogEntry> Database::catalog() { return fresh_catalog().entries; }

std::vector<CatalogEntry> Database::tables() {
    std::vector<CatalogEntry> out;
    for (const CatalogEntry& e : fresh_catalog().entries)
        if (e.is_user_table()) out.push_back(e);
    return out;
}

const CatalogEntry& Database::table_entry(std::string_view name) {
    const CachedCatalog& c = fresh_catalog();
    const auto it = c.tables.find(name);
    if (it == c.tables.end()) no_such_table(name);
    return c.entries[it->second];
}

std::optional<CatalogEntry> Database::find_table(std::string_view name) {
    const CachedCatalog& c = fresh_catalog();
    const auto it = c.tables.find(name);
    if (it == c.tables.end()) return std::nullopt;
    return c.entries[it->second];
}

TableDefPtr Database::table_def(std::string_view name) {
    const CatalogEntry& entry = table_entry(name);
    return table_def_at(entry.tdef_page(), entry.name);
}

const TableProperties& Database::properties(std::string_view name) {
    const CatalogEntry& entry = table_entry(name);
    const TableDef& def = catalog_->def;
    CachedProperties& cached = properties_[entry.tdef_page()];
    const std::uint64_t serial = file_->view_serial();
    if (serial != 0 && cached.checked == serial) return cached.parsed;
    const Column* lvprop = def.find_column("LvProp");
    Bytes buffer;
    const std::uint8_t* row = nullptr;
    std::size_t size = 0;
    Value blob = Value::binary({});
    if (lvprop && locate_row(def, entry.row, buffer, row, size)) {
        RowDecoder decoder(*file_, def);
        std::vector<FieldRef> fields;
        decoder.split(row, size, entry.row, fields);
        blob = decoder.value(*lvprop, fields[static_cast<std::size_t>(lvprop - def.columns.data())], entry.row);
        if (blob.kind() != ValueKind::Binary) blob = Value::binary({});
    }
    if (blob.as_binary() != cached.blob) {
        cached.parsed = parse_properties(format(), blob.as_binary(), header_.code_page,
                                         fmt::format("table '{}' in '{}'", entry.name, path()));
        cached.blob = blob.as_binary();
        cached.rules.reset();
    }
    cached.checked = serial;
    return cached.parsed;
}

std::shared_ptr<const std::vector<ColumnRules>> Database::column_rules(const TableDef& table) {
    const TableProperties& parsed = properties(table.name);
    CachedProperties& cached = properties_[table_entry(table.name).tdef_page()];
    const bool same_columns = cached.rules_columns.size() == table.columns.size() &&
                              std::equal(table.columns.begin(), table.columns.end(), cached.rules_columns.begin(),
                                         [](const Column& c, const std::string& name) { return c.name == name; });
    if (!cached.rules || !same_columns) {
        cached.rules = std::make_shared<const std::vector<ColumnRules>>(jet::column_rules(table, parsed));
        cached.rules_columns.clear();
        for (const Column& c : table.columns) cached.rules_columns.push_back(c.name);
    }
    return cached.rules;
}

}  // namespace jet
