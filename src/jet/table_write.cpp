#include "jet/table_write.h"

#include "jet/base/error.h"
#include "jet/rows/calculated_value.h"
#include "jet/rows/long_value.h"
#include "jet/rows/long_value_write.h"
#include "jet/rows/row_decode.h"
#include "jet/schema/properties.h"
#include "jet/storage/page_rows.h"
#include "jet/storage/usage_map_write.h"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <random>

namespace jet {

namespace {

Guid random_guid() {
    static std::random_device rd;
    static std::mt19937_64 gen(rd());
    Guid g;
    for (auto& b : g.bytes) b = static_cast<std::uint8_t>(gen());
    g.bytes[7] = static_cast<std::uint8_t>((g.bytes[7] & 0x0F) | 0x40);   // version 4 (Data3, little-endian)
    g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);
    return g;
}

// The row a header row id leads to: itself, or where an overflow pointer sends it.
struct Located {
    std::uint32_t header_page = 0;
    std::uint8_t header_row = 0;
    Bytes header_image;          // the page holding the header row
    RowBounds header;
    std::uint32_t page = 0;      // where the data is
    std::uint8_t row = 0;
    Bytes image;
    RowBounds bounds;
    bool moved() const { return page != header_page || row != header_row; }
};

Located locate(const PageFile& file, const TableDef& table, RowId id) {
    const Format& format = file.format();
    Located l;
    l.header_page = id.page;
    l.header_row = id.row;
    l.header_image = file.read_page(id.page);
    if (l.header_image[0] != DataPageType || get_u32(l.header_image, 4) != table.tdef_page)
        throw JetError(err::CorruptDatabase, fmt::format("Page {} of '{}' does not hold rows of table '{}'.", id.page,
                                                         file.path(), table.name));
    l.header = data_page_row(l.header_image, format, id.page, id.row);
    if (l.header.flags & row_flags::Deleted)
        throw JetError(err::NoCurrentRecord, fmt::format("Row {} of page {} of table '{}' was deleted.", id.row, id.page,
                                                         table.name));
    l.page = id.page;
    l.row = id.row;
    l.image = l.header_image;
    l.bounds = l.header;
    for (int hops = 0; l.bounds.flags & row_flags::Overflow; ++hops) {
        if (hops == 8 || l.bounds.length() < 4)
            throw JetError(err::CorruptDatabase, fmt::format("Row {} of page {} of table '{}' has a broken overflow "
                                                             "pointer.", id.row, id.page, table.name));
        const std::uint8_t row = l.image[l.bounds.start];
        const std::uint32_t page = get_u24(l.image, l.bounds.start + 1);
        l.page = page;
        l.row = row;
        l.image = file.read_page(page);
        l.bounds = data_page_row(l.image, format, page, row);
    }
    return l;
}

bool is_autonumber_long(const Column& c) { return (c.flags & column_flags::AutoLong) != 0 && c.type == ColumnType::Long; }
bool is_autonumber_guid(const Column& c) { return (c.flags & column_flags::AutoGuid) != 0; }

}  // namespace

struct TableWrite::Staged {
    bool appended = false;
    RowId id;                                // header row; for appends the expected id until written
    std::vector<Value> values;
    std::vector<FieldImage> fields;
    std::vector<Bytes> long_values;          // per column: data still to be stored out of line
    std::vector<std::optional<IndexKey>> keys;   // per real index: the record's key once written
    std::optional<RowSpace> space;           // appends: where the row was expected to go
    Bytes row;                               // appends: the row image, until long values change it
    std::size_t length = 0;                  // the row image's length
    bool long_value_changed = false;         // changes: a Memo or OLE column is given a value
};

TableWrite::TableWrite(Database& db, std::string_view table)
    : file_(db.file()), def_(db.table_def(table)), table_(*def_), calculated_(table_, db.properties(table_.name)) {
    rules_ = db.column_rules(table_);
    edits_.resize(table_.real_indexes.size());
    new_distinct_keys_.assign(table_.real_indexes.size(), 0);
    last_autonumber_ = table_.last_autonumber;
    last_complex_key_ = table_.last_complex_key;
}

// A value given for a column whose value this engine works out itself, or does not store.
void TableWrite::refuse_given(const Column& c) const {
    throw JetError(err::Unsupported,
                   c.type == ColumnType::Complex
                       ? fmt::format("Cannot set the complex column '{}' of table '{}': its values live in a hidden "
                                     "table this engine does not write (a new record's list is empty).", c.name, table_.name)
                       : fmt::format("Cannot set the calculated column '{}' of table '{}': its value is its expression's "
                                     "result.", c.name, table_.name));
}

TableWrite::~TableWrite() = default;

IndexEdit& TableWrite::edit(std::size_t i) {
    if (!edits_[i]) edits_[i] = std::make_unique<IndexEdit>(file_, table_, table_.real_indexes[i]);
    return *edits_[i];
}

std::vector<Value> TableWrite::complete(NewValues values) {
    if (values.size() != table_.columns.size())
        throw JetError(err::DiskIo, fmt::format("Internal error: {} values for the {} columns of table '{}'.",
                                                values.size(), table_.columns.size(), table_.name));
    const std::vector<ColumnRules>& rules = *rules_;
    std::vector<Value> out(values.size());
    std::optional<std::int32_t> complex_key;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Column& c = table_.columns[i];
        const bool given = values[i] && !values[i]->is_null();
        if (c.type == ColumnType::Complex || c.is_calculated()) {
            if (given) refuse_given(c);
            // All complex columns of a record share one new key, as Access and Jackcess give it:
            // no row of a hidden table has it yet, so each list starts empty.
            if (c.type == ColumnType::Complex) {
                if (!complex_key) complex_key = static_cast<std::int32_t>(++last_complex_key_);
                out[i] = Value::long_(*complex_key);
            }
            continue;
        }
        if (is_autonumber_long(c)) {
            if (values[i] && !values[i]->is_null()) {
                const std::int32_t v = to_long(*values[i]);
                if (v > 0) last_autonumber_ = std::max(last_autonumber_, static_cast<std::uint32_t>(v));
                out[i] = Value::long_(v);
            } else {
                out[i] = Value::long_(static_cast<std::int32_t>(++last_autonumber_));
            }
        } else if (is_autonumber_guid(c) && (!values[i] || values[i]->is_null())) {
            out[i] = Value::guid(random_guid());
        } else if (values[i]) {
            out[i] = std::move(*values[i]);
        } else {
            out[i] = rules[i].new_record_default();
        }
        if (c.type == ColumnType::Boolean && out[i].is_null()) out[i] = Value::boolean(false);
    }
    calculated_.compute(out);
    return out;
}

void TableWrite::check(const std::vector<Value>& values) const {
    const std::vector<ColumnRules>& rules = *rules_;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Column& c = table_.columns[i];
        if (values[i].is_null() && rules[i].required)
            throw JetError(err::RequiredField,
                           fmt::format("The field '{}.{}' cannot contain a Null value because the Required property "
                                       "for this field is set to True. Enter a value in this field.",
                                       table_.name, c.name));
        if (is_text_like(c.type) && !values[i].is_null() && !rules[i].allow_zero_length &&
            to_text(values[i]).empty())
            throw JetError(err::ZeroLengthNotAllowed,
                           fmt::format("Field '{}.{}' cannot be a zero-length string.", table_.name, c.name));
    }
}

// Field images of a record. `stored` (updates) gives the current images; a column keeps its
// image unless `changes` sets it. Long values too long for the row are left in `long_values`
// with a placeholder header of the right size.
std::vector<FieldImage> TableWrite::images(const std::vector<Value>& values, const std::vector<FieldImage>* stored,
                                           const NewValues* changes, std::vector<Bytes>& long_values) const {
    const Format& format = file_.format();
    std::vector<FieldImage> fields(values.size());
    long_values.assign(values.size(), Bytes{});
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Column& c = table_.columns[i];
        if (stored && !(*changes)[i]) {
            fields[i] = (*stored)[i];
            continue;
        }
        const Value& v = values[i];
        if (c.type == ColumnType::Boolean && !c.is_calculated()) {
            fields[i].present = to_bool(v);
            continue;
        }
        if (v.is_null()) continue;
        fields[i].present = true;
        if (is_long_value(c.type)) {
            Bytes data = long_value_data(c, v, format);
            if (c.is_calculated()) data = wrap_calculated_result(data);
            if (data.size() <= format.max_inline_long_value) {
                fields[i].bytes = write_long_value(file_, table_, c, data);   // inline: touches no page
            } else {
                fields[i].bytes.assign(kLongValueHeaderSize, 0);
                long_values[i] = std::move(data);
            }
        } else {
            fields[i].bytes = c.is_calculated() ? encode_calculated_field(table_, c, v, format)
                                                : encode_field(table_, c, v, format);
        }
    }
    return fields;
}

void TableWrite::add(NewValues values) {
    Staged s;
    s.appended = true;
    s.values = complete(std::move(values));
    check(s.values);
    s.fields = images(s.values, nullptr, nullptr, s.long_values);
    s.row = build_row(table_, file_.format(), s.fields);
    const Bytes& row = s.row;
    s.length = row.size();
    // The row's id goes into the index keys now; commit() corrects any that land elsewhere.
    if (staged_.empty()) {
        s.space = find_row_space(file_, table_.tdef_page, table_.free_map, row.size());
        next_place_ = NextPlace{s.space->is_new ? next_page_number(file_) : s.space->page, s.space->image};
    }
    if (next_place_ && data_page_fits(next_place_->image, file_.format(), row.size()))
        s.id = RowId{next_place_->page, data_page_add_row(next_place_->image, file_.format(), row)};
    else {
        next_place_.reset();
        s.id = RowId{0xFFFFFF, static_cast<std::uint8_t>(staged_.size())};   // a place no row has
    }
    s.keys.resize(table_.real_indexes.size());
    for (std::size_t i = 0; i < table_.real_indexes.size(); ++i) {
        IndexKey key = encode_index_key(file_.format(), table_, table_.real_indexes[i], s.values);
        if (edit(i).insert(key, s.id)) ++new_distinct_keys_[i];
        s.keys[i] = std::move(key);
    }
    staged_.push_back(std::move(s));
}

void TableWrite::change(RowId id, const std::vector<Value>& current, const NewValues& changes) {
    const Format& format = file_.format();
    Staged s;
    s.id = id;
    s.values = current;
    NewValues effective = changes;
    std::vector<bool> changed(changes.size(), false);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (!changes[i]) continue;
        const Column& c = table_.columns[i];
        if (c.type == ColumnType::Complex || c.is_calculated()) refuse_given(c);
        s.values[i] = c.type == ColumnType::Boolean && changes[i]->is_null() ? Value::boolean(false) : *changes[i];
        changed[i] = true;
    }
    for (std::size_t k : calculated_.compute(s.values, &changed)) effective[k] = s.values[k];
    for (std::size_t i = 0; i < effective.size(); ++i)
        if (effective[i] && is_long_value(table_.columns[i].type)) s.long_value_changed = true;
    check(s.values);
    // Unchanged columns keep their stored bytes (long values keep their pages).
    const Located l = locate(file_, table_, id);
    std::vector<FieldRef> refs;
    RowDecoder(file_, table_).split(l.image.data() + l.bounds.start, l.bounds.length(), id, refs);
    std::vector<FieldImage> stored(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) {
        stored[i].present = refs[i].present || refs[i].data != nullptr;
        if (refs[i].data) stored[i].bytes.assign(refs[i].data, refs[i].data + refs[i].size);
        if (table_.columns[i].type == ColumnType::Boolean) stored[i].present = refs[i].present;
    }
    s.fields = images(s.values, &stored, &effective, s.long_values);
    s.length = build_row(table_, format, s.fields).size();
    s.keys.resize(table_.real_indexes.size());
    for (std::size_t i = 0; i < table_.real_indexes.size(); ++i) {
        const RealIndex& index = table_.real_indexes[i];
        IndexKey before = encode_index_key(format, table_, index, current);
        s.keys[i] = encode_index_key(format, table_, index, s.values);
        if (before.bytes == s.keys[i]->bytes) continue;
        edit(i).remove(before, id);
        if (edit(i).insert(*s.keys[i], id)) ++new_distinct_keys_[i];
    }
    staged_.push_back(std::move(s));
}

void TableWrite::write_appended(Staged& s) {
    const Format& format = file_.format();
    const Bytes row = s.row.empty() ? build_row(table_, format, s.fields) : std::move(s.row);
    RowSpace space;
    if (s.space && !s.space->is_new) space = std::move(*s.space);
    else if (last_row_page_) space.page = *last_row_page_;   // where the write's previous record went
    else space = find_row_space(file_, table_.tdef_page, table_.free_map, row.size());
    if (!space.is_new) space.image = file_.read_page(space.page);   // nothing may have changed it, but be sure
    if (!data_page_fits(space.image, format, row.size()))
        space = find_row_space(file_, table_.tdef_page, table_.free_map, row.size());
    const std::uint8_t number = data_page_add_row(space.image, format, row);
    store_row_space(file_, space);
    register_row_space(file_, space, table_.owned_map, table_.free_map);
    last_row_page_ = space.page;
    if (const RowId actual{space.page, number}; actual != s.id) move_index_entries(s, actual);
}

// A reader that takes no lock may read a page's row table and, a moment later, the rows it
// names. A row rewritten in place while it reads is decodable whatever mix of old and new bytes
// it meets (offsets and lengths stay inside the row), unless a long-value pointer is among them;
// and no row it may be decoding can become a pointer to a moved row. So a changed record
// stays in place when its new image fits there and no Memo or OLE value changes; otherwise it
// goes into a new row, the old one is marked deleted with its bytes left as they were, and the
// record's index entries follow it to its new row id. A row moved by an earlier writer (a
// pointer and its target) is replaced the same way.
void TableWrite::write_changed(Staged& s) {
    const Format& format = file_.format();
    Located l = locate(file_, table_, s.id);
    const std::optional<Bytes> padded = build_row_padded(table_, format, s.fields, l.bounds.length());
    if (padded && !s.long_value_changed) {
        data_page_replace_row(l.image, format, l.page, l.row, *padded, l.bounds.flags);
        file_.write_page(l.page, l.image);
        return;
    }
    const Bytes row = build_row(table_, format, s.fields);
    RowSpace space;
    space.page = l.header_page;
    space.image = l.header_image;
    if (!data_page_fits(space.image, format, row.size()))
        space = find_row_space(file_, table_.tdef_page, table_.free_map, row.size());
    const std::uint8_t number = data_page_add_row(space.image, format, row);
    store_row_space(file_, space);   // a new page gets its number here
    const RowId moved_to{space.page, number};
    register_row_space(file_, space, table_.owned_map, table_.free_map);
    mark_deleted(l.header_page, l.header_row);
    if (l.moved()) mark_deleted(l.page, l.row);
    move_index_entries(s, moved_to);
}

// The record's index entries, staged under s.id, go to the row where it was written.
void TableWrite::move_index_entries(Staged& s, RowId to) {
    for (std::size_t i = 0; i < s.keys.size(); ++i) {
        edit(i).remove(*s.keys[i], s.id);
        edit(i).insert(*s.keys[i], to);
    }
    s.id = to;
}

// Deleted as Access and Jackcess mark it: both flags, so that every reader skips it.
void TableWrite::mark_deleted(std::uint32_t page, std::uint8_t row) {
    const Format& format = file_.format();
    Bytes image = file_.read_page(page);
    const std::size_t entry = format.data_first_row_offset + 2u * row;
    put_u16(image, entry, static_cast<std::uint16_t>((get_u16(image, entry) & row_flags::OffsetMask) |
                                                     row_flags::Deleted | row_flags::Overflow));
    file_.write_page(page, image);
}

std::vector<RowId> TableWrite::commit() {
    const Format& format = file_.format();
    AtomicWrite atomic(file_);
    last_row_page_.reset();
    std::vector<RowId> appended;
    for (Staged& s : staged_) {
        for (std::size_t i = 0; i < s.long_values.size(); ++i)
            if (!s.long_values[i].empty()) {
                s.fields[i].bytes = write_long_value(file_, table_, table_.columns[i], s.long_values[i]);
                s.row.clear();   // the row holds the value's new header
            }
        if (s.appended) {
            write_appended(s);
            appended.push_back(s.id);
            ++appended_;
        } else {
            write_changed(s);
        }
    }
    for (auto& e : edits_)
        if (e && e->changed()) e->commit();
    // The counters last: a crash before this point leaves them behind, never ahead.
    Bytes tdef = file_.read_page(table_.tdef_page);
    const std::uint32_t stored_last = get_u32(tdef, format.tdef_autonumber_offset);
    const std::uint32_t stored_count = get_u32(tdef, format.tdef_row_count_offset);
    bool dirty = false;
    if (appended_ != 0) {
        put_u32(tdef, format.tdef_row_count_offset, stored_count + appended_);
        dirty = true;
    }
    if (last_autonumber_ > stored_last) {
        put_u32(tdef, format.tdef_autonumber_offset, last_autonumber_);
        dirty = true;
    }
    if (format.ace && last_complex_key_ > get_u32(tdef, kTdefComplexKeyOffset)) {
        put_u32(tdef, kTdefComplexKeyOffset, last_complex_key_);
        dirty = true;
    }
    for (std::size_t i = 0; i < new_distinct_keys_.size(); ++i) {
        const std::size_t at = format.tdef_header_size + i * format.real_index_count_block + 4;
        if (new_distinct_keys_[i] == 0 || at + 4 > tdef.size()) continue;
        put_u32(tdef, at, get_u32(tdef, at) + new_distinct_keys_[i]);
        dirty = true;
    }
    if (dirty) file_.write_page(table_.tdef_page, tdef);
    atomic.commit();
    staged_.clear();
    next_place_.reset();
    appended_ = 0;
    return appended;
}

}  // namespace jet
