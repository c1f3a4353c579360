// Calculated columns (Access 2010 and later) store the result of their expression, wrapped:
// 16 bytes we do not interpret, the result's length (4 bytes), the result, 3 bytes more. A
// calculated Memo wraps its long value's data the same way.
#pragma once

#include "jet/value/value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace jet {

// The result's bytes within a stored calculated field; nullopt when the wrapper is cut off.
std::optional<std::span<const std::uint8_t>> calculated_result(const std::uint8_t* data, std::size_t size);

// A calculated Decimal's result has a layout of its own: its length (2 bytes), scale, sign, then
// the magnitude as little-endian words, most significant first (the first one 4 bytes when the
// magnitude is not a multiple of 8 bytes long, the others 8). False when it does not fit.
bool decode_calculated_decimal(Value& out, std::span<const std::uint8_t> result);

// A result as a calculated field stores it: wrapped as above (16 zero bytes, length, result,
// 3 zero bytes).
Bytes wrap_calculated_result(const Bytes& result);

// A Decimal result in the layout decode_calculated_decimal reads, with a 12-byte magnitude as
// Access writes it; nullopt when the magnitude needs more than 96 bits.
std::optional<Bytes> encode_calculated_decimal(const Decimal& d);

}  // namespace jet
