// Property blob encoding. The name table lists every property name once, in first-use order;
// value chunks refer to names by their position in it.
#include "jet/schema/properties_write.h"

#include "jet/base/error.h"
#include "jet/storage/page_file.h"
#include "jet/value/text_codec.h"

#include <algorithm>
#include <fmt/format.h>

namespace jet {
namespace {

constexpr std::uint16_t kNameChunk = 0x0080;
constexpr std::uint16_t kTableChunk = 0x0000;
constexpr std::uint16_t kColumnChunk = 0x0001;

Bytes text_bytes(const Format& format, const std::string& utf8) {
    return format.jet4() ? encode_utf16le(utf8_to_utf16(utf8)) : encode_code_page(utf8, 1252);
}

Bytes value_bytes(const Format& format, const Property& p) {
    try {
        switch (p.type) {
        case ColumnType::Boolean: return Bytes{static_cast<std::uint8_t>(to_bool(p.value) ? 1 : 0)};
        case ColumnType::Byte: return Bytes{static_cast<std::uint8_t>(to_integer(p.value))};
        case ColumnType::Integer: {
            Bytes b;
            append_le(b, static_cast<std::uint16_t>(to_integer(p.value)), 2);
            return b;
        }
        case ColumnType::Long: {
            Bytes b;
            append_le(b, static_cast<std::uint32_t>(to_long(p.value)), 4);
            return b;
        }
        case ColumnType::Text:
        case ColumnType::Memo: return text_bytes(format, to_text(p.value));
        case ColumnType::Binary:
        case ColumnType::Ole:
            if (p.value.kind() == ValueKind::Binary) return p.value.as_binary();
            if (p.value.kind() == ValueKind::Guid)
                return Bytes(p.value.as_guid().bytes.begin(), p.value.as_guid().bytes.end());
            break;
        default: break;
        }
    } catch (const JetError&) {
    }
    throw JetError(err::Unsupported, fmt::format("Property '{}' cannot be stored as {}.", p.name, column_type_name(p.type)));
}

std::uint16_t name_index(std::vector<std::string>& names, const std::string& name) {
    auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) {
        names.push_back(name);
        return static_cast<std::uint16_t>(names.size() - 1);
    }
    return static_cast<std::uint16_t>(it - names.begin());
}

Bytes value_chunk(const Format& format, std::uint16_t type, const std::string& object, const std::vector<Property>& props,
                  std::vector<std::string>& names) {
    Bytes body;
    const Bytes object_name = type == kTableChunk ? Bytes{} : text_bytes(format, object);
    append_le(body, 6 + object_name.size(), 4);
    append_le(body, object_name.size(), 2);
    body.insert(body.end(), object_name.begin(), object_name.end());
    for (const Property& p : props) {
        const Bytes data = value_bytes(format, p);
        append_le(body, 8 + data.size(), 2);
        body.push_back(p.ddl ? 1 : 0);
        body.push_back(static_cast<std::uint8_t>(p.type));
        append_le(body, name_index(names, p.name), 2);
        append_le(body, data.size(), 2);
        body.insert(body.end(), data.begin(), data.end());
    }
    Bytes chunk;
    append_le(chunk, 6 + body.size(), 4);
    append_le(chunk, type, 2);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

}  // namespace

bool TableProperties::empty() const {
    return table.empty() && std::all_of(columns.begin(), columns.end(),
                                        [](const ColumnProperties& c) { return c.properties.empty(); });
}

Bytes encode_properties(const Format& format, const TableProperties& properties) {
    std::vector<std::string> names;
    Bytes values;
    if (!properties.table.empty()) {
        Bytes c = value_chunk(format, kTableChunk, {}, properties.table, names);
        values.insert(values.end(), c.begin(), c.end());
    }
    for (const ColumnProperties& col : properties.columns) {
        if (col.properties.empty()) continue;
        Bytes c = value_chunk(format, kColumnChunk, col.column, col.properties, names);
        values.insert(values.end(), c.begin(), c.end());
    }
    Bytes name_body;
    for (const std::string& n : names) {
        const Bytes b = text_bytes(format, n);
        append_le(name_body, b.size(), 2);
        name_body.insert(name_body.end(), b.begin(), b.end());
    }
    Bytes out = format.jet4() ? Bytes{'M', 'R', '2', 0} : Bytes{'K', 'K', 'D', 0};
    append_le(out, 6 + name_body.size(), 4);
    append_le(out, kNameChunk, 2);
    out.insert(out.end(), name_body.begin(), name_body.end());
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

Property default_value_property(const std::string& expression) {
    return Property{"DefaultValue", ColumnType::Memo, Value::text(expression)};
}
Property required_property(bool required) { return Property{"Required", ColumnType::Boolean, Value::boolean(required)}; }
Property allow_zero_length_property(bool allowed) {
    return Property{"AllowZeroLength", ColumnType::Boolean, Value::boolean(allowed)};
}
Property text_property(const std::string& name, const std::string& text) {
    return Property{name, ColumnType::Text, Value::text(text)};
}

}  // namespace jet
