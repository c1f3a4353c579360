#include "jet/rows/calculated_value.h"

#include "jet/base/bytes.h"

#include <algorithm>

namespace jet {
namespace {

constexpr std::size_t kResultLengthAt = 16;
constexpr std::size_t kResultAt = kResultLengthAt + 4;

}  // namespace

std::optional<std::span<const std::uint8_t>> calculated_result(const std::uint8_t* data, std::size_t size) {
    if (size < kResultAt) return std::nullopt;
    const std::uint32_t length = get_u32(data + kResultLengthAt);
    if (length > size - kResultAt) return std::nullopt;
    return std::span<const std::uint8_t>(data + kResultAt, length);
}

bool decode_calculated_decimal(Value& out, std::span<const std::uint8_t> result) {
    if (result.size() < 4) return false;
    // The stated length counts the scale and sign bytes; 0 means "up to the end".
    const std::size_t stated = get_u16(result.data());
    const std::size_t after_length = stated > 0 ? stated : result.size() - 2;
    if (after_length < 2) return false;
    const std::size_t magnitude_bytes = std::min<std::size_t>((after_length - 2) / 4 * 4, 16);
    if (4 + magnitude_bytes > result.size()) return false;
    Decimal d;
    d.scale = result[2];
    d.negative = result[3] != 0;
    const std::uint8_t* p = result.data() + 4;
    std::size_t at = 0;
    while (at < magnitude_bytes) {
        const std::size_t word = (magnitude_bytes - at) % 8 == 4 ? 4 : 8;
        uint128 value = 0;
        for (std::size_t i = word; i-- > 0;) value = value << 8 | p[at + i];
        d.magnitude = d.magnitude << (8 * word) | value;
        at += word;
    }
    if (d.scale > 28) return false;
    out.refill(d);
    return true;
}

Bytes wrap_calculated_result(const Bytes& result) {
    Bytes out(kResultAt + result.size() + 3, 0);
    put_u32(out, kResultLengthAt, static_cast<std::uint32_t>(result.size()));
    std::copy(result.begin(), result.end(), out.begin() + kResultAt);
    return out;
}

std::optional<Bytes> encode_calculated_decimal(const Decimal& d) {
    if (d.magnitude >> 96 != 0) return std::nullopt;
    Bytes out;
    append_le(out, 14, 2);   // scale, sign and 12 magnitude bytes follow
    out.push_back(d.scale);
    out.push_back(d.negative && d.magnitude != 0 ? 0x80 : 0x00);
    append_le(out, static_cast<std::uint32_t>(d.magnitude >> 64), 4);
    append_le(out, static_cast<std::uint64_t>(d.magnitude), 8);
    return out;
}

}  // namespace jet
