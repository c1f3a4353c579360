#include "page_io.h"

#include "error.h"
#include "file_header.h"
#include "lock_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

constexpr char kJournalMagic[8] = {'T', 'L', 'W', 'J', 'R', 'N', 'L', '1'};
constexpr std::size_t kJournalHeader = 24;  // magic, page size, unused, file size before the write

void write_all(int fd, const std::uint8_t* data, std::size_t size, off_t at, const std::string& what) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw JetError(err::DiskIo, fmt::format("Disk or network error writing '{}': {}.", what, std::strerror(errno)));
        done += static_cast<std::size_t>(n);
    }
}

bool read_all(int fd, std::uint8_t* data, std::size_t size, off_t at) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t file_size(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

// Puts back the pages a journal saved and cuts the database to its old length, then empties
// the journal. A record cut short by a kill was never applied to the database: it is skipped.
void apply_journal(int db, int j, const std::string& path) {
    std::uint8_t header[kJournalHeader];
    const std::uint64_t size = file_size(j);
    if (size >= kJournalHeader && read_all(j, header, kJournalHeader, 0) &&
        std::memcmp(header, kJournalMagic, sizeof kJournalMagic) == 0) {
        std::uint32_t page_size;
        std::uint64_t old_size;
        std::memcpy(&page_size, header + 8, 4);
        std::memcpy(&old_size, header + 16, 8);
        const std::size_t record = 4 + static_cast<std::size_t>(page_size);
        std::vector<std::uint8_t> buf(record);
        for (std::uint64_t at = kJournalHeader; at + record <= size; at += record) {
            if (!read_all(j, buf.data(), record, static_cast<off_t>(at))) break;
            std::uint32_t page;
            std::memcpy(&page, buf.data(), 4);
            write_all(db, buf.data() + 4, page_size, static_cast<off_t>(page) * page_size, path);
        }
        if (::ftruncate(db, static_cast<off_t>(old_size)) != 0 || ::fdatasync(db) != 0)
            throw JetError(err::DiskIo, fmt::format("Disk or network error undoing an unfinished write in '{}': {}.",
                                                    path, std::strerror(errno)));
    }
    if (::ftruncate(j, 0) != 0)
        throw JetError(err::DiskIo, fmt::format("Cannot empty the journal of '{}': {}.", path, std::strerror(errno)));
}

// A journal left by a writer that died: undo its write. Runs under the exclusive statement
// lock, so no live writer of ours is mid-way.
void recover_from_journal(const std::string& path) {
    const std::string journal = PageFile::journal_path_for(path);
    struct stat st {};
    if (::stat(journal.c_str(), &st) != 0 || st.st_size == 0) return;
    const int db = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (db < 0)
        throw JetError(err::FileLocked, fmt::format("'{}' holds an unfinished write (journal '{}') and cannot be "
                                                    "opened for writing to undo it: {}.", path, journal, std::strerror(errno)));
    const int j = ::open(journal.c_str(), O_RDWR | O_CLOEXEC);
    try {
        StatementLock lock(db, StatementLock::Mode::Exclusive);
        if (j >= 0) apply_journal(db, j, path);
    } catch (...) {
        if (j >= 0) ::close(j);
        ::close(db);
        throw;
    }
    if (j >= 0) ::close(j);
    ::close(db);
}

}  // namespace

std::string PageFile::journal_path_for(const std::string& database_path) { return database_path + "-journal"; }

std::unique_ptr<PageFile> PageFile::open(const std::string& path, Access access) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        throw JetError(err::FileNotFound, fmt::format("Could not find file '{}'.", path));
    recover_from_journal(path);
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
    if (journal_fd_ >= 0) {
        try {
            rollback_atomic();
        } catch (...) {
            // The journal stays; the next open undoes the write.
        }
    }
    if (fd_ >= 0 && writable()) {
        // An empty journal is only clutter; remove it while no writer of ours is mid-way.
        try {
            StatementLock lock(fd_, StatementLock::Mode::Exclusive);
            const std::string journal = journal_path_for(path_);
            struct stat st {};
            if (::stat(journal.c_str(), &st) == 0 && st.st_size == 0) ::unlink(journal.c_str());
        } catch (...) {
        }
    }
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
    if (journal_fd_ >= 0) journal_page(page);
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

void PageFile::begin_atomic() {
    if (journal_fd_ >= 0)
        throw JetError(err::DiskIo, fmt::format("Internal error: a write to '{}' began inside another.", path_));
    const std::string journal = journal_path_for(path_);
    // Opened afresh for every write: a process of ours that closes may remove the file.
    journal_fd_ = ::open(journal.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (journal_fd_ < 0)
        throw JetError(err::DiskIo, fmt::format("Cannot create the journal '{}' for a write to '{}': {}.", journal, path_,
                                                std::strerror(errno)));
    try {
        // We hold the exclusive lock, so a journal with content was left by a writer that died.
        if (file_size(journal_fd_) > 0) apply_journal(fd_, journal_fd_, path_);
    } catch (...) {
        ::close(journal_fd_);
        journal_fd_ = -1;
        throw;
    }
    const std::uint64_t old_size = file_size(fd_);
    pages_before_ = static_cast<std::uint32_t>(old_size / page_size());
    journaled_.assign(pages_before_, false);
    std::uint8_t header[kJournalHeader] = {};
    std::memcpy(header, kJournalMagic, sizeof kJournalMagic);
    const std::uint32_t ps = page_size();
    std::memcpy(header + 8, &ps, 4);
    std::memcpy(header + 16, &old_size, 8);
    try {
        write_all(journal_fd_, header, kJournalHeader, 0, journal);
    } catch (...) {
        ::close(journal_fd_);
        journal_fd_ = -1;
        throw;
    }
    journal_size_ = kJournalHeader;
}

void PageFile::journal_page(std::uint32_t page) {
    if (page >= pages_before_ || journaled_[page]) return;
    Bytes record(4 + page_size());
    put_u32(record, 0, page);
    const Bytes old = read_page(page);
    std::copy(old.begin(), old.end(), record.begin() + 4);
    write_all(journal_fd_, record.data(), record.size(), static_cast<off_t>(journal_size_), journal_path_for(path_));
    journal_size_ += record.size();
    journaled_[page] = true;
}

void PageFile::commit_atomic() {
    const int j = journal_fd_;
    journal_fd_ = -1;
    // Emptying the journal is the moment the write becomes permanent.
    const bool ok = ::ftruncate(j, 0) == 0;
    ::close(j);
    if (!ok)
        throw JetError(err::DiskIo, fmt::format("Cannot empty the journal of '{}': {}.", path_, std::strerror(errno)));
}

void PageFile::rollback_atomic() {
    const int j = journal_fd_;
    journal_fd_ = -1;
    std::vector<std::uint8_t> buf(4 + page_size());
    for (std::uint64_t at = kJournalHeader; at + buf.size() <= journal_size_; at += buf.size()) {
        if (!read_all(j, buf.data(), buf.size(), static_cast<off_t>(at))) break;
        std::uint32_t page;
        std::memcpy(&page, buf.data(), 4);
        write_all(fd_, buf.data() + 4, page_size(), static_cast<off_t>(page) * page_size(), path_);
    }
    const bool ok = ::ftruncate(fd_, static_cast<off_t>(pages_before_) * page_size()) == 0 && ::ftruncate(j, 0) == 0;
    ::close(j);
    if (!ok)
        throw JetError(err::DiskIo, fmt::format("Disk or network error undoing a failed write in '{}': {}.", path_,
                                                std::strerror(errno)));
}

AtomicWrite::AtomicWrite(PageFile& file) : file_(file), outermost_(file.journal_fd_ < 0) {
    if (outermost_) file_.begin_atomic();
}

AtomicWrite::~AtomicWrite() {
    if (done_ || !outermost_) return;
    try {
        file_.rollback_atomic();
    } catch (...) {
        // The journal stays behind; the next open undoes the write.
    }
}

void AtomicWrite::commit() {
    done_ = true;
    if (outermost_) file_.commit_atomic();
}

void PageFile::sync() {
    if (::fdatasync(fd_) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error flushing '{}': {}.", path_, std::strerror(errno)));
}

}  // namespace jet
