// Page 0: recognises a Jet 3, Jet 4 or ACE (Access 2007-2019) database, names its version, and
// refuses, with a message naming the file, what the engine cannot open (not a Jet file, a
// version newer than ACE 17, a password, encryption, a truncated file). Also unmasks and
// re-masks the header's masked region, and writes page 0 of a new file.
#pragma once

#include "jet/base/bytes.h"
#include "jet/storage/format.h"

#include <cstdint>
#include <string>

namespace jet {

// What page 0 declares, once it has been accepted.
struct HeaderInfo {
    const Format* format = nullptr;
    std::uint8_t version = 0;        // the byte at 0x14: 0 Jet 3, 1 Jet 4, 2-6 ACE 12-17
    std::uint16_t code_page = 0;     // of Jet 3 text
    std::uint16_t sort_order = 0;    // LCID of the database's default collation
    std::uint8_t sort_version = 0;   // Jet 4/ACE: 0 "General Legacy", 1 "General"; new text columns get it
};

// The versions new files are written in, by their byte at 0x14.
enum class FileVersion : std::uint8_t { Jet3 = 0, Jet4 = 1, Ace2007 = 2, Ace2010 = 3, Ace2016 = 5 };

const Format& format_of(FileVersion version);
// The default sort order's version a new file declares: "General" from Access 2010 on.
std::uint8_t new_sort_version(FileVersion version);
// Page 0 of a new file (masked, as stored): no password, code page 1252, sort order 1033,
// created at `created` (days since 1899-12-30, as Jet stores dates).
Bytes new_header_page(FileVersion version, double created);

// "Access 97 (Jet 3)", "Access 2000-2003 (Jet 4)", "Access 2010 (ACE 14)", ... for the byte at 0x14.
std::string version_name(std::uint8_t version);

// Checks a raw (still masked) page 0 image of a file of file_size bytes; throws JetError
// naming `path` for anything we cannot open.
HeaderInfo parse_header(const std::string& path, const Bytes& raw_page0, std::uint64_t file_size);
// Reads page 0 from the open file and checks it as above.
HeaderInfo read_header(const std::string& path, int fd);
// Reads page 0 from the open file and returns the format it declares; throws JetError.
const Format& recognise_header(const std::string& path, int fd);

// XOR-mask the masked region of a page 0 image in place (the same call masks and unmasks).
void toggle_header_mask(Bytes& page0, const Format& format);

}  // namespace jet
