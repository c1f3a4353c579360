// The per-character code tables behind text_sort.cpp.
//
// U+0000..U+00FF, one entry per code. Kinds: 'S' inline bytes only (up to four); 'G' inline
// bytes, counted as a base letter by the Access 97 accent stream; 'I' inline bytes plus an
// accent code; 'U' no inline bytes, the code goes to the "unprintable" stream; 'X' ignored.
//
// Beyond U+00FF, runs of code points (text_sort_extended_tables.cpp says which) for the two
// General Legacy style orders, one string per code in the notation of the Jackcess code
// tables: the kind letter, the inline bytes in hex, after a comma the accent bytes. Beyond
// 'S', 'I', 'U' and 'X' these use 'P', a mark whose byte adds to the accent of the character
// before it, and 'Z' (kana among them): inline bytes, accent bytes or none, and a flag, 1 or 2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace jet::text_sort_detail {

struct CharCode {
    char kind;
    std::uint8_t length;        // inline bytes used
    std::uint8_t bytes[4];
    std::uint8_t extra;         // accent code ('I') or unprintable code ('U')
};

extern const CharCode kGeneral97[256];
extern const CharCode kGeneralLegacy[256];
extern const CharCode kGeneral[256];   // Access 2010+ "General"

// A run of consecutive code points of the extended tables, from `first` on.
struct CodeRun {
    char32_t first;
    std::span<const char* const> codes;
};

extern const std::span<const CodeRun> kGeneralLegacyRuns;
extern const std::span<const CodeRun> kGeneralRuns;

// Blocks whose codes are a count (CJK ideographs, Hangul syllables): inline bytes `prefix`,
// then a two-byte count, its low byte running 02..FF, that goes up one per character and
// passes over `skipped` (codes other characters take). The block is cut into groups of
// `group_size` characters, each counting from its own entry of `starts` (Hangul syllables by
// their first consonant). A code of the runs above takes the place of a counted one.
struct CountedBlock {
    char32_t first, last;
    std::size_t group_size;
    std::span<const std::uint16_t> starts;
    std::span<const std::uint8_t> prefix;
    std::span<const std::uint16_t> skipped;
};

extern const std::span<const CountedBlock> kGeneralLegacyCounted;
extern const std::span<const CountedBlock> kGeneralCounted;

}  // namespace jet::text_sort_detail
