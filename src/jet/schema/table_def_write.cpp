// Tdef serialisation. Field order and sizes follow the parse in table_def.cpp; constants that
// Access writes and no reader interprets (1625, 1923, the autonumber enable byte) are written
// as Access writes them.
#include "jet/schema/table_def_write.h"

#include "jet/base/error.h"
#include "jet/storage/page_file.h"
#include "jet/value/text_codec.h"

#include <fmt/format.h>

namespace jet {
namespace {

constexpr std::uint32_t kJet4Magic = 1625;        // Access writes it in headers, columns and logical indexes
constexpr std::uint32_t kJet4IndexMagic = 1923;   // and this at the start of each real index
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::size_t kContinuationHeader = 8;

void append_header(Bytes& s, const Format& f, const TableDef& t) {
    s.assign(f.tdef_header_size, 0);
    s[0] = 0x02;
    s[1] = 0x01;
    if (f.jet3()) {
        s[2] = 'V';
        s[3] = 'C';
    } else {
        put_u32(s, 12, kJet4Magic);
        s[24] = 0x01;  // autonumber enable: Access and Jackcess always set it
    }
    put_u32(s, f.tdef_row_count_offset, t.row_count);
    put_u32(s, f.tdef_autonumber_offset, t.last_autonumber);
    s[f.tdef_table_type_offset] = t.table_type;
    put_u16(s, f.tdef_max_columns_offset, t.max_columns);
    put_u16(s, f.tdef_var_columns_offset, t.var_columns);
    put_u16(s, f.tdef_columns_offset, static_cast<std::uint16_t>(t.columns.size()));
    put_u32(s, f.tdef_logical_index_count_offset, static_cast<std::uint32_t>(t.logical_indexes.size()));
    put_u32(s, f.tdef_real_index_count_offset, static_cast<std::uint32_t>(t.real_indexes.size()));
    put_u32(s, f.tdef_owned_map_offset, t.owned_map);
    put_u32(s, f.tdef_free_map_offset, t.free_map);
}

void append_column(Bytes& s, const Format& f, const Column& c) {
    const bool decimal = c.type == ColumnType::Decimal;
    s.push_back(static_cast<std::uint8_t>(c.type));
    if (f.jet4()) append_le(s, kJet4Magic, 4);
    append_le(s, c.number, 2);
    append_le(s, c.var_index, 2);
    append_le(s, c.misc, 2);
    if (f.jet3()) {
        append_le(s, 1, 2);  // constant 0x0001 in every Access 97 descriptor
        append_le(s, c.sort_order, 2);
        if (decimal) {
            s.push_back(c.precision);
            s.push_back(c.scale);
        } else {
            append_le(s, c.code_page, 2);
        }
        s.push_back(c.flags);
    } else {
        if (decimal) {
            s.push_back(c.precision);
            s.push_back(c.scale);
            s.push_back(0);
            s.push_back(c.sort_version);
        } else {
            append_le(s, c.sort_order, 2);
            s.push_back(0);
            s.push_back(c.sort_version);
        }
        s.push_back(c.flags);
        s.push_back(c.ext_flags);
        append_le(s, 0, 4);
    }
    append_le(s, c.fixed_offset, 2);
    append_le(s, c.length, 2);
}

void append_real_index(Bytes& s, const Format& f, const TableDef& t, const RealIndex& r) {
    if (r.columns.size() > kIndexColumnSlots)
        throw JetError(err::Unsupported, fmt::format("Index {} of table '{}' has more than 10 columns.", r.number, t.name));
    if (f.jet4()) append_le(s, kJet4IndexMagic, 4);
    for (std::size_t i = 0; i < kIndexColumnSlots; ++i) {
        if (i < r.columns.size()) {
            append_le(s, r.columns[i].column_number, 2);
            s.push_back(r.columns[i].ascending ? 0x01 : 0x00);
        } else {
            append_le(s, 0xFFFF, 2);
            s.push_back(0);
        }
    }
    append_le(s, r.usage_map, 4);
    append_le(s, r.root_page, 4);
    if (f.jet4()) append_le(s, 0, 4);
    s.push_back(r.flags);
    if (f.jet4()) append_le(s, 0, 5);
}

void append_logical_index(Bytes& s, const Format& f, const LogicalIndex& l) {
    if (f.jet4()) append_le(s, kJet4Magic, 4);
    append_le(s, l.number, 4);
    append_le(s, l.real_index, 4);
    s.push_back(l.fk_table_type);
    append_le(s, static_cast<std::uint32_t>(l.fk_index), 4);
    append_le(s, l.fk_table_page, 4);
    s.push_back(l.fk_cascade_updates);
    s.push_back(l.fk_cascade_deletes);
    s.push_back(static_cast<std::uint8_t>(l.type));
    if (f.jet4()) append_le(s, 0, 4);
}

}  // namespace

Bytes tdef_name_bytes(const Format& format, const std::string& utf8) {
    Bytes text = format.jet4() ? encode_utf16le(utf8_to_utf16(utf8)) : encode_code_page(utf8, 1252);
    Bytes out;
    append_le(out, text.size(), format.name_length_size);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

Bytes tdef_stream(const Format& format, const TableDef& table) {
    Bytes s;
    append_header(s, format, table);
    for (const RealIndex& r : table.real_indexes) {
        append_le(s, 0, 4);
        append_le(s, r.unique_key_count, 4);
        if (format.jet4()) append_le(s, 0, 4);
    }
    for (const Column& c : table.columns) append_column(s, format, c);
    for (const Column& c : table.columns) {
        Bytes name = tdef_name_bytes(format, c.name);
        s.insert(s.end(), name.begin(), name.end());
    }
    for (const RealIndex& r : table.real_indexes) append_real_index(s, format, table, r);
    for (const LogicalIndex& l : table.logical_indexes) append_logical_index(s, format, l);
    for (const LogicalIndex& l : table.logical_indexes) {
        Bytes name = tdef_name_bytes(format, l.name);
        s.insert(s.end(), name.begin(), name.end());
    }
    for (const LongValueMaps& m : table.long_value_maps) {
        append_le(s, m.column_number, 2);
        append_le(s, m.owned_map, 4);
        append_le(s, m.free_map, 4);
    }
    append_le(s, 0xFFFF, 2);
    put_u32(s, 8, static_cast<std::uint32_t>(s.size()));
    return s;
}

std::size_t tdef_page_count(const Format& format, const TableDef& table) {
    const std::size_t length = tdef_stream(format, table).size();
    if (length <= format.page_size) return 1;
    const std::size_t per_continuation = format.page_size - kContinuationHeader;
    return 1 + (length - format.page_size + per_continuation - 1) / per_continuation;
}

std::vector<Bytes> tdef_page_images(const Format& format, const TableDef& table) {
    const Bytes stream = tdef_stream(format, table);
    const std::size_t ps = format.page_size;
    const std::size_t count = stream.size() <= ps ? 1 : 1 + (stream.size() - ps + ps - kContinuationHeader - 1) /
                                                                (ps - kContinuationHeader);
    if (table.tdef_pages.size() != count)
        throw JetError(err::CorruptDatabase,
                       fmt::format("Internal error: the definition of table '{}' needs {} pages, {} were reserved.",
                                   table.name, count, table.tdef_pages.size()));
    std::vector<Bytes> pages;
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Bytes page(ps, 0);
        const std::size_t header = i == 0 ? 0 : kContinuationHeader;
        const std::size_t n = std::min(ps - header, stream.size() - at);
        std::copy(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(at + n),
                  page.begin() + static_cast<std::ptrdiff_t>(header));
        at += n;
        page[0] = 0x02;
        page[1] = 0x01;
        if (format.jet3()) {
            page[2] = 'V';
            page[3] = 'C';
        } else {
            // Access counts free space as what is left after the data, less 8 bytes.
            const std::size_t used = header + n;
            put_u16(page, 2, static_cast<std::uint16_t>(ps >= used + 8 ? ps - used - 8 : 0));
        }
        put_u32(page, 4, i + 1 < count ? table.tdef_pages[i + 1] : 0);
        pages.push_back(std::move(page));
    }
    return pages;
}

}  // namespace jet
