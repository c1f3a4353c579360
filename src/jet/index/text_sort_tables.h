// The per-character code tables behind text_sort.cpp.
//
// U+0000..U+00FF, one entry per code. Kinds: 'S' inline bytes only (up to four); 'G' inline
// bytes, counted as a base letter by the Access 97 accent stream; 'I' inline bytes plus an
// accent code; 'U' no inline bytes, the code goes to the "unprintable" stream; 'X' ignored.
//
// U+0100..U+06FF (Latin Extended-A and -B, IPA, spacing and combining marks, Greek, Cyrillic,
// Armenian, Hebrew, Arabic) for the two General Legacy style orders, one string per code in
// the notation of the Jackcess code tables: the kind letter, the inline bytes in hex, after a
// comma the accent bytes. Beyond 'S', 'I', 'U' and 'X' these use 'P', a mark whose byte adds
// to the accent of the character before it, and 'Z', codes we do not write.
#pragma once

#include <cstddef>
#include <cstdint>

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

constexpr char32_t kExtendedFirst = 0x0100;
constexpr char32_t kExtendedLast = 0x06FF;
constexpr std::size_t kExtendedCount = kExtendedLast - kExtendedFirst + 1;
extern const char* const kGeneralLegacyExtended[kExtendedCount];
extern const char* const kGeneralExtended[kExtendedCount];

}  // namespace jet::text_sort_detail
