// jet::Database: an open Jet file with its catalog, table definitions and row scans.
// Nothing is trusted across statements: a statement re-reads the pages it depends on and
// reuses a parsed catalog, table definition or property set only when the bytes it was
// parsed from are unchanged, since another program may write the file between two of our
// statements. Within one statement scope such a check is made once (until a commit).
#pragma once

#include "jet/schema/catalog.h"
#include "jet/schema/column_rules.h"
#include "jet/schema/properties.h"
#include "jet/schema/table_def.h"
#include "jet/storage/file_header.h"
#include "jet/storage/lock_file.h"
#include "jet/storage/page_file.h"
#include "jet/value/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace jet {

class Database {
public:
    // 3024 when the file does not exist; refusals of file_header.h.
    static std::shared_ptr<Database> open(const std::string& path,
                                          PageFile::Access access = PageFile::Access::ReadOnly);

    PageFile& file() { return *file_; }
    const PageFile& file() const { return *file_; }
    const Format& format() const { return file_->format(); }
    const std::string& path() const { return file_->path(); }
    std::uint16_t code_page() const { return header_.code_page; }    // of Jet 3 text
    std::uint16_t sort_order() const { return header_.sort_order; }
    std::uint8_t sort_version() const { return header_.sort_version; }
    std::uint8_t version() const { return header_.version; }   // the header's version byte
    std::string version_name() const { return jet::version_name(header_.version); }

    // Every MSysObjects row, in table order.
    std::vector<CatalogEntry> catalog();
    // User tables, in catalog order.
    std::vector<CatalogEntry> tables();
    // Any table (system tables included) by name, case-insensitive.
    std::optional<CatalogEntry> find_table(std::string_view name);

    // 3078 "The Microsoft Jet database engine cannot find the input table or query ..."
    // Shared with the cache; a definition never changes once given out.
    TableDefPtr table_def(std::string_view name);
    TableDefPtr table_def_at(std::uint32_t tdef_page, const std::string& name);

    // Table, column and property maps from the table's LvProp (empty when it has none); 3078 as
    // table_def. Valid until the next call for the same table.
    const TableProperties& properties(std::string_view table);

    // What the column properties of `table` (as table_def gave it) make the engine enforce,
    // by position in its columns; reused while its properties and columns are unchanged.
    std::shared_ptr<const std::vector<ColumnRules>> column_rules(const TableDef& table);

    // The table's data pages (its owned usage map), ascending.
    std::vector<std::uint32_t> data_pages(const TableDef& table);

    // Rows in table order: data pages ascending, rows by slot, deleted rows and moved-row
    // targets skipped, moved rows read where they now are. `visit` returns false to stop.
    // The whole scan is one read statement (StatementScope), so it sees no write of ours half
    // done and reads the pages in place.
    using RowVisitor = std::function<bool(RowId, const std::vector<Value>&)>;
    // With `wanted`, only the columns it marks are decoded (the others are Null). With `keep`,
    // rows it refuses (given their stored bytes) are passed over without being decoded.
    using RowFilter = std::function<bool(const std::uint8_t* row, std::size_t size)>;
    void scan(const TableDef& table, const RowVisitor& visit, const std::vector<bool>* wanted = nullptr,
              const RowFilter* keep = nullptr);
    std::vector<RowId> row_ids(const TableDef& table);
    std::uint32_t count_rows(const TableDef& table);

    // The row `id` (a header row id, as indexes hold them), following an overflow pointer;
    // false when the slot holds no live row.
    // With `wanted`, only the columns it marks are decoded (the others are Null).
    bool read_row(const TableDef& table, RowId id, std::vector<Value>& out, const std::vector<bool>* wanted = nullptr);

private:
    Database(std::unique_ptr<PageFile> file, const HeaderInfo& header);

    // Folded-case hashing, so that a table is found by name in one lookup.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // The parsed catalog with the bytes it came from: its definition and every data page.
    struct CachedCatalog {
        TdefStream stream;
        TableDef def;
        std::vector<std::uint32_t> page_numbers;
        std::vector<Bytes> pages;
        std::vector<CatalogEntry> entries;
        std::unordered_map<std::string, std::size_t, NameHash, NameEqual> tables;  // first table entry by name
    };
    // The cached catalog after checking its bytes against the file, parsed afresh when they differ.
    const CachedCatalog& fresh_catalog();
    bool catalog_unchanged(const CachedCatalog& cached);
    const CatalogEntry& table_entry(std::string_view name);  // 3078 when there is none

    // Calls visit(id, row bytes, row size) for every live row of the table in table order.
    template <typename Visit>
    void scan_raw(const TableDef& table, Visit&& visit);
    // The bytes of the live row `id` after following moves, in place or within `buffer`;
    // false when there is none.
    bool locate_row(const TableDef& table, RowId id, Bytes& buffer, const std::uint8_t*& row, std::size_t& size);

    std::unique_ptr<PageFile> file_;
    std::unique_ptr<LockFile> lock_file_;   // held while open for writing, as Jet keeps the .ldb (.laccdb)
    HeaderInfo header_;

    // Each cache remembers the file's view serial it was last checked under (page_file.h): within
    // one statement scope and between commits a check is not repeated.
    struct CachedDef {
        TdefStream stream;
        TableDefPtr def;
        std::uint64_t checked = 0;
    };
    std::unordered_map<std::uint32_t, CachedDef> defs_;
    std::optional<CachedCatalog> catalog_;
    std::uint64_t catalog_checked_ = 0;
    struct CachedProperties {
        Bytes blob;
        TableProperties parsed;
        std::uint64_t checked = 0;
        // Derived from `parsed` for the columns named in `rules_columns` (null when not yet).
        std::shared_ptr<const std::vector<ColumnRules>> rules;
        std::vector<std::string> rules_columns;
    };
    std::unordered_map<std::uint32_t, CachedProperties> properties_;  // by tdef page
};

}  // namespace jet
