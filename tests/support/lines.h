// Lists of messages (check reports, movement problems) as one text, one message a line, so a
// failing expectation shows them all; and a program's output as its lines.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace testsupport
