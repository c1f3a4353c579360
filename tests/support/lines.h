// Lists of messages (check reports, movement problems) as one text, one message a line, so a
// failing expectation shows them all.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

inline std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

}  // namespace testsupport
