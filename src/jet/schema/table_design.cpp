// Layout of new tables. Columns are numbered in the order given; fixed columns get offsets in
// that order (Booleans live in the null mask and take none) and variable columns get
// consecutive slots, as Access lays out a table designed in one go.
#include "jet/schema/table_design.h"

#include "jet/base/error.h"
#include "jet/schema/names.h"

#include <algorithm>
#include <fmt/format.h>
#include <utility>

namespace jet {
namespace {

constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxIndexes = 32;
constexpr std::size_t kMaxIndexColumns = 10;
constexpr std::uint8_t kJet4IndexMark = 0x80;  // Access 2000+ sets it on every index it creates

Column make_column(const Format& format, const TableDesign& design, const ColumnDesign& c, std::uint16_t number) {
    if (c.name.empty()) throw JetError(err::Unsupported, fmt::format("Table '{}' has a column without a name.", design.name));
    Column col;
    col.name = c.name;
    col.type = c.type;
    col.number = number;
    col.misc = format.jet4() ? static_cast<std::uint16_t>(number + 1) : number;  // as Access writes it
    col.sort_order = 0x0409;
    col.code_page = format.jet3() ? 1252 : 0;
    switch (c.type) {
    case ColumnType::Text:
        if (c.size < 1 || c.size > 255)
            throw JetError(err::Unsupported, fmt::format("Column '{}' of table '{}': a Text size must be 1 to 255 characters.",
                                                         c.name, design.name));
        col.length = static_cast<std::uint16_t>(format.jet4() ? 2 * c.size : c.size);
        col.flags = column_flags::Nullable;
        break;
    case ColumnType::Binary:
        if (c.size < 1 || c.size > 255)
            throw JetError(err::Unsupported, fmt::format("Column '{}' of table '{}': a Binary size must be 1 to 255 bytes.",
                                                         c.name, design.name));
        col.length = c.size;
        col.flags = column_flags::Nullable;
        break;
    case ColumnType::Memo:
    case ColumnType::Ole: col.flags = column_flags::Nullable; break;
    default:
        col.length = fixed_length(c.type);
        if (col.length == 0 || c.type == ColumnType::Decimal)
            throw JetError(err::Unsupported, fmt::format("Column '{}' of table '{}': type {} cannot be created.", c.name,
                                                         design.name, column_type_name(c.type)));
        col.flags = column_flags::Fixed | column_flags::Nullable;
    }
    if (c.autonumber) {
        if (c.type != ColumnType::Long)
            throw JetError(err::Unsupported, fmt::format("Column '{}' of table '{}': only a Long can be an autonumber.",
                                                         c.name, design.name));
        col.flags |= column_flags::AutoLong;
    }
    if (format.jet4() && is_text_like(c.type)) col.ext_flags = column_ext_flags::CompressedUnicode;
    return col;
}

std::uint8_t index_flags_of(const Format& format, const IndexDesign& ix) {
    std::uint8_t flags = format.jet4() ? kJet4IndexMark : 0;
    if (ix.primary || ix.unique) flags |= index_flags::Unique;
    if (ix.ignore_nulls) flags |= index_flags::IgnoreNulls;
    if (ix.primary || ix.required) flags |= index_flags::Required;
    return flags;
}

}  // namespace

TableDef layout_table(const Format& format, const TableDesign& design) {
    if (design.columns.empty() || design.columns.size() > kMaxColumns)
        throw JetError(err::Unsupported, fmt::format("Table '{}' must have 1 to 255 columns.", design.name));
    if (design.indexes.size() > kMaxIndexes)
        throw JetError(err::Unsupported, fmt::format("Table '{}' has more than 32 indexes.", design.name));
    TableDef t;
    t.name = design.name;
    t.table_type = 0x4E;
    std::uint16_t fixed_offset = 0, var_index = 0;
    for (std::size_t i = 0; i < design.columns.size(); ++i) {
        const ColumnDesign& c = design.columns[i];
        for (std::size_t j = 0; j < i; ++j)
            if (names_equal(design.columns[j].name, c.name))
                throw JetError(err::FieldDefinedTwice,
                               fmt::format("Column '{}' is defined more than once in table '{}'.", c.name, design.name));
        Column col = make_column(format, design, c, static_cast<std::uint16_t>(i));
        col.var_index = var_index;  // fixed columns carry the slot the next variable column gets
        if (col.is_fixed()) {
            if (col.type != ColumnType::Boolean) {
                col.fixed_offset = fixed_offset;
                fixed_offset = static_cast<std::uint16_t>(fixed_offset + col.length);
            }
        } else {
            ++var_index;
            if (is_long_value(col.type)) t.long_value_maps.push_back(LongValueMaps{col.number, 0, 0});
        }
        t.columns.push_back(std::move(col));
    }
    t.max_columns = static_cast<std::uint16_t>(t.columns.size());
    t.var_columns = var_index;

    bool have_primary = false;
    for (std::size_t i = 0; i < design.indexes.size(); ++i) {
        const IndexDesign& ix = design.indexes[i];
        if (ix.name.empty()) throw JetError(err::Unsupported, fmt::format("Table '{}' has an index without a name.", design.name));
        for (std::size_t j = 0; j < i; ++j)
            if (names_equal(design.indexes[j].name, ix.name))
                throw JetError(err::Unsupported,
                               fmt::format("Index '{}' is defined more than once in table '{}'.", ix.name, design.name));
        if (ix.primary && std::exchange(have_primary, true))
            throw JetError(err::PrimaryKeyExists, fmt::format("Table '{}' has more than one primary key.", design.name));
        if (ix.columns.empty() || ix.columns.size() > kMaxIndexColumns)
            throw JetError(err::Unsupported,
                           fmt::format("Index '{}' of table '{}' must have 1 to 10 columns.", ix.name, design.name));
        RealIndex real;
        real.number = static_cast<std::uint32_t>(i);
        real.flags = index_flags_of(format, ix);
        for (const IndexColumnDesign& ic : ix.columns) {
            auto it = std::find_if(t.columns.begin(), t.columns.end(),
                                   [&](const Column& c) { return names_equal(c.name, ic.column); });
            if (it == t.columns.end())
                throw JetError(err::ItemNotFound, fmt::format("Index '{}' of table '{}' names a missing column '{}'.",
                                                              ix.name, design.name, ic.column));
            if (is_long_value(it->type))
                throw JetError(err::Unsupported, fmt::format("Index '{}' of table '{}': Memo and OLE column '{}' cannot be indexed.",
                                                             ix.name, design.name, ic.column));
            real.columns.push_back(IndexColumn{it->number, ic.ascending});
        }
        t.real_indexes.push_back(std::move(real));
        LogicalIndex logical;
        logical.name = ix.name;
        logical.number = static_cast<std::uint32_t>(i);
        logical.real_index = static_cast<std::uint32_t>(i);
        logical.type = ix.primary ? LogicalIndexType::Primary : LogicalIndexType::Normal;
        logical.fk_cascade_updates = logical.fk_cascade_deletes = 0x04;  // what Access writes outside relationships
        t.logical_indexes.push_back(std::move(logical));
    }
    return t;
}

TableProperties table_properties(const TableDesign& design) {
    TableProperties props;
    for (const ColumnDesign& c : design.columns) {
        ColumnProperties cp{c.name, {}};
        if (!c.default_value.empty()) cp.properties.push_back(default_value_property(c.default_value));
        if (c.required) cp.properties.push_back(required_property(true));
        if (is_text_like(c.type)) cp.properties.push_back(allow_zero_length_property(c.allow_zero_length));
        if (!c.description.empty()) cp.properties.push_back(text_property("Description", c.description));
        if (!cp.properties.empty()) props.columns.push_back(std::move(cp));
    }
    return props;
}

}  // namespace jet
