// Jet names (tables, columns, indexes, properties) are compared without regard to ASCII case.
#pragma once

#include <string_view>

namespace jet {

// Plain ASCII folding: independent of the C locale, and cheap on the hot path of field access.
// Bytes that differ may still be one ASCII letter in two cases (they then differ in 0x20 alone).
inline bool names_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        const char lower = static_cast<char>(a[i] | 0x20);
        if ((a[i] ^ b[i]) != 0x20 || lower < 'a' || lower > 'z') return false;
    }
    return true;
}

}  // namespace jet
