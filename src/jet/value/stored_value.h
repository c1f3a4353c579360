// A field's value from the bytes a row or a property blob stores, for every type kept in place
// (all but the long values Memo and OLE, whose bytes are gathered from their own pages first).
#pragma once

#include "jet/storage/format.h"
#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace jet {

// Into `out`, reusing what it holds; false when the bytes are too short for the type (or, for
// a Date/Time Extended, malformed). Text is Jet 3 code-page text (`code_page`) or Jet 4 Unicode,
// compressed or not; `scale` is a Decimal's. A Large Number (BigInt) comes out as a Decimal of
// scale 0, a Date/Time Extended as ISO text to the 100 ns, a complex column as its Long key.
bool decode_plain_value(Value& out, const Format& format, ColumnType type, const std::uint8_t* data, std::size_t size,
                        std::uint16_t code_page, std::uint8_t scale);
// The same as a new value; nullopt when the bytes are too short for the type.
std::optional<Value> decode_plain_value(const Format& format, ColumnType type, const std::uint8_t* data,
                                        std::size_t size, std::uint16_t code_page, std::uint8_t scale);

// The 42 bytes a Date/Time Extended column stores for a value: ISO text as decoding gives it
// ("2021-06-14T22:45:12.3456789"; a space for the T, the seconds or the fraction may be left
// out), another date Jet reads, or a Date/Time. nullopt when it is none of these or lies
// outside the years 1-9999.
std::optional<Bytes> encode_extended_date(const Value& v);

}  // namespace jet
