// Value formatting shared by `tlw dump` and `tlw info`.
#include "value_text.h"

#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <fmt/ranges.h>

namespace tlw {
namespace {

template <typename F>
std::string shortest(F v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : "null";
}

}  // namespace

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) out += fmt::format("\\u{:04x}", c);
            else out += ch;
        }
    }
    return out + "\"";
}

std::string base64(const jet::Bytes& b) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((b.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < b.size(); i += 3) {
        const std::uint32_t n = static_cast<std::uint32_t>(b[i]) << 16 |
                                (i + 1 < b.size() ? static_cast<std::uint32_t>(b[i + 1]) << 8 : 0) |
                                (i + 2 < b.size() ? b[i + 2] : 0u);
        out += abc[n >> 18 & 63];
        out += abc[n >> 12 & 63];
        out += i + 1 < b.size() ? abc[n >> 6 & 63] : '=';
        out += i + 2 < b.size() ? abc[n & 63] : '=';
    }
    return out;
}

std::string json_value(const jet::Value& v) {
    using K = jet::ValueKind;
    switch (v.kind()) {
    case K::Null: return "null";
    case K::Boolean: return v.as_bool() ? "true" : "false";
    case K::Byte: return std::to_string(v.as_byte());
    case K::Integer: return std::to_string(v.as_int16());
    case K::Long: return std::to_string(v.as_int32());
    case K::Currency: return jet::currency_text(v.as_currency());
    case K::Single: return shortest(v.as_single());
    case K::Double: return shortest(v.as_double_raw());
    case K::DateTime: return json_string(jet::iso_text(v.as_date()));
    case K::Text: return json_string(v.as_text_raw());
    case K::Binary: return json_string(base64(v.as_binary()));
    case K::Guid: return json_string(jet::guid_text(v.as_guid()));
    case K::Decimal: return json_string(jet::decimal_text(v.as_decimal()));
    }
    return "null";
}

std::vector<std::string> index_column_names(const jet::TableDef& def, std::uint32_t real_index) {
    std::vector<std::string> names;
    if (real_index >= def.real_indexes.size()) return names;
    for (const jet::IndexColumn& ic : def.real_indexes[real_index].columns) {
        const jet::Column* c = def.column_by_number(ic.column_number);
        names.push_back(c ? c->name : fmt::format("#{}", ic.column_number));
    }
    return names;
}

std::string json_columns(const jet::TableDef& def) {
    std::string out = "[";
    for (std::size_t k = 0; k < def.columns.size(); ++k) {
        const jet::Column& c = def.columns[k];
        out += fmt::format("{}{{\"name\": {}, \"type\": \"{}\", \"length\": {}}}", k ? ", " : "", json_string(c.name),
                           jet::column_type_name(c.type), c.length);
    }
    return out + "]";
}

std::string json_indexes(const jet::TableDef& def) {
    std::string out = "[";
    for (std::size_t k = 0; k < def.logical_indexes.size(); ++k) {
        const jet::LogicalIndex& li = def.logical_indexes[k];
        std::string cols;
        for (const std::string& n : index_column_names(def, li.real_index)) cols += (cols.empty() ? "" : ", ") + json_string(n);
        const bool unique = li.real_index < def.real_indexes.size() && def.real_indexes[li.real_index].unique();
        out += fmt::format("{}{{\"name\": {}, \"columns\": [{}], \"primary\": {}, \"unique\": {}}}", k ? ", " : "",
                           json_string(li.name), cols, li.type == jet::LogicalIndexType::Primary ? "true" : "false",
                           unique ? "true" : "false");
    }
    return out + "]";
}

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csv_value(const jet::Value& v) {
    using K = jet::ValueKind;
    switch (v.kind()) {
    case K::Null: return "";
    case K::Text: return csv_field(v.as_text_raw());
    case K::DateTime: case K::Binary: case K::Guid: case K::Decimal: {
        std::string s = json_value(v);
        return s.substr(1, s.size() - 2);
    }
    default: return json_value(v);
    }
}

FieldText::FieldText(jet::Database& db, const jet::TableDef& def) : complex_(def.columns.size()) {
    for (std::size_t k = 0; k < def.columns.size(); ++k)
        if (def.columns[k].type == jet::ColumnType::Complex) {
            jet::ComplexColumnValues values = jet::read_complex_column(db, def, def.columns[k]);
            if (values.kind != jet::ComplexKind::Unknown) complex_[k] = std::move(values);  // else the key shows
        }
}

const jet::ComplexValue* FieldText::complex(std::size_t column, const jet::Value& v) const {
    if (column >= complex_.size() || !complex_[column] || v.kind() != jet::ValueKind::Long) return nullptr;
    return &complex_[column]->of(v.as_int32());
}

std::string FieldText::json(std::size_t column, const jet::Value& v) const {
    const jet::ComplexValue* c = complex(column, v);
    if (!c) return json_value(v);
    std::vector<std::string> items;
    for (const jet::Value& value : c->values) items.push_back(json_value(value));
    for (const jet::Attachment& a : c->attachments)
        items.push_back(fmt::format("{{\"name\": {}, \"type\": {}, \"size\": {}}}", json_string(a.name),
                                    json_string(a.type), a.size));
    for (const jet::MemoVersion& m : c->versions)
        items.push_back(fmt::format("{{\"value\": {}, \"modified\": {}}}", json_value(m.text), json_value(m.modified)));
    return "[" + fmt::format("{}", fmt::join(items, ", ")) + "]";
}

std::string FieldText::csv(std::size_t column, const jet::Value& v) const {
    const jet::ComplexValue* c = complex(column, v);
    if (!c) return csv_value(v);
    std::vector<std::string> items;
    for (const jet::Value& value : c->values) items.push_back(value.is_null() ? "" : jet::to_text(value));
    for (const jet::Attachment& a : c->attachments) items.push_back(a.name);
    for (const jet::MemoVersion& m : c->versions) items.push_back(m.text.is_null() ? "" : jet::to_text(m.text));
    return csv_field(fmt::format("{}", fmt::join(items, "; ")));
}

}  // namespace tlw
