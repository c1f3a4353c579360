#include "jet/rows/attachment.h"

#include "jet/base/error.h"

#include <fmt/format.h>
#include <zlib.h>

namespace jet {
namespace {

constexpr std::uint32_t kStored = 0;
constexpr std::uint32_t kDeflated = 1;
constexpr std::size_t kWrapperSize = 8;
constexpr std::uint32_t kLargestFile = 256u << 20;  // Access caps a database at 2 GB; this is plenty

[[noreturn]] void unreadable(const std::string& where, const std::string& why) {
    throw JetError(err::CorruptDatabase, fmt::format("The attachment {} is damaged: {}.", where, why));
}

Bytes inflated(const std::uint8_t* data, std::size_t size, std::uint32_t expected, const std::string& where) {
    Bytes out(expected);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) unreadable(where, "its compressed contents cannot be unpacked");
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const std::size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    if (result != Z_STREAM_END && result != Z_BUF_ERROR && result != Z_OK)
        unreadable(where, "its compressed contents cannot be unpacked");
    out.resize(produced);
    return out;
}

}  // namespace

Bytes attachment_file(const Bytes& stored, const std::string& where) {
    if (stored.size() < kWrapperSize) unreadable(where, "its stored form is cut off");
    const std::uint32_t type = get_u32(stored, 0);
    const std::uint32_t length = get_u32(stored, 4);
    if (length > kLargestFile) unreadable(where, fmt::format("it claims {} bytes", length));
    Bytes contents;
    if (type == kDeflated)
        contents = inflated(stored.data() + kWrapperSize, stored.size() - kWrapperSize, length, where);
    else if (type == kStored)
        contents.assign(stored.begin() + kWrapperSize, stored.end());
    else
        unreadable(where, fmt::format("its stored form is of an unknown type {}", type));
    if (contents.size() < 4) unreadable(where, "its header is cut off");
    const std::uint32_t header = get_u32(contents, 0);
    const std::size_t end = std::min<std::size_t>(length, contents.size());
    if (header < 4 || header > end) unreadable(where, "its header is longer than its contents");
    return Bytes(contents.begin() + header, contents.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace jet
