#include "page_io.h"

#include "error.h"
#include "file_header.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

// Journal layout: a header (magic, page size, an "unfinished" flag, number of saved pages, the
// database's size before the write), then one record per saved page: its number and its old
// image. The header is written after the records and its flag cleared when the write is
// complete, so a set flag always describes whole records.
constexpr char kJournalMagic[8] = {'T', 'L', 'W', 'J', 'R', 'N', 'L', '2'};
constexpr std::size_t kJournalHeader = 32;
constexpr std::size_t kFlagAt = 12;

struct JournalHeader {
    std::uint32_t page_size = 0;
    std::uint32_t count = 0;
    std::uint64_t old_size = 0;
};

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

std::uint64_t file_size(int fd, const std::string& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error reading '{}': {}.", path, std::strerror(errno)));
    return static_cast<std::uint64_t>(st.st_size);
}

// The header of an unfinished write, or nothing when the journal holds none.
std::optional<JournalHeader> unfinished_write(int journal) {
    std::uint8_t raw[kJournalHeader];
    if (!read_all(journal, raw, kJournalHeader, 0) || std::memcmp(raw, kJournalMagic, sizeof kJournalMagic) != 0)
        return std::nullopt;
    JournalHeader h;
    std::uint32_t unfinished;
    std::memcpy(&h.page_size, raw + 8, 4);
    std::memcpy(&unfinished, raw + kFlagAt, 4);
    std::memcpy(&h.count, raw + 16, 4);
    std::memcpy(&h.old_size, raw + 24, 8);
    if (unfinished == 0) return std::nullopt;
    return h;
}

void mark_finished(int journal, const std::string& path) {
    const std::uint8_t zero[4] = {};
    write_all(journal, zero, sizeof zero, kFlagAt, PageFile::journal_path_for(path));
}

// Puts back the pages an unfinished write saved and cuts the database to its old length;
// false when there was none.
bool undo_unfinished_write(int db, int journal, const std::string& path) {
    const std::optional<JournalHeader> h = unfinished_write(journal);
    if (!h) return false;
    const std::size_t record = 4 + static_cast<std::size_t>(h->page_size);
    std::vector<std::uint8_t> buf(record);
    for (std::uint32_t i = 0; i < h->count; ++i) {
        if (!read_all(journal, buf.data(), record, static_cast<off_t>(kJournalHeader + i * record)))
            throw JetError(err::CorruptDatabase, fmt::format("The journal '{}' of an unfinished write is cut short "
                                                             "(page {} of {}).", PageFile::journal_path_for(path), i + 1, h->count));
        std::uint32_t page;
        std::memcpy(&page, buf.data(), 4);
        write_all(db, buf.data() + 4, h->page_size, static_cast<off_t>(page) * h->page_size, path);
    }
    if (::ftruncate(db, static_cast<off_t>(h->old_size)) != 0 || ::fdatasync(db) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error undoing an unfinished write in '{}': {}.",
                                                path, std::strerror(errno)));
    mark_finished(journal, path);
    return true;
}

// A journal left by a writer that died: undo its write, under the exclusive statement lock so
// that no live writer of ours is mid-way.
void recover_from_journal(const std::string& path) {
    if (!PageFile::has_unfinished_write(path)) return;
    const std::string journal = PageFile::journal_path_for(path);
    const int db = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (db < 0)
        throw JetError(err::FileLocked, fmt::format("'{}' holds an unfinished write (journal '{}') and cannot be "
                                                    "opened for writing to undo it: {}.", path, journal, std::strerror(errno)));
    const int j = ::open(journal.c_str(), O_RDWR | O_CLOEXEC);
    try {
        StatementLock lock(db, StatementLock::Mode::Exclusive);
        if (j >= 0) undo_unfinished_write(db, j, path);
    } catch (...) {
        if (j >= 0) ::close(j);
        ::close(db);
        throw;
    }
    if (j >= 0) ::close(j);
    ::close(db);
}

[[noreturn]] void internal(const std::string& path, const char* what) {
    throw JetError(err::DiskIo, fmt::format("Internal error writing '{}': {}.", path, what));
}

}  // namespace

std::string PageFile::journal_path_for(const std::string& database_path) { return database_path + "-journal"; }

bool PageFile::has_unfinished_write(const std::string& database_path) {
    const int j = ::open(journal_path_for(database_path).c_str(), O_RDONLY | O_CLOEXEC);
    if (j < 0) return false;
    const bool unfinished = unfinished_write(j).has_value();
    ::close(j);
    return unfinished;
}

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
    unmap();
    if (journal_fd_ >= 0) ::close(journal_fd_);
    if (writable()) {
        // A finished journal is only clutter. A writer of ours that still holds it open notices
        // the removal and makes a new one.
        try {
            StatementLock lock(fd_, StatementLock::Mode::Exclusive);
            if (!has_unfinished_write(path_)) ::unlink(journal_path_for(path_).c_str());
        } catch (...) {
        }
    }
    ::close(fd_);
}

std::uint32_t PageFile::file_pages() const { return static_cast<std::uint32_t>(file_size(fd_, path_) / page_size()); }

std::uint32_t PageFile::scope_pages() const {
    if (!scope_pages_) scope_pages_ = file_pages();
    return *scope_pages_;
}

std::uint32_t PageFile::page_count() const {
    if (in_write_) return pages_before_ + appended_;
    if (scope_depth_ > 0) return scope_pages();
    return file_pages();
}

void PageFile::unmap() const {
    if (map_ != nullptr) ::munmap(const_cast<std::uint8_t*>(map_), map_size_);
    map_ = nullptr;
    map_size_ = 0;
}

// Only for pages that existed when the statement lock was taken: no writer of ours can cut the
// file while we hold it, so the mapping never reaches past the end of the file.
const std::uint8_t* PageFile::mapped_page(std::uint32_t page) const {
    const std::size_t end = (static_cast<std::size_t>(page) + 1) * page_size();
    if (end > map_size_) {
        unmap();
        // Room to grow, so that a file being appended to is not mapped afresh every page.
        const std::size_t size = end + std::max<std::size_t>(end / 4, std::size_t{1} << 22);
        void* m = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_, 0);
        if (m == MAP_FAILED) return nullptr;  // a file system without mappings: read instead
        map_ = static_cast<const std::uint8_t*>(m);
        map_size_ = size;
    }
    return map_ + static_cast<std::size_t>(page) * page_size();
}

Bytes PageFile::read_page(std::uint32_t page) const {
    if (const std::uint8_t* view = page_view(page)) return Bytes(view, view + page_size());
    Bytes bytes(page_size());
    if (!read_all(fd_, bytes.data(), bytes.size(), static_cast<off_t>(page) * page_size()))
        throw JetError(err::CorruptDatabase,
                       fmt::format("Cannot read page {} of '{}': the file ends before it (truncated or damaged).", page,
                                   path_));
    return bytes;
}

const std::uint8_t* PageFile::page_view(std::uint32_t page) const {
    if (in_write_) {
        if (auto it = staged_.find(page); it != staged_.end()) return it->second.data();
    }
    if (scope_depth_ == 0) return nullptr;
    const std::uint32_t pages = in_write_ ? pages_before_ : page_count();  // appended pages are all staged
    if (page >= pages) return nullptr;
    // Every page the scope knows at once, so that no later view or read moves the mapping.
    if (mapped_page(pages - 1) == nullptr) return nullptr;
    return map_ + static_cast<std::size_t>(page) * page_size();
}

void PageFile::write_page(std::uint32_t page, const Bytes& bytes) {
    if (!in_write_) internal(path_, "a page written outside an atomic write");
    if (bytes.size() != page_size()) internal(path_, "a page of the wrong size");
    if (page >= pages_before_ + appended_) internal(path_, "a page written past the end of the file");
    staged_[page] = bytes;
    write_order_.erase(std::remove(write_order_.begin(), write_order_.end(), page), write_order_.end());
    write_order_.push_back(page);
}

std::uint32_t PageFile::append_page(const Bytes& bytes) {
    if (!in_write_) internal(path_, "a page appended outside an atomic write");
    ++appended_;
    const std::uint32_t page = pages_before_ + appended_ - 1;
    write_page(page, bytes);
    return page;
}

void PageFile::open_journal() {
    if (journal_fd_ >= 0) {
        struct stat st {};
        if (::fstat(journal_fd_, &st) == 0 && st.st_nlink > 0) return;
        ::close(journal_fd_);  // another process of ours removed it on closing
        journal_fd_ = -1;
    }
    const std::string journal = journal_path_for(path_);
    journal_fd_ = ::open(journal.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (journal_fd_ < 0)
        throw JetError(err::DiskIo, fmt::format("Cannot create the journal '{}' for a write to '{}': {}.", journal, path_,
                                                std::strerror(errno)));
}

void PageFile::begin_atomic() {
    open_journal();
    // We hold the exclusive lock, so an unfinished write was left by a writer that died.
    if (undo_unfinished_write(fd_, journal_fd_, path_)) scope_pages_.reset();
    pages_before_ = scope_pages();
    appended_ = 0;
    staged_.clear();
    write_order_.clear();
    in_write_ = true;
}

void PageFile::commit_atomic() {
    in_write_ = false;
    if (write_order_.empty()) return;
    const std::string journal = journal_path_for(path_);
    const std::uint32_t ps = page_size();
    std::vector<std::uint8_t> records;
    records.reserve(write_order_.size() * (4 + std::size_t{ps}));
    std::uint32_t count = 0;
    Bytes copy;
    for (std::uint32_t page : write_order_) {
        if (page >= pages_before_) continue;
        // The file's image (nothing is staged any more), in place where the mapping has it.
        const std::uint8_t* old = page_view(page);
        if (old == nullptr) {
            copy = read_page(page);
            old = copy.data();
        }
        std::uint8_t number[4];
        std::memcpy(number, &page, 4);
        records.insert(records.end(), number, number + 4);
        records.insert(records.end(), old, old + ps);
        ++count;
    }
    std::uint8_t header[kJournalHeader] = {};
    const std::uint32_t unfinished = 1;
    const std::uint64_t old_size = static_cast<std::uint64_t>(pages_before_) * ps;
    std::memcpy(header, kJournalMagic, sizeof kJournalMagic);
    std::memcpy(header + 8, &ps, 4);
    std::memcpy(header + kFlagAt, &unfinished, 4);
    std::memcpy(header + 16, &count, 4);
    std::memcpy(header + 24, &old_size, 8);
    write_all(journal_fd_, records.data(), records.size(), kJournalHeader, journal);
    write_all(journal_fd_, header, kJournalHeader, 0, journal);
    try {
        for (std::uint32_t page : write_order_) {
            const Bytes& image = staged_.at(page);
            write_all(fd_, image.data(), image.size(), static_cast<off_t>(page) * ps, path_);
        }
        mark_finished(journal_fd_, path_);
    } catch (...) {
        staged_.clear();
        write_order_.clear();
        undo_unfinished_write(fd_, journal_fd_, path_);  // the file as it was; if this fails, the next open does it
        throw;
    }
    scope_pages_ = pages_before_ + appended_;
    staged_.clear();
    write_order_.clear();
}

StatementScope::StatementScope(PageFile& file, StatementLock::Mode mode) : file_(file) {
    if (file_.scope_depth_ > 0) {
        if (mode == StatementLock::Mode::Exclusive && file_.scope_mode_ != mode)
            internal(file_.path_, "a write inside a read-only statement");
        ++file_.scope_depth_;
        return;
    }
    file_.scope_lock_ = std::make_unique<StatementLock>(file_.fd_, mode);
    file_.scope_pages_.reset();
    file_.scope_mode_ = mode;
    file_.scope_depth_ = 1;
}

StatementScope::~StatementScope() {
    if (--file_.scope_depth_ == 0) file_.scope_lock_.reset();
}

AtomicWrite::AtomicWrite(PageFile& file)
    : file_(file), scope_(file, StatementLock::Mode::Exclusive), outermost_(!file.in_write_) {
    if (outermost_) file_.begin_atomic();
}

AtomicWrite::~AtomicWrite() {
    if (done_ || !outermost_) return;
    // Nothing reached the file yet: dropping the staged pages undoes the write.
    file_.in_write_ = false;
    file_.staged_.clear();
    file_.write_order_.clear();
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
