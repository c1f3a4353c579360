// PageFile: the database file as an array of fixed-size pages. Every read goes to the file
// (the operating system caches; we do not), so a page written by another process between two
// of our statements is never served stale. Reads past the end or short reads are errors that
// name the file and the page.
//
// Writes that must land together (one record with its index entries and counters) run inside
// an AtomicWrite: the first write of each existing page saves its old image to a rollback
// journal beside the database ("<file>-journal") before the page changes. Committing empties
// the journal; a process killed in between leaves it behind, and the next open of ours puts
// the old pages back, so no reader of ours ever sees half a record.
#pragma once

#include "format.h"
#include "value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

    static std::string journal_path_for(const std::string& database_path);

private:
    friend class AtomicWrite;
    PageFile(std::string path, int fd, Access access, const Format& format);
    void begin_atomic();
    void commit_atomic();
    void rollback_atomic();
    void journal_page(std::uint32_t page);

    std::string path_;
    int fd_ = -1;
    Access access_;
    const Format* format_;
    // Rollback journal of the write in progress (fd -1 when none).
    int journal_fd_ = -1;
    std::uint64_t journal_size_ = 0;
    std::uint32_t pages_before_ = 0;
    std::vector<bool> journaled_;
};

// Makes the page writes of its scope all-or-nothing: commit() keeps them, leaving the scope
// without commit() (an exception) puts the old pages back. The caller holds the exclusive
// statement lock for the whole scope. Inside another AtomicWrite it joins the outer one.
class AtomicWrite {
public:
    explicit AtomicWrite(PageFile& file);
    ~AtomicWrite();
    AtomicWrite(const AtomicWrite&) = delete;
    AtomicWrite& operator=(const AtomicWrite&) = delete;
    void commit();

private:
    PageFile& file_;
    bool outermost_;
    bool done_ = false;
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
