// Stored field values. Decoding reuses what the Value holds, so a scan that refills one Value
// per field allocates only for text and binary contents.
#include "jet/value/stored_value.h"

#include "jet/value/text_codec.h"

#include <cstring>

namespace jet {
namespace {

template <typename T>
T load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);  // the file is little-endian, as are our targets
    return v;
}

// Text as stored, to UTF-8, into `out`. Plain ASCII, by far the most common content, is
// copied as is.
void decode_text(std::string& out, const Format& format, const std::uint8_t* p, std::size_t n, std::uint16_t code_page) {
    auto ascii = [](const std::uint8_t* from, const std::uint8_t* to) {
        for (; from != to; ++from)
            if (*from == 0 || *from >= 0x80) return false;
        return true;
    };
    if (format.jet3()) {
        if (ascii(p, p + n))
            out.assign(reinterpret_cast<const char*>(p), n);
        else
            out = decode_code_page(p, n, code_page);
        return;
    }
    const bool compressed = n >= 2 && p[0] == 0xFF && p[1] == 0xFE;  // a zero byte would switch modes
    if (compressed && ascii(p + 2, p + n))
        out.assign(reinterpret_cast<const char*>(p + 2), n - 2);
    else
        out = decode_jet4_text(p, n);
}

}  // namespace

bool decode_plain_value(Value& out, const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                        std::uint16_t code_page, std::uint8_t scale) {
    if (type != ColumnType::Boolean && n < fixed_length(type)) return false;
    switch (type) {
    case ColumnType::Boolean: out.refill(n > 0 && p[0] != 0); break;
    case ColumnType::Byte: out.refill(p[0]); break;
    case ColumnType::Integer: out.refill(load<std::int16_t>(p)); break;
    case ColumnType::Long: out.refill(load<std::int32_t>(p)); break;
    case ColumnType::Currency: out.refill(Currency{load<std::int64_t>(p)}); break;
    case ColumnType::Single: out.refill(load<float>(p)); break;
    case ColumnType::Double: out.refill(load<double>(p)); break;
    case ColumnType::DateTime: out.refill(DateTime{load<double>(p)}); break;
    case ColumnType::Guid: {
        Guid g;
        std::memcpy(g.bytes.data(), p, 16);
        out.refill(g);
        break;
    }
    case ColumnType::Decimal: {
        Decimal d;
        d.negative = (p[0] & 0x80) != 0;
        for (int word = 0; word < 4; ++word)  // most significant 32-bit word first, each little-endian
            d.magnitude = d.magnitude << 32 | load<std::uint32_t>(p + 1 + 4 * word);
        d.scale = scale;
        out.refill(d);
        break;
    }
    case ColumnType::Text:
    case ColumnType::Memo: decode_text(out.refill_text(), format, p, n, code_page); break;
    default: out = Value::binary(Bytes(p, p + n));
    }
    return true;
}

std::optional<Value> decode_plain_value(const Format& format, ColumnType type, const std::uint8_t* p, std::size_t n,
                                        std::uint16_t code_page, std::uint8_t scale) {
    Value v;
    if (!decode_plain_value(v, format, type, p, n, code_page, scale)) return std::nullopt;
    return v;
}

}  // namespace jet
