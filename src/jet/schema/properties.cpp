// Property blob parsing with every length checked against the blob.
#include "jet/schema/properties.h"

#include "jet/base/error.h"
#include "jet/schema/names.h"
#include "jet/value/stored_value.h"
#include "jet/value/text_codec.h"

#include <cctype>
#include <cstring>
#include <fmt/format.h>

namespace jet {
namespace {


constexpr std::uint16_t kNameTableChunk = 0x80;

// A damaged blob is reported with the byte where the damage lies.
struct BlobDamage {
    const std::string& where;
    std::string operator()(std::size_t at, std::string_view what) const {
        return fmt::format("The properties of {} are damaged at byte {}: {}.", where, at, what);
    }
};

constexpr std::string_view kCutOff = "a field is cut off";

}  // namespace

TableProperties parse_properties(const Format& format, const Bytes& blob, std::uint16_t code_page,
                                 const std::string& where) {
    TableProperties out;
    if (blob.empty()) return out;
    const CheckedReader r(blob, BlobDamage{where});
    r.need(0, 4, "the blob is too short");
    const char* magic = format.jet3() ? "KKD" : "MR2";
    if (std::memcmp(blob.data(), magic, 4) != 0) r.fail(0, "it does not start as a property blob");
    auto text = [&](std::size_t at, std::size_t n) {
        return format.jet3() ? decode_code_page(r.ptr(at), n, code_page) : decode_utf16le(r.ptr(at), n);
    };

    std::vector<std::string> names;
    bool table_seen = false;
    std::size_t at = 4;
    while (at < blob.size()) {
        const std::uint32_t chunk_len = r.u32(at, kCutOff);
        const std::uint16_t chunk_type = r.u16(at + 4, kCutOff);
        if (chunk_len < 6) r.fail(at, "a chunk has an impossible length");
        r.need(at, chunk_len, "a chunk is cut off");
        const std::size_t end = at + chunk_len;
        std::size_t p = at + 6;
        if (chunk_type == kNameTableChunk) {
            while (p < end) {
                const std::uint16_t n = r.u16(p, kCutOff);
                if (p + 2 + n > end) r.fail(p, "a property name is cut off");
                names.push_back(text(p + 2, n));
                p += 2u + n;
            }
        } else {
            const std::uint32_t header_len = r.u32(p, kCutOff);
            const std::uint16_t name_len = r.u16(p + 4, kCutOff);
            if (header_len < 6 || p + header_len > end || 6u + name_len > header_len) r.fail(p, "a chunk header is damaged");
            const std::string object = text(p + 6, name_len);
            std::vector<Property>* target = nullptr;
            if (chunk_type == 0x0000 && !table_seen) {
                table_seen = true;
                target = &out.table;
            } else {
                out.columns.push_back(ColumnProperties{object, {}});
                target = &out.columns.back().properties;
            }
            p += header_len;
            while (p < end) {
                const std::uint16_t entry_len = r.u16(p, kCutOff);
                if (entry_len < 8 || p + entry_len > end) r.fail(p, "a property entry is damaged");
                const std::uint8_t ddl = r.u8(p + 2, kCutOff);
                const auto type = static_cast<ColumnType>(r.u8(p + 3, kCutOff));
                const std::uint16_t name_index = r.u16(p + 4, kCutOff);
                const std::uint16_t data_len = r.u16(p + 6, kCutOff);
                if (8u + data_len > entry_len) r.fail(p, "a property value is cut off");
                if (name_index >= names.size()) r.fail(p, "a property refers to a name that is not in the name table");
                Property prop{names[name_index], type, Value::null(), ddl != 0};
                const ColumnType as = type == ColumnType::Memo ? ColumnType::Text : type;
                if (std::optional<Value> v = decode_plain_value(format, as, r.ptr(p + 8), data_len, code_page, 0))
                    prop.value = std::move(*v);
                target->push_back(std::move(prop));
                p += entry_len;
            }
        }
        at = end;
    }
    return out;
}

const Property* find_property(const std::vector<Property>& properties, std::string_view name) {
    for (const Property& p : properties)
        if (names_equal(p.name, name)) return &p;
    return nullptr;
}

const std::vector<Property>* column_properties(const TableProperties& properties, std::string_view column) {
    for (const ColumnProperties& c : properties.columns)
        if (names_equal(c.column, column)) return &c.properties;
    return nullptr;
}

void apply_result_types(TableDef& table, const TableProperties& properties) {
    for (Column& c : table.columns) {
        if (!c.is_calculated()) continue;
        const std::vector<Property>* own = column_properties(properties, c.name);
        const Property* result = own ? find_property(*own, "ResultType") : nullptr;
        if (result && result->value.kind() == ValueKind::Byte) c.type = static_cast<ColumnType>(result->value.as_byte());
    }
}

}  // namespace jet
