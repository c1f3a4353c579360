// A table definition as the tdef pages store it: columns, real and logical indexes,
// usage-map references, row count and autonumber counter. Parsing lives in table_def.cpp;
// the writer serialises the same structure back (never a partially updated copy).
#pragma once

#include "jet/storage/format.h"
#include "jet/storage/page_rows.h"
#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

namespace column_flags {
inline constexpr std::uint8_t Fixed = 0x01;
inline constexpr std::uint8_t Nullable = 0x02;     // "updatable"; set on every ordinary column
inline constexpr std::uint8_t AutoLong = 0x04;
inline constexpr std::uint8_t System = 0x10;
inline constexpr std::uint8_t AutoGuid = 0x40;
inline constexpr std::uint8_t Hyperlink = 0x80;
}
namespace column_ext_flags {
inline constexpr std::uint8_t CompressedUnicode = 0x01;
inline constexpr std::uint8_t Calculated = 0xC0;   // Access 2010+: the stored result of an expression
}

struct Column {
    std::string name;                // UTF-8
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;        // stable id, bit in the null mask
    std::uint16_t var_index = 0;     // slot in the row's variable-offset table
    std::uint16_t fixed_offset = 0;  // in the fixed area, after the row's column count
    std::uint16_t length = 0;        // bytes (Text: Jet4 2 per character)
    std::uint8_t flags = 0;
    std::uint8_t ext_flags = 0;      // Jet4 only
    std::uint16_t sort_order = 0x0409;  // text: LCID of the collation
    std::uint8_t sort_version = 0;      // Jet4 text: 0 General Legacy, 1 General
    std::uint16_t code_page = 0;        // Jet3 text
    std::uint8_t precision = 0, scale = 0;  // Decimal
    std::uint32_t complex_id = 0;       // ACE complex column: its ComplexID in MSysComplexColumns
    // Raw descriptor bytes we do not interpret, kept so a rewrite preserves them.
    std::uint16_t misc = 0;             // Jet4 "column number again" / Jet3 +5

    bool is_fixed() const { return (flags & column_flags::Fixed) != 0; }
    // Complex columns carry the autonumber flag too, but draw their keys from a counter of their own.
    bool is_autonumber() const {
        return type != ColumnType::Complex && (flags & (column_flags::AutoLong | column_flags::AutoGuid)) != 0;
    }
    bool is_compressed_unicode() const { return (ext_flags & column_ext_flags::CompressedUnicode) != 0; }
    bool is_calculated() const { return (ext_flags & column_ext_flags::Calculated) != 0; }
};

namespace index_flags {
inline constexpr std::uint8_t Unique = 0x01;
inline constexpr std::uint8_t IgnoreNulls = 0x02;
inline constexpr std::uint8_t Required = 0x08;
}

struct IndexColumn {
    std::uint16_t column_number = 0;
    bool ascending = true;
};

// The B-tree itself ("index data"); several logical indexes may share one.
struct RealIndex {
    std::uint32_t number = 0;               // position among the real indexes
    std::vector<IndexColumn> columns;       // up to 10
    std::uint32_t usage_map = 0;            // row pointer of the usage map of its pages
    std::uint32_t root_page = 0;
    std::uint8_t flags = 0;
    std::uint32_t unique_key_count = 0;     // statistics block before the columns

    bool unique() const { return (flags & index_flags::Unique) != 0; }
    bool ignore_nulls() const { return (flags & index_flags::IgnoreNulls) != 0; }
    bool required() const { return (flags & index_flags::Required) != 0; }
};

enum class LogicalIndexType : std::uint8_t { Normal = 0, Primary = 1, Foreign = 2 };

struct LogicalIndex {
    std::string name;
    std::uint32_t number = 0;
    std::uint32_t real_index = 0;           // which RealIndex backs it
    LogicalIndexType type = LogicalIndexType::Normal;
    // Foreign-key fields, kept so a rewrite preserves them.
    std::uint8_t fk_table_type = 0;
    std::int32_t fk_index = -1;
    std::uint32_t fk_table_page = 0;
    std::uint8_t fk_cascade_updates = 0, fk_cascade_deletes = 0;
};

struct LongValueMaps {                      // usage maps of one Memo/OLE column's LVAL pages
    std::uint16_t column_number = 0;
    std::uint32_t owned_map = 0;
    std::uint32_t free_map = 0;
};

// ACE: where a tdef keeps the last key given to the values of its complex columns (all share it).
inline constexpr std::size_t kTdefComplexKeyOffset = 28;

struct TableDef;
// Definitions are shared: the database keeps each one parsed while its bytes stand.
using TableDefPtr = std::shared_ptr<const TableDef>;

struct TableDef {
    std::string name;                       // from the catalog, for messages
    std::uint32_t tdef_page = 0;
    std::vector<std::uint32_t> tdef_pages;  // first page and continuation pages
    std::uint32_t row_count = 0;
    std::uint32_t last_autonumber = 0;
    std::uint32_t last_complex_key = 0;     // ACE: the last key given to a complex column's values
    std::uint8_t table_type = 0x4E;         // 'N' user, 'S' system
    std::uint16_t max_columns = 0;          // including deleted columns
    std::uint16_t var_columns = 0;
    std::vector<Column> columns;            // sorted by column number
    std::vector<RealIndex> real_indexes;
    std::vector<LogicalIndex> logical_indexes;
    std::uint32_t owned_map = 0;            // row pointers of the table's usage maps
    std::uint32_t free_map = 0;
    std::vector<LongValueMaps> long_value_maps;

    const Column* find_column(std::string_view name) const;        // case-insensitive
    const Column* column_by_number(std::uint16_t number) const;
    std::uint32_t fixed_area_size() const;  // bytes of the fixed area of a row
};

class PageFile;

// The raw bytes of a table definition: the first page whole, then each continuation page
// without its 8-byte header. Compared byte for byte to decide whether a parsed definition
// is still current.
struct TdefStream {
    std::vector<std::uint32_t> pages;
    Bytes bytes;
    bool operator==(const TdefStream&) const = default;
};

// Reads the tdef page chain starting at first_page (3049 naming the table and page when a
// page is not a tdef page, lies outside the file or is linked twice).
TdefStream read_tdef_stream(const PageFile& file, std::uint32_t first_page, const std::string& table);
// True when the pages of `stream` still hold its bytes and link as they did (compared in place
// inside a statement scope).
bool tdef_stream_unchanged(const PageFile& file, const TdefStream& stream);
// The same, except for the counters that every append changes (row count, autonumber, index
// statistics of the table's `real_indexes`): when only those differ, they are taken into
// `stream`, `counters_moved` says whether any did, and the answer is true.
bool tdef_unchanged_but_counters(const PageFile& file, TdefStream& stream, std::size_t real_indexes,
                                 bool& counters_moved);
// The counters of `def` as `stream`, the stream it was parsed from, now holds them.
void read_counters(const Format& format, const TdefStream& stream, TableDef& def);
// Parses a stream; `code_page` decodes Jet 3 names and is the default of Jet 3 text columns.
TableDef parse_table_def(const TdefStream& stream, const Format& format, const std::string& table,
                         const std::string& path, std::uint16_t code_page);

}  // namespace jet
