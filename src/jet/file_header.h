// Page 0: recognises a Jet 3 or Jet 4 database and refuses, with a message naming the file,
// what the engine cannot open (not a Jet file, Access 2007+, a password, encryption,
// a truncated file). Also unmasks and re-masks the header's masked region.
#pragma once

#include "format.h"
#include "value.h"

#include <string>

namespace jet {

// Reads page 0 from the open file and returns the format it declares; throws JetError.
const Format& recognise_header(const std::string& path, int fd);

// XOR-mask the masked region of a page 0 image in place (the same call masks and unmasks).
void toggle_header_mask(Bytes& page0, const Format& format);

}  // namespace jet
