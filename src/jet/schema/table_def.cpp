// Parsing of table definitions from their tdef pages. Every count and offset is checked
// against the bytes read, so a damaged definition is a JetError naming the table and the
// page where the damage lies, never a read outside the buffer.
#include "jet/schema/table_def.h"

#include "jet/base/error.h"
#include "jet/schema/names.h"
#include "jet/storage/page_file.h"
#include "jet/value/text_codec.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fmt/format.h>

namespace jet {
namespace {

constexpr std::uint8_t kTdefPageType = 0x02;

std::uint32_t next_tdef_page(PageSpan page) { return get_u32(page.data() + 4); }

// A damaged definition is reported with the table, the file and the page the offset lies on
// (the first page whole, then each continuation page without its 8-byte header).
struct StreamDamage {
    const TdefStream& stream;
    const std::string& table;
    const std::string& path;
    std::uint32_t page_size;

    std::string operator()(std::size_t at, std::string_view what) const {
        return fmt::format("The definition of table '{}' in '{}' is damaged on page {}: {}.", table, path, page_of(at),
                           what);
    }
    std::uint32_t page_of(std::size_t at) const {
        if (stream.pages.empty()) return 0;
        if (at < page_size) return stream.pages[0];
        const std::size_t k = 1 + (at - page_size) / (page_size - 8);
        return stream.pages[std::min(k, stream.pages.size() - 1)];
    }
};
using StreamReader = CheckedReader<StreamDamage>;

std::string read_name(const StreamReader& r, const Format& f, std::size_t& at, std::uint16_t code_page) {
    std::size_t len = 0;
    if (f.name_length_size == 1) len = r.u8(at, "a name is cut off");
    else len = r.u16(at, "a name is cut off");
    at += f.name_length_size;
    r.need(at, len, "a name is cut off");
    std::string name = f.jet3() ? decode_code_page(r.ptr(at), len, code_page) : decode_utf16le(r.ptr(at), len);
    at += len;
    return name;
}

}  // namespace

const Column* TableDef::find_column(std::string_view column_name) const {
    for (const Column& c : columns)
        if (names_equal(c.name, column_name)) return &c;
    return nullptr;
}

const Column* TableDef::column_by_number(std::uint16_t column_number) const {
    for (const Column& c : columns)
        if (c.number == column_number) return &c;
    return nullptr;
}

std::uint32_t TableDef::fixed_area_size() const {
    std::uint32_t size = 0;
    for (const Column& c : columns)
        if (c.is_fixed() && (c.type != ColumnType::Boolean || c.is_calculated())) size = std::max<std::uint32_t>(size, c.fixed_offset + c.length);
    return size;
}

TdefStream read_tdef_stream(const PageFile& file, std::uint32_t first_page, const std::string& table) {
    const std::uint32_t count = file.page_count();
    TdefStream s;
    Bytes buffer;
    std::uint32_t page = first_page;
    while (page != 0) {
        if (page >= count || std::find(s.pages.begin(), s.pages.end(), page) != s.pages.end() || s.pages.size() > 64)
            throw JetError(err::CorruptDatabase,
                           fmt::format("The definition of table '{}' in '{}' is damaged: {} page {} {}.", table,
                                       file.path(), s.pages.empty() ? "its first" : "continuation", page,
                                       page >= count ? "lies outside the file" : "is linked twice"));
        const PageSpan bytes = read_page_span(file, page, buffer);
        if (bytes[0] != kTdefPageType)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Page {} of '{}' should hold the definition of table '{}' but is not a table "
                                       "definition page (type {}).", page, file.path(), table, bytes[0]));
        s.pages.push_back(page);
        const std::uint32_t next = next_tdef_page(bytes);
        s.bytes.insert(s.bytes.end(), bytes.begin() + (s.pages.size() == 1 ? 0 : 8), bytes.end());
        page = next;
    }
    return s;
}

namespace {

// Whether the stream's pages still hold its bytes and link as they did, leaving out the
// 4-byte fields at `skipped` (ascending, within the first page).
bool stream_matches(const PageFile& file, const TdefStream& s, const std::vector<std::size_t>& skipped) {
    const std::uint32_t count = file.page_count();
    const std::size_t size = file.page_size();
    Bytes buffer;
    std::size_t at = 0;
    for (std::size_t i = 0; i < s.pages.size(); ++i) {
        if (s.pages[i] >= count) return false;
        const PageSpan bytes = read_page_span(file, s.pages[i], buffer);
        const std::uint32_t next = i + 1 < s.pages.size() ? s.pages[i + 1] : 0;
        if (bytes[0] != kTdefPageType || next_tdef_page(bytes) != next) return false;
        const std::size_t header = i == 0 ? 0 : 8;  // continuation headers are not part of the stream
        if (at + size - header > s.bytes.size()) return false;
        std::size_t from = header;
        for (std::size_t field : i == 0 ? skipped : std::vector<std::size_t>{}) {
            if (std::memcmp(bytes.data() + from, s.bytes.data() + from, field - from) != 0) return false;
            from = field + 4;
        }
        if (std::memcmp(bytes.data() + from, s.bytes.data() + at + from - header, size - from) != 0) return false;
        at += size - header;
    }
    return at == s.bytes.size();
}

}  // namespace

bool tdef_stream_unchanged(const PageFile& file, const TdefStream& s) { return stream_matches(file, s, {}); }

namespace {

std::size_t statistics_at(const Format& f, std::size_t index) {
    return f.tdef_header_size + index * f.real_index_count_block + 4;
}

}  // namespace

bool tdef_unchanged_but_counters(const PageFile& file, TdefStream& s, std::size_t real_indexes, bool& counters_moved) {
    const Format& f = file.format();
    counters_moved = false;
    std::vector<std::size_t> counters;
    counters.reserve(2 + real_indexes);
    counters.push_back(f.tdef_row_count_offset);
    counters.push_back(f.tdef_autonumber_offset);
    for (std::size_t i = 0; i < real_indexes; ++i) counters.push_back(statistics_at(f, i));
    std::sort(counters.begin(), counters.end());
    if (s.pages.empty() || counters.back() + 4 > file.page_size() || s.bytes.size() < file.page_size())
        return tdef_stream_unchanged(file, s);
    if (!stream_matches(file, s, counters)) return false;

    Bytes buffer;
    const PageSpan first = read_page_span(file, s.pages[0], buffer);
    for (std::size_t at : counters) {
        if (std::memcmp(s.bytes.data() + at, first.data() + at, 4) == 0) continue;
        std::memcpy(s.bytes.data() + at, first.data() + at, 4);
        counters_moved = true;
    }
    return true;
}

void read_counters(const Format& f, const TdefStream& s, TableDef& def) {
    def.row_count = get_u32(s.bytes, f.tdef_row_count_offset);
    def.last_autonumber = get_u32(s.bytes, f.tdef_autonumber_offset);
    for (std::size_t i = 0; i < def.real_indexes.size(); ++i)
        def.real_indexes[i].unique_key_count = get_u32(s.bytes, statistics_at(f, i));
}

namespace {

struct TdefCounts {
    std::uint16_t columns = 0;
    std::uint32_t logical_indexes = 0, real_indexes = 0;
};

// The fixed header: counters, counts and the table's usage maps.
TdefCounts read_header(const StreamReader& r, const Format& f, TableDef& def) {
    r.need(0, f.tdef_header_size, "the header is cut off");
    def.row_count = r.u32(f.tdef_row_count_offset, "header");
    def.last_autonumber = r.u32(f.tdef_autonumber_offset, "header");
    if (f.ace) def.last_complex_key = r.u32(kTdefComplexKeyOffset, "header");
    def.table_type = r.u8(f.tdef_table_type_offset, "header");
    def.max_columns = r.u16(f.tdef_max_columns_offset, "header");
    def.var_columns = r.u16(f.tdef_var_columns_offset, "header");
    TdefCounts n;
    n.columns = r.u16(f.tdef_columns_offset, "header");
    n.logical_indexes = r.u32(f.tdef_logical_index_count_offset, "header");
    n.real_indexes = r.u32(f.tdef_real_index_count_offset, "header");
    def.owned_map = r.u32(f.tdef_owned_map_offset, "header");
    def.free_map = r.u32(f.tdef_free_map_offset, "header");
    if (n.real_indexes > 1000 || n.logical_indexes > 1000)
        r.fail(f.tdef_real_index_count_offset,
               fmt::format("it claims {} indexes", std::max(n.real_indexes, n.logical_indexes)));
    if (n.columns > def.max_columns && def.max_columns != 0)
        r.fail(f.tdef_columns_offset, fmt::format("{} columns but at most {}", n.columns, def.max_columns));
    return n;
}

// One block per real index, of which the count of distinct keys is all we keep.
void read_index_statistics(const StreamReader& r, const Format& f, std::size_t& at, std::uint32_t count,
                           TableDef& def) {
    r.need(at, std::size_t{count} * f.real_index_count_block, "the index statistics are cut off");
    def.real_indexes.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        def.real_indexes[i].number = i;
        def.real_indexes[i].unique_key_count = r.u32(at + 4, "index statistics");
        at += f.real_index_count_block;
    }
}

// The column descriptors, then the column names.
void read_columns(const StreamReader& r, const Format& f, std::size_t& at, std::uint16_t count,
                  std::uint16_t code_page, TableDef& def) {
    const bool jet3 = f.jet3();
    r.need(at, std::size_t{count} * f.column_descriptor_size, "the column descriptors are cut off");
    def.columns.resize(count);
    for (Column& c : def.columns) {
        const std::size_t d = at;
        c.type = static_cast<ColumnType>(r.u8(d, "column"));
        c.number = r.u16(d + (jet3 ? 1 : 5), "column");
        c.var_index = r.u16(d + (jet3 ? 3 : 7), "column");
        c.misc = r.u16(d + (jet3 ? 5 : 9), "column");
        c.sort_order = r.u16(d + (jet3 ? 9 : 11), "column");
        if (jet3) c.code_page = r.u16(d + 11, "column");
        else c.sort_version = r.u8(d + 14, "column");
        c.precision = r.u8(d + 11, "column");
        c.scale = r.u8(d + 12, "column");
        if (c.type == ColumnType::Complex) c.complex_id = r.u32(d + 11, "column");
        c.flags = r.u8(d + (jet3 ? 13 : 15), "column");
        if (!jet3) c.ext_flags = r.u8(d + 16, "column");
        c.fixed_offset = r.u16(d + (jet3 ? 14 : 21), "column");
        c.length = r.u16(d + (jet3 ? 16 : 23), "column");
        if (c.code_page == 0) c.code_page = code_page;
        at += f.column_descriptor_size;
    }
    for (Column& c : def.columns) c.name = read_name(r, f, at, code_page);
}

// The real index descriptors: up to 10 columns each, the usage map and the root page.
void read_real_indexes(const StreamReader& r, const Format& f, std::size_t& at, TableDef& def) {
    const bool jet3 = f.jet3();
    const std::uint8_t slot_base = jet3 ? 0 : 4;
    r.need(at, def.real_indexes.size() * f.real_index_descriptor_size, "the index descriptors are cut off");
    for (RealIndex& ri : def.real_indexes) {
        for (std::size_t k = 0; k < 10; ++k) {
            const std::uint16_t number = r.u16(at + slot_base + 3 * k, "index");
            const std::uint8_t flags = r.u8(at + slot_base + 3 * k + 2, "index");
            if (number == 0xFFFF) continue;
            if (!def.column_by_number(number))
                r.fail(at, fmt::format("index {} names column number {}, which the table does not have", ri.number,
                                       number));
            ri.columns.push_back(IndexColumn{number, (flags & 0x01) != 0});
        }
        ri.usage_map = r.u32(at + (jet3 ? 30 : 34), "index");
        ri.root_page = r.u32(at + (jet3 ? 34 : 38), "index");
        ri.flags = r.u8(at + (jet3 ? 38 : 46), "index");
        at += f.real_index_descriptor_size;
    }
}

// The logical index descriptors, each naming the real index behind it, then their names.
void read_logical_indexes(const StreamReader& r, const Format& f, std::size_t& at, std::uint32_t count,
                          std::uint16_t code_page, TableDef& def) {
    r.need(at, std::size_t{count} * f.logical_index_descriptor_size, "the index descriptors are cut off");
    def.logical_indexes.resize(count);
    const std::size_t lbase = f.jet3() ? 0 : 4;
    for (LogicalIndex& li : def.logical_indexes) {
        li.number = r.u32(at + lbase, "index");
        li.real_index = r.u32(at + lbase + 4, "index");
        if (li.real_index >= def.real_indexes.size())
            r.fail(at, fmt::format("logical index {} refers to index data {} of {}", li.number, li.real_index,
                                   def.real_indexes.size()));
        li.fk_table_type = r.u8(at + lbase + 8, "index");
        li.fk_index = static_cast<std::int32_t>(r.u32(at + lbase + 9, "index"));
        li.fk_table_page = r.u32(at + lbase + 13, "index");
        li.fk_cascade_updates = r.u8(at + lbase + 17, "index");
        li.fk_cascade_deletes = r.u8(at + lbase + 18, "index");
        li.type = static_cast<LogicalIndexType>(r.u8(at + lbase + 19, "index"));
        at += f.logical_index_descriptor_size;
    }
    for (LogicalIndex& li : def.logical_indexes) li.name = read_name(r, f, at, code_page);
}

// Long-value column maps; files from before they existed simply end here.
void read_long_value_maps(const StreamReader& r, std::size_t at, TableDef& def) {
    while (at + 2 <= r.size()) {
        const std::uint16_t number = r.u16(at, "long-value maps");
        if (number == 0xFFFF) break;
        if (at + 10 > r.size()) break;
        def.long_value_maps.push_back(
            LongValueMaps{number, r.u32(at + 2, "long-value maps"), r.u32(at + 6, "long-value maps")});
        at += 10;
        if (def.long_value_maps.size() > def.columns.size()) r.fail(at, "the long-value map list does not end");
    }
}

// Columns in number order; a number used twice is damage.
void order_columns(const StreamReader& r, TableDef& def) {
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    for (std::size_t i = 1; i < def.columns.size(); ++i)
        if (def.columns[i].number == def.columns[i - 1].number)
            r.fail(0, fmt::format("column number {} is used twice", def.columns[i].number));
}

}  // namespace

TableDef parse_table_def(const TdefStream& s, const Format& f, const std::string& table, const std::string& path,
                         std::uint16_t code_page) {
    const StreamReader r(s.bytes, StreamDamage{s, table, path, f.page_size});
    TableDef def;
    def.name = table;
    def.tdef_page = s.pages.empty() ? 0 : s.pages[0];
    def.tdef_pages = s.pages;
    const TdefCounts n = read_header(r, f, def);
    std::size_t at = f.tdef_header_size;
    read_index_statistics(r, f, at, n.real_indexes, def);
    read_columns(r, f, at, n.columns, code_page, def);
    read_real_indexes(r, f, at, def);
    read_logical_indexes(r, f, at, n.logical_indexes, code_page, def);
    read_long_value_maps(r, at, def);
    order_columns(r, def);
    return def;
}

}  // namespace jet
