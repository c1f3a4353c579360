// An attachment's file as Access keeps it in the FileData column of an attachment column's
// hidden table: a type (0 stored as is, 1 deflated) and the unpacked length (4 bytes each),
// then the contents, which open with a header of their own (its length first, then the file's
// extension) before the file's bytes.
#pragma once

#include "jet/base/bytes.h"

#include <string>

namespace jet {

// The file's bytes; 3049 naming `where` (the attachment) when the stored form does not read.
Bytes attachment_file(const Bytes& stored, const std::string& where);

}  // namespace jet
