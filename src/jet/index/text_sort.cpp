// Text sort keys. Jet writes the base letters of a text first, then (General Legacy) an accent
// stream and an "unprintable" stream for characters such as ' and -, or (General 97) an accent
// stream of 4-bit codes; descending keys are the same bytes inverted.
#include "jet/index/text_sort.h"

#include "jet/index/text_sort_tables.h"

#include <array>
#include <charconv>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace jet {

using text_sort_detail::CharCode;

namespace {

constexpr std::size_t kMaxIndexedChars = 255;

// Characters beyond U+00FF that Access 97 folds onto a code of Windows-1252.
constexpr std::pair<char32_t, std::uint8_t> kGeneral97Extended[] = {
    {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0178, 0x9F}, {0x017D, 0x8E},
    {0x017E, 0x9E}, {0x0192, 0x83}, {0x02C6, 0x88}, {0x02DC, 0x98}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82}, {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B},
    {0x203A, 0x9B}, {0x20AC, 0x80}, {0x2122, 0x99},
};

// UTF-8 to code points; false on malformed input.
bool decode_utf8(std::string_view s, std::u32string& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<std::uint8_t>(s[i]);
        std::size_t extra = 0;
        char32_t c = lead;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) extra = 1, c = lead & 0x1F;
            else if ((lead & 0xF0) == 0xE0) extra = 2, c = lead & 0x0F;
            else if ((lead & 0xF8) == 0xF0) extra = 3, c = lead & 0x07;
            else return false;
        }
        if (i + extra >= s.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cont = static_cast<std::uint8_t>(s[i + k]);
            if ((cont & 0xC0) != 0x80) return false;
            c = c << 6 | (cont & 0x3F);
        }
        out.push_back(c);
        i += extra + 1;
    }
    return true;
}

// The characters that take part in a key: the first 255, without trailing spaces.
std::u32string key_chars(std::string_view utf8, bool& ok) {
    std::u32string chars;
    ok = decode_utf8(utf8, chars);
    if (chars.size() > kMaxIndexedChars) chars.resize(kMaxIndexedChars);
    while (!chars.empty() && chars.back() == U' ') chars.pop_back();
    return chars;
}

const CharCode* general97_code(char32_t c) {
    if (c <= 0xFF) return &text_sort_detail::kGeneral97[c];
    for (const auto& [from, to] : kGeneral97Extended)
        if (from == c) return &text_sort_detail::kGeneral97[to];
    return nullptr;
}

void invert(Bytes& out, std::size_t from) {
    for (std::size_t i = from; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

// Access 97: inline codes, then (only when accents occur) a stream of 4-bit accent codes that
// starts and ends with a 0 nibble; base letters since the previous accent count as nibble 2.
bool general97_key(Bytes& out, const std::u32string& chars, bool ascii_only) {
    Bytes nibbles;
    bool any_accent = false;
    std::size_t base_letters = 0;
    for (char32_t c : chars) {
        const CharCode* code = ascii_only && c >= 0x80 ? nullptr : general97_code(c);
        if (code == nullptr) return false;
        out.insert(out.end(), code->bytes, code->bytes + code->length);
        if (code->kind == 'G') {
            ++base_letters;
        } else if (code->kind == 'I') {
            if (!any_accent) nibbles.push_back(0);
            any_accent = true;
            nibbles.insert(nibbles.end(), base_letters, 2);
            nibbles.push_back(static_cast<std::uint8_t>(code->extra >> 4));
            base_letters = 0;
        }
    }
    if (!any_accent) {
        out.push_back(0x00);
        return true;
    }
    nibbles.push_back(0);
    for (std::size_t i = 0; i < nibbles.size(); i += 2) {
        const std::uint8_t low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
        out.push_back(static_cast<std::uint8_t>(nibbles[i] << 4 | low));
    }
    return true;
}

// A few bytes kept in place: the codes number tens of thousands, none longer than eight bytes.
struct ShortBytes {
    std::uint8_t size = 0;
    std::array<std::uint8_t, 8> bytes{};

    static ShortBytes of(std::span<const std::uint8_t> from) {   // callers keep to eight bytes
        ShortBytes b;
        for (std::uint8_t byte : from) b.bytes[b.size++] = byte;
        return b;
    }
    const std::uint8_t* begin() const { return bytes.data(); }
    const std::uint8_t* end() const { return bytes.data() + size; }
    bool empty() const { return size == 0; }
};

// A character's code in the General Legacy style orders, tables and extended range alike.
struct SortCode {
    char kind = 'X';   // as in text_sort_tables.h
    ShortBytes inline_bytes;
    ShortBytes extra;  // accent bytes ('I', 'Z'), unprintable code ('U'), accent increment ('P')
    std::uint8_t flag = 0;  // 'Z': its two-bit code in the flag stream
};

// Hex digits to bytes (a leading 0 is left out of odd-length strings); nullopt when malformed.
std::optional<Bytes> hex_bytes(std::string_view hex) {
    std::string digits(hex.size() % 2, '0');
    digits += hex;
    Bytes out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        unsigned byte = 0;
        const auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, byte, 16);
        if (error != std::errc() || end != digits.data() + i + 2) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(byte));
    }
    return out;
}

// One code of the extended tables; what we cannot read counts as '?', a code we do not write.
SortCode parse_extended(std::string_view text) {
    const SortCode unreadable{'?', {}, {}, 0};
    if (text.empty()) return unreadable;
    std::vector<Bytes> parts;
    for (std::string_view rest = text.substr(1);;) {
        const std::size_t comma = rest.find(',');
        const std::optional<Bytes> part = hex_bytes(rest.substr(0, comma));
        if (!part || part->size() > 8) return unreadable;
        parts.push_back(*part);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    const char kind = text[0];
    const std::size_t n = parts.size();
    const ShortBytes first = ShortBytes::of(parts[0]);
    const ShortBytes second = n > 1 ? ShortBytes::of(parts[1]) : ShortBytes{};
    if (kind == 'X' && n == 1 && first.empty()) return {'X', {}, {}, 0};
    if (kind == 'S' && n == 1 && !first.empty()) return {'S', first, {}, 0};
    if (kind == 'U' && n == 1 && !first.empty()) return {'U', {}, first, 0};
    if (kind == 'P' && n == 1 && first.size == 1) return {'P', {}, first, 0};
    if (kind == 'I' && n == 2 && !first.empty() && !second.empty()) return {'I', first, second, 0};
    if (kind == 'Z' && n == 3 && !first.empty())
        return {'Z', first, second, static_cast<std::uint8_t>(text.ends_with(",1") ? 2 : 3)};
    return unreadable;
}

// A collation's codes: U+0000..U+00FF and the runs of the extended tables.
class SortCodes {
public:
    SortCodes(const CharCode (&table)[256], std::span<const text_sort_detail::CodeRun> runs,
              std::span<const text_sort_detail::CountedBlock> counted) {
        std::vector<SortCode> latin1;
        for (const CharCode& c : table) {
            SortCode code{c.kind, ShortBytes::of(std::span(c.bytes, c.length)), {}, 0};
            if (c.kind == 'I' || c.kind == 'U') code.extra = ShortBytes::of(std::span(&c.extra, 1));
            latin1.push_back(std::move(code));
        }
        runs_.emplace_back(0, std::move(latin1));
        for (const text_sort_detail::CodeRun& run : runs) {
            const auto& [first, codes] = runs_.back();
            if (run.first != first + codes.size()) runs_.emplace_back(run.first, std::vector<SortCode>{});  // else it goes on
            for (const char* text : run.codes) runs_.back().second.push_back(parse_extended(text));
        }
        for (const text_sort_detail::CountedBlock& block : counted) runs_.emplace_back(block.first, counted_codes(block));
    }

    // Null for a character outside every run; the first run that holds it decides.
    const SortCode* find(char32_t c) const {
        for (const auto& [first, codes] : runs_)
            if (c >= first && c - first < codes.size()) return &codes[c - first];
        return nullptr;
    }

private:
    static std::vector<SortCode> counted_codes(const text_sort_detail::CountedBlock& block) {
        auto step = [](std::uint16_t code) { return static_cast<unsigned>(code >> 8) * 254 + (code & 0xFF) - 2; };
        auto skipped = block.skipped.begin();
        unsigned count = 0;
        std::vector<SortCode> codes;
        for (char32_t c = block.first; c <= block.last; ++c, ++count) {
            const std::size_t at = c - block.first;
            if (at % block.group_size == 0) count = step(block.starts[at / block.group_size]);
            while (skipped != block.skipped.end() && step(*skipped) <= count) {
                if (step(*skipped) == count) ++count;
                ++skipped;
            }
            Bytes bytes(block.prefix.begin(), block.prefix.end());
            bytes.push_back(static_cast<std::uint8_t>(count / 254));
            bytes.push_back(static_cast<std::uint8_t>(count % 254 + 2));
            SortCode code{'S', ShortBytes::of(bytes), {}, 0};
            codes.push_back(std::move(code));
        }
        return codes;
    }

    std::vector<std::pair<char32_t, std::vector<SortCode>>> runs_;
};

const SortCodes& codes_of(TextCollation collation) {
    static const SortCodes legacy(text_sort_detail::kGeneralLegacy, text_sort_detail::kGeneralLegacyRuns,
                                  text_sort_detail::kGeneralLegacyCounted);
    static const SortCodes general(text_sort_detail::kGeneral, text_sort_detail::kGeneralRuns,
                                   text_sort_detail::kGeneralCounted);
    return collation == TextCollation::General ? general : legacy;
}

// The flags of 'Z' characters (kana among them): trailing 3s dropped, the rest packed three to
// a byte after 0x80, then a fixed suffix that comes even when no flag is left.
void append_flags(Bytes& out, Bytes flags) {
    while (!flags.empty() && flags.back() == 0x03) flags.pop_back();
    for (std::size_t i = 0; i < flags.size(); i += 3) {
        std::uint8_t byte = 0x80;
        for (std::size_t k = 0; k < 3 && i + k < flags.size(); ++k)
            byte = static_cast<std::uint8_t>(byte | flags[i + k] << (2 * (2 - k)));
        out.push_back(byte);
    }
    out.insert(out.end(), {0xFF, 0x02, 0x80, 0xFF, 0x80});
}

// Access 2000-2007 "General Legacy", and Access 2010+ "General" with codes of its own: inline
// codes and 0x01, then the accent stream (0x02 for every earlier character without an accent,
// trailing 0x00-0x02 dropped); then, when there are flags or unprintable characters, 01 01,
// the flags (and 0xFF when unprintables follow), and for unprintable characters 01 and per
// character its position code, 0x06 and its own code. A combining mark ('P') raises the accent byte before
// it; one that comes first starts the stream and does not count in unprintable positions.
bool general_legacy_key(Bytes& out, const std::u32string& chars, const SortCodes& codes) {
    Bytes accents;
    std::size_t accent_chars = 0;
    std::size_t accent_prefix = 0;
    bool have_accents = false;
    Bytes unprintables;
    Bytes flags;
    std::size_t inline_chars = 0;
    for (char32_t c : chars) {
        const SortCode* found = codes.find(c);
        if (found == nullptr || found->kind == '?') return false;
        const SortCode& code = *found;
        const std::size_t position = inline_chars;
        out.insert(out.end(), code.inline_bytes.begin(), code.inline_bytes.end());
        if (!code.inline_bytes.empty()) ++inline_chars;
        if (code.kind == 'Z') flags.push_back(code.flag);
        if (code.kind == 'I' || code.kind == 'P' || (code.kind == 'Z' && !code.extra.empty())) {
            have_accents = true;
            if (accent_chars < position) {
                accents.insert(accents.end(), position - accent_chars, 0x02);
                accent_chars = position;
            }
            if (code.kind != 'P') {
                accents.insert(accents.end(), code.extra.begin(), code.extra.end());
                ++accent_chars;
            } else if (!accents.empty()) {
                accents.back() = static_cast<std::uint8_t>(accents.back() + code.extra.bytes[0]);
            } else {
                accents.push_back(code.extra.bytes[0]);
                accent_prefix = 1;
            }
        } else if (code.kind == 'U') {
            // The position counts the accent bytes written so far when an accent stream exists.
            const std::size_t pos =
                have_accents ? accents.size() + (position - accent_chars) - accent_prefix : position;
            const auto marker = static_cast<std::uint32_t>((7 + 4 * pos) | 0x8000);
            unprintables.push_back(static_cast<std::uint8_t>(marker >> 8 & 0xFF));
            unprintables.push_back(static_cast<std::uint8_t>(marker & 0xFF));
            unprintables.push_back(0x06);
            unprintables.insert(unprintables.end(), code.extra.begin(), code.extra.end());
        }
    }
    out.push_back(0x01);
    while (!accents.empty() && accents.back() <= 0x02) accents.pop_back();
    out.insert(out.end(), accents.begin(), accents.end());
    if (flags.empty() && unprintables.empty()) return true;
    out.insert(out.end(), {0x01, 0x01});
    if (!flags.empty()) {
        append_flags(out, flags);
        if (!unprintables.empty()) out.push_back(0xFF);
    }
    if (!unprintables.empty()) {
        out.push_back(0x01);
        out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
    return true;
}

}  // namespace

std::optional<TextCollation> text_collation(const Format& format, const Column& column) {
    // Jet 3 files record 1033 or leave the sort order 0 for "General".
    if (format.jet3()) {
        if (column.sort_order != 0x0409 && column.sort_order != 0) return std::nullopt;
        return column.code_page == 1252 || column.code_page == 0 ? TextCollation::General97
                                                                 : TextCollation::General97Ascii;
    }
    if (column.sort_order != 0x0409 && column.sort_order != 0) return std::nullopt;
    if (column.sort_version == 0) return TextCollation::GeneralLegacy;
    if (column.sort_version == 1) return TextCollation::General;
    return std::nullopt;
}

bool append_text_sort_key(Bytes& out, std::string_view utf8, TextCollation collation, bool ascending) {
    bool ok = true;
    const std::u32string chars = key_chars(utf8, ok);
    if (!ok) return false;
    const std::size_t start = out.size();
    const bool jet3 = collation == TextCollation::General97 || collation == TextCollation::General97Ascii;
    const bool encoded =
        jet3 ? general97_key(out, chars, collation == TextCollation::General97Ascii)
             : general_legacy_key(out, chars, codes_of(collation));
    if (!encoded) {
        out.resize(start);
        return false;
    }
    if (jet3) {
        if (!ascending) invert(out, start);
        return true;
    }
    out.push_back(0x00);
    if (!ascending) {
        invert(out, start);
        out.push_back(0x00);
    }
    return true;
}

}  // namespace jet
