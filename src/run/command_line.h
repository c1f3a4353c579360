// The database path named on the command line: the text between the marker "/f:[" and the
// first "]" after it, taken as it stands (spaces and quotes included).
#pragma once

#include <string>
#include <string_view>

namespace sim {

// `arguments` is the command line after the program's own name, as one text. Returns an
// empty text when there is no marker (matched case-sensitively) or no "]" after it.
std::string GetCommandLine(std::string_view arguments);

}  // namespace sim
