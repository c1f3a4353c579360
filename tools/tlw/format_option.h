// The file format of the commands that create databases: --format, with the older --jet3 and
// --jet4 flags kept as its shorthands.
#pragma once

#include "jet/storage/file_header.h"

#include <CLI/CLI.hpp>

#include <string>

namespace tlw {

class FormatOption {
public:
    // Adds --format, --jet3 and --jet4 to `cmd`; the choice stays in this object.
    void add_to(CLI::App& cmd);
    jet::FileVersion version() const;

private:
    std::string name_ = "jet4";
};

}  // namespace tlw
