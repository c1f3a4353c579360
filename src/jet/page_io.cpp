#include "page_io.h"

#include "error.h"
#include "file_header.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

std::unique_ptr<PageFile> PageFile::open(const std::string& path, Access access) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        throw JetError(err::FileNotFound, fmt::format("Could not find file '{}'.", path));
    int fd = ::open(path.c_str(), (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        throw JetError(err::FileLocked, fmt::format("Could not use '{}'; file already in use or not accessible ({}).",
                                                   path, std::strerror(errno)));
    try {
        const Format& format = recognise_header(path, fd);
        return std::unique_ptr<PageFile>(new PageFile(path, fd, access, format));
    } catch (...) {
        ::close(fd);
        throw;
    }
}

PageFile::PageFile(std::string path, int fd, Access access, const Format& format)
    : path_(std::move(path)), fd_(fd), access_(access), format_(&format) {}

PageFile::~PageFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint32_t PageFile::page_count() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw JetError(err::DiskIo, fmt::format("Disk or network error reading '{}'.", path_));
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size) / page_size());
}

Bytes PageFile::read_page(std::uint32_t page) const {
    Bytes bytes(page_size());
    const off_t at = static_cast<off_t>(page) * page_size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw JetError(err::CorruptDatabase,
                           fmt::format("Cannot read page {} of '{}': the file ends before it (truncated or damaged).",
                                       page, path_));
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void PageFile::write_page(std::uint32_t page, const Bytes& bytes) {
    if (bytes.size() != page_size())
        throw JetError(err::DiskIo, fmt::format("Internal error: page {} of '{}' has the wrong size.", page, path_));
    const off_t at = static_cast<off_t>(page) * page_size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw JetError(err::DiskIo, fmt::format("Disk or network error writing page {} of '{}': {}.", page, path_,
                                                    std::strerror(errno)));
        done += static_cast<std::size_t>(n);
    }
}

std::uint32_t PageFile::append_page(const Bytes& bytes) {
    const std::uint32_t page = page_count();
    write_page(page, bytes);
    return page;
}

void PageFile::sync() {
    if (::fdatasync(fd_) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error flushing '{}': {}.", path_, std::strerror(errno)));
}

}  // namespace jet
