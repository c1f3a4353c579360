// Bytes and the little-endian fields of the file. Every structure on disk is read and written
// through these, so byte order is handled in one place.
#pragma once

#include "jet/base/error.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

using Bytes = std::vector<std::uint8_t>;

// Fields at `p`, for callers that have already checked that they lie inside their buffer.
inline std::uint16_t get_u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t get_u24(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
}
inline std::uint32_t get_u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A field that does not fit inside its page or row image: the file is damaged (or, for a
// write, the engine is wrong), never a read or write past the end.
[[noreturn]] inline void field_past_end(std::size_t at, std::size_t width, std::size_t size) {
    throw JetError(err::CorruptDatabase, "A " + std::to_string(width) + "-byte field at offset " + std::to_string(at) +
                                             " lies past the end of a page or row of " + std::to_string(size) +
                                             " bytes (the file is damaged).");
}
inline const std::uint8_t* field_at(const Bytes& b, std::size_t at, std::size_t width) {
    if (at > b.size() || width > b.size() - at) field_past_end(at, width, b.size());
    return b.data() + at;
}
inline std::uint8_t* field_at(Bytes& b, std::size_t at, std::size_t width) {
    if (at > b.size() || width > b.size() - at) field_past_end(at, width, b.size());
    return b.data() + at;
}

// Fields of a page or row image, checked against its end.
inline std::uint16_t get_u16(const Bytes& b, std::size_t at) { return get_u16(field_at(b, at, 2)); }
inline std::uint32_t get_u24(const Bytes& b, std::size_t at) { return get_u24(field_at(b, at, 3)); }
inline std::uint32_t get_u32(const Bytes& b, std::size_t at) { return get_u32(field_at(b, at, 4)); }
inline void put_u16(Bytes& b, std::size_t at, std::uint16_t v) {
    std::uint8_t* p = field_at(b, at, 2);
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_u32(Bytes& b, std::size_t at, std::uint32_t v) {
    std::uint8_t* p = field_at(b, at, 4);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
// The low `size` bytes of `v`, appended or as an image of their own.
inline void append_le(Bytes& out, std::uint64_t v, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline Bytes le_bytes(std::uint64_t v, std::size_t size) {
    Bytes out;
    out.reserve(size);
    append_le(out, v, size);
    return out;
}

// Reads a structure whose counts and offsets come from the file itself (a table definition,
// a property blob): every read is checked against the end of the bytes, and one that does not
// fit is error 3049 with the text `describe(at, what)` gives, so that damage is reported where
// it lies and never read past.
template <typename Describe>
class CheckedReader {
public:
    CheckedReader(std::span<const std::uint8_t> bytes, Describe describe)
        : bytes_(bytes), describe_(std::move(describe)) {}

    [[noreturn]] void fail(std::size_t at, std::string_view what) const {
        throw JetError(err::CorruptDatabase, describe_(at, what));
    }
    void need(std::size_t at, std::size_t n, std::string_view what) const {
        if (at > bytes_.size() || n > bytes_.size() - at) fail(std::min(at, bytes_.size()), what);
    }
    std::uint8_t u8(std::size_t at, std::string_view what) const {
        need(at, 1, what);
        return bytes_[at];
    }
    std::uint16_t u16(std::size_t at, std::string_view what) const {
        need(at, 2, what);
        return get_u16(bytes_.data() + at);
    }
    std::uint32_t u32(std::size_t at, std::string_view what) const {
        need(at, 4, what);
        return get_u32(bytes_.data() + at);
    }
    const std::uint8_t* ptr(std::size_t at) const { return bytes_.data() + at; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    Describe describe_;
};

}  // namespace jet
