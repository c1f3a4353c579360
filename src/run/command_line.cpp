// The "/f:[" ... "]" switch. The closing bracket is looked for after the marker, so that a
// "]" in an earlier argument cannot give a negative length.
#include "run/command_line.h"

namespace sim {

std::string GetCommandLine(std::string_view arguments) {
    constexpr std::string_view marker = "/f:[";
    const auto a = arguments.find(marker);
    if (a == std::string_view::npos) return {};
    const auto start = a + marker.size();
    const auto b = arguments.find(']', start);
    if (b == std::string_view::npos) return {};
    return std::string(arguments.substr(start, b - start));
}

}  // namespace sim
