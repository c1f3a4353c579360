// The names the tools give the file formats they create, for `--format` of tlw and the
// benchmarks: jet3, jet4, ace2007, ace2010, ace2016.
#pragma once

#include "jet/storage/file_header.h"

#include <map>
#include <string>

namespace event {

const std::map<std::string, jet::FileVersion>& format_names();

}  // namespace event
