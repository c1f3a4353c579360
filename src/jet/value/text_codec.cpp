// Text conversions. Decoding never fails: damaged text yields replacement characters, so a
// bad byte in one value cannot stop a whole scan.
#include "jet/value/text_codec.h"

#include <array>

namespace jet {
namespace {

// Windows-1252 0x80..0x9F; the rest of the upper half equals Latin-1. 0 = undefined.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;

bool is_latin1(std::uint16_t code_page) { return code_page == 28591; }

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Appends UTF-16 units as UTF-8, pairing surrogates; `pending` carries a high surrogate
// between calls.
struct Utf16ToUtf8 {
    std::string out;
    char16_t pending = 0;
    void unit(char16_t u) {
        if (pending) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((static_cast<std::uint32_t>(pending) - 0xD800) << 10) + (u - 0xDC00u));
                pending = 0;
                return;
            }
            append_utf8(out, kReplacement);
            pending = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF) pending = u;
        else if (u >= 0xDC00 && u <= 0xDFFF) append_utf8(out, kReplacement);
        else append_utf8(out, u);
    }
    std::string finish() {
        if (pending) append_utf8(out, kReplacement);
        pending = 0;
        return std::move(out);
    }
};

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = kReplacement;
        std::size_t extra = 0;
        if (c < 0x80) cp = c;
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1Fu; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0Fu; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07u; extra = 3; }
        else { out.push_back(kReplacement); ++i; continue; }
        if (i + extra >= s.size()) {  // truncated sequence
            out.push_back(kReplacement);
            break;
        }
        bool ok = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) { ok = false; break; }
            cp = cp << 6 | (cc & 0x3Fu);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

Bytes encode_utf16le(const std::u16string& units) {
    Bytes out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

std::string decode_utf16le(const std::uint8_t* data, std::size_t size) {
    Utf16ToUtf8 conv;
    conv.out.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) conv.unit(static_cast<char16_t>(get_u16(data + i)));
    return conv.finish();
}

Bytes encode_compressed_unicode(const std::u16string& units) {
    bool compressible = units.size() > 2 && units.size() <= 1024;
    for (std::size_t i = 0; compressible && i < units.size(); ++i)
        compressible = units[i] >= 0x01 && units[i] <= 0xFF;
    if (!compressible) return encode_utf16le(units);
    Bytes out;
    out.reserve(units.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (char16_t u : units) out.push_back(static_cast<std::uint8_t>(u));
    return out;
}

std::string decode_jet4_text(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) return decode_utf16le(data, size);
    Utf16ToUtf8 conv;
    conv.out.reserve(size);
    bool compressed = true;
    std::size_t i = 2;
    while (i < size) {
        if (data[i] == 0) {  // mode switch, only ever at a character boundary
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            conv.unit(data[i++]);
        } else if (i + 1 < size) {
            conv.unit(static_cast<char16_t>(get_u16(data + i)));
            i += 2;
        } else {
            break;  // a lone trailing byte carries no character
        }
    }
    return conv.finish();
}

Bytes encode_code_page(std::string_view utf8, std::uint16_t code_page) {
    const std::u16string units = utf8_to_utf16(utf8);
    Bytes out;
    out.reserve(units.size());
    for (char16_t u : units) {
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (is_latin1(code_page) && u <= 0xFF)) {
            out.push_back(static_cast<std::uint8_t>(u));
            continue;
        }
        std::uint8_t b = '?';
        if (!is_latin1(code_page))
            for (std::size_t k = 0; k < kCp1252High.size(); ++k)
                if (kCp1252High[k] == u) b = static_cast<std::uint8_t>(0x80 + k);
        out.push_back(b);
    }
    return out;
}

std::string decode_code_page(const std::uint8_t* data, std::size_t size, std::uint16_t code_page) {
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else if (b >= 0xA0 || is_latin1(code_page)) {
            append_utf8(out, b);
        } else {
            const char16_t u = kCp1252High[b - 0x80u];
            append_utf8(out, u ? u : b);  // undefined 1252 bytes map to C1 controls, as Windows does
        }
    }
    return out;
}

}  // namespace jet
