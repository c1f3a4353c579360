// PageFile: the database file as an array of fixed-size pages. Every read goes to the file
// (the operating system caches; we do not), so a page written by another process between two
// of our statements is never served stale. Reads past the end or short reads are errors that
// name the file and the page.
#pragma once

#include "format.h"
#include "value.h"

#include <cstdint>
#include <memory>
#include <string>

namespace jet {

class PageFile {
public:
    enum class Access { ReadOnly, ReadWrite };

    // Opens the file (3024 when it does not exist, 3045 when it cannot be opened as asked) and
    // recognises the format from page 0 (file_header.h refuses what we cannot handle).
    static std::unique_ptr<PageFile> open(const std::string& path, Access access);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::string& path() const { return path_; }
    const Format& format() const { return *format_; }
    std::uint32_t page_size() const { return format_->page_size; }
    bool writable() const { return access_ == Access::ReadWrite; }
    int fd() const { return fd_; }

    std::uint32_t page_count() const;                  // whole pages in the file now
    Bytes read_page(std::uint32_t page) const;         // 3049 naming the page when it is past the end
    void write_page(std::uint32_t page, const Bytes& bytes);
    std::uint32_t append_page(const Bytes& bytes);     // writes at the end, returns its number
    void sync();

private:
    PageFile(std::string path, int fd, Access access, const Format& format);
    std::string path_;
    int fd_ = -1;
    Access access_;
    const Format* format_;
};

// A page's little-endian fields.
inline std::uint16_t get_u16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
inline std::uint32_t get_u24(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16);
}
inline std::uint32_t get_u32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
inline void put_u16(Bytes& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void put_u32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace jet
