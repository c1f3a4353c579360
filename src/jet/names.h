// Jet names (tables, columns, indexes, properties) are compared without regard to ASCII case.
#pragma once

#include <cctype>
#include <string_view>

namespace jet {

inline bool names_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace jet
