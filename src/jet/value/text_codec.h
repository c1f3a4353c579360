// Text as Jet stores it, to and from UTF-8: Jet 4 UTF-16LE with its compression scheme
// ("FF FE" then one byte per character, 0x00 switching modes) and Jet 3 single-byte code
// pages (Windows-1252 and Latin-1; any other code page is read as Windows-1252).
#pragma once

#include "jet/value/value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jet {

// UTF-8 to UTF-16 code units; invalid input becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view utf8);

// Plain UTF-16LE bytes (names, properties, uncompressed values).
Bytes encode_utf16le(const std::u16string& units);
std::string decode_utf16le(const std::uint8_t* data, std::size_t size);

// Compressed form when every unit is in U+0001..U+00FF and there are 3..1024 of them,
// otherwise plain UTF-16LE.
Bytes encode_compressed_unicode(const std::u16string& units);
// Either form: compressed when it starts with FF FE, plain UTF-16LE otherwise.
std::string decode_jet4_text(const std::uint8_t* data, std::size_t size);

// Single-byte code page text. Characters the code page lacks are written as '?', as
// Windows does.
Bytes encode_code_page(std::string_view utf8, std::uint16_t code_page);
std::string decode_code_page(const std::uint8_t* data, std::size_t size, std::uint16_t code_page);

}  // namespace jet
