// Opening a database, the catalog, table definitions (reused only while their tdef bytes
// are unchanged) and row scans with moved and deleted rows handled.
#include "database.h"

#include "error.h"
#include "names.h"
#include "file_header.h"
#include "row_codec.h"
#include "usage_map.h"

#include <cctype>
#include <fmt/format.h>

namespace jet {
namespace {


constexpr int kMaxMoves = 8;  // a moved row is re-pointed from its header row, so chains stay short

}  // namespace

std::shared_ptr<Database> Database::open(const std::string& path, PageFile::Access access) {
    std::unique_ptr<PageFile> file = PageFile::open(path, access);
    const HeaderInfo info = read_header(path, file->fd());
    std::shared_ptr<Database> db(new Database(std::move(file), info.code_page, info.sort_order));
    if (access == PageFile::Access::ReadWrite) db->lock_file_ = LockFile::acquire(path);
    return db;
}

Database::Database(std::unique_ptr<PageFile> file, std::uint16_t code_page, std::uint16_t sort_order)
    : file_(std::move(file)), code_page_(code_page), sort_order_(sort_order) {}

TableDef Database::table_def_at(std::uint32_t tdef_page, const std::string& name) {
    TdefStream stream = read_tdef_stream(*file_, tdef_page, name);
    auto it = defs_.find(tdef_page);
    if (it != defs_.end() && it->second.stream == stream && it->second.def.name == name) return it->second.def;
    TableDef def = parse_table_def(stream, format(), name, path(), code_page_);
    defs_[tdef_page] = CachedDef{std::move(stream), def};
    return def;
}

std::vector<std::uint32_t> Database::data_pages(const TableDef& table) {
    return read_usage_map(*file_, table.owned_map, fmt::format("table '{}'", table.name));
}

bool Database::locate_row(const TableDef& table, RowId id, Bytes& page, std::size_t& start, std::size_t& size) {
    for (int hop = 0; hop <= kMaxMoves; ++hop) {
        if (id.page == 0) {
            if (hop == 0) return false;
            throw JetError(err::CorruptDatabase,
                           fmt::format("A moved row of table '{}' in '{}' points to page 0.", table.name, path()));
        }
        page = file_->read_page(id.page);  // 3049 naming the page when it lies past the end
        if (page[0] != DataPageType || data_page_owner_of(page) != table.tdef_page) return false;
        const std::optional<RowBounds> b = checked_row(format(), page, id.row);
        if (!b) return false;
        const bool deleted = (b->flags & row_flags::Deleted) != 0;
        if (hop == 0 && deleted) return false;
        // A move target carries the deleted flag so that scans skip it; read it where it is.
        if (!(b->flags & row_flags::Overflow) || deleted) {
            start = b->start;
            size = b->length();
            return true;
        }
        if (b->length() < 4)
            throw JetError(err::CorruptDatabase, fmt::format("Row {} on page {} of table '{}' in '{}' is damaged: its "
                                                             "move pointer is cut off.", id.row, id.page, table.name, path()));
        const std::uint8_t* p = page.data() + b->start;
        id = RowId{static_cast<std::uint32_t>(p[1] | p[2] << 8 | p[3] << 16), p[0]};
    }
    throw JetError(err::CorruptDatabase,
                   fmt::format("A moved row of table '{}' in '{}' leads through more than {} moves.", table.name, path(),
                               kMaxMoves));
}

void Database::scan_raw(const TableDef& table,
                        const std::function<bool(RowId, const std::uint8_t*, std::size_t)>& visit) {
    Bytes moved;
    const std::uint32_t page_count = file_->page_count();
    for (std::uint32_t page_number : data_pages(table)) {
        if (page_number >= page_count)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Page {} is listed as a data page of table '{}' in '{}' but lies outside the file.",
                                       page_number, table.name, path()));
        const Bytes page = file_->read_page(page_number);
        if (page[0] != DataPageType || data_page_owner_of(page) != table.tdef_page)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Page {} of '{}' is listed as a data page of table '{}' but is not one "
                                       "(type {}, owner {}).", page_number, path(), table.name, page[0],
                                       data_page_owner_of(page)));
        const std::uint32_t rows = data_page_row_count(page, format());
        for (std::uint32_t r = 0; r < rows && r < 256; ++r) {
            const std::optional<RowBounds> b = checked_row(format(), page, r);
            if (!b)
                throw JetError(err::CorruptDatabase,
                               fmt::format("The row offsets of page {} of table '{}' in '{}' are damaged (row {}).",
                                           page_number, table.name, path(), r));
            if (b->flags & row_flags::Deleted) continue;  // deleted, or the target of a moved row
            const RowId id{page_number, static_cast<std::uint8_t>(r)};
            if (b->flags & row_flags::Overflow) {
                std::size_t start = 0, size = 0;
                if (!locate_row(table, id, moved, start, size)) continue;
                if (!visit(id, moved.data() + start, size)) return;
            } else if (!visit(id, page.data() + b->start, b->length())) {
                return;
            }
        }
    }
}

void Database::scan(const TableDef& table, const RowVisitor& visit) {
    RowDecoder decoder(*file_, table);
    std::vector<Value> values;
    scan_raw(table, [&](RowId id, const std::uint8_t* row, std::size_t size) {
        decoder.decode(row, size, id, values);
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

bool Database::read_row(const TableDef& table, RowId id, std::vector<Value>& out) {
    Bytes page;
    std::size_t start = 0, size = 0;
    if (!locate_row(table, id, page, start, size)) return false;
    RowDecoder(*file_, table).decode(page.data() + start, size, id, out);
    return true;
}

std::vector<CatalogEntry> Database::catalog() {
    TdefStream stream = read_tdef_stream(*file_, kCatalogTdefPage, kCatalogTable);
    const TableDef def = catalog_ && catalog_->stream == stream
                             ? catalog_->def
                             : table_def_at(kCatalogTdefPage, kCatalogTable);
    std::vector<Bytes> pages;
    const std::uint32_t page_count = file_->page_count();
    for (std::uint32_t p : data_pages(def))
        if (p < page_count) pages.push_back(file_->read_page(p));
    if (catalog_ && catalog_->stream == stream && catalog_->pages == pages) return catalog_->entries;

    std::vector<CatalogEntry> entries;
    RowDecoder decoder(*file_, def);
    std::vector<FieldRef> fields;
    std::vector<Value> values(def.columns.size());
    const char* wanted[] = {"Id", "ParentId", "Name", "Type", "Flags"};
    scan_raw(def, [&](RowId id, const std::uint8_t* row, std::size_t size) {
        decoder.split(row, size, id, fields);
        for (const char* name : wanted)
            if (const Column* c = def.find_column(name)) {
                const auto k = static_cast<std::size_t>(c - def.columns.data());
                values[k] = decoder.value(*c, fields[k], id);
            }
        entries.push_back(catalog_entry(def, id, values));
        return true;
    });
    catalog_ = CachedCatalog{std::move(stream), def, std::move(pages), entries};
    return entries;
}

std::vector<CatalogEntry> Database::tables() {
    std::vector<CatalogEntry> out;
    for (CatalogEntry& e : catalog())
        if (e.is_user_table()) out.push_back(std::move(e));
    return out;
}

std::optional<CatalogEntry> Database::find_table(std::string_view name) {
    for (CatalogEntry& e : catalog())
        if (e.is_table() && names_equal(e.name, name)) return std::move(e);
    return std::nullopt;
}

TableDef Database::table_def(std::string_view name) {
    const std::optional<CatalogEntry> entry = find_table(name);
    if (!entry)
        throw JetError(err::TableNotFound,
                       fmt::format("The Microsoft Jet database engine cannot find the input table or query '{}'. Make "
                                   "sure it exists and that its name is spelled correctly.", name));
    return table_def_at(entry->tdef_page(), entry->name);
}

TableProperties Database::properties(std::string_view name) {
    const std::optional<CatalogEntry> entry = find_table(name);
    if (!entry)
        throw JetError(err::TableNotFound,
                       fmt::format("The Microsoft Jet database engine cannot find the input table or query '{}'. Make "
                                   "sure it exists and that its name is spelled correctly.", name));
    const TableDef def = table_def_at(kCatalogTdefPage, kCatalogTable);
    const Column* lvprop = def.find_column("LvProp");
    if (!lvprop) return {};
    Bytes page;
    std::size_t start = 0, size = 0;
    if (!locate_row(def, entry->row, page, start, size)) return {};
    RowDecoder decoder(*file_, def);
    std::vector<FieldRef> fields;
    decoder.split(page.data() + start, size, entry->row, fields);
    const Value blob = decoder.value(*lvprop, fields[static_cast<std::size_t>(lvprop - def.columns.data())], entry->row);
    if (blob.kind() != ValueKind::Binary) return {};
    return parse_properties(format(), blob.as_binary(), code_page_,
                            fmt::format("table '{}' in '{}'", entry->name, path()));
}

}  // namespace jet
