// The per-character code tables behind text_sort.cpp (one entry per code U+0000..U+00FF).
// Kinds: 'S' inline bytes only (up to four); 'G' inline bytes, counted as a base letter by the Access 97
// accent stream; 'I' inline bytes plus an accent code; 'U' no inline bytes, the code goes to
// the "unprintable" stream; 'X' ignored.
#pragma once

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

}  // namespace jet::text_sort_detail
