#include "jet/storage/page_file.h"

#include "jet/base/error.h"
#include "jet/storage/file_header.h"
#include "jet/storage/file_io.h"
#include "jet/storage/page_rows.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

// The length by seeking to the end (every read and write names its offset, so the file position
// is free): unlike fstat, this does not mark the file's times as looked at, which on newer
// kernels makes the next write store fine-grained times in the inode (a journalled inode
// update per write).
std::uint64_t file_size(int fd, const std::string& path) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error reading '{}': {}.", path, std::strerror(errno)));
    return static_cast<std::uint64_t>(end);
}

// Appends to `out` the ranges of a page where `now` differs from `old`, in steps of 64 bytes
// and never across a cut (0 for none), last range first. The journal saves and the file
// receives only what a write changed.
void add_changed_ranges(std::uint32_t page, const std::uint8_t* old, const std::uint8_t* now, std::size_t size,
                        std::array<std::size_t, 2> cuts, std::vector<JournalRange>& out) {
    constexpr std::size_t step = 64;
    const auto next_bound = [&](std::size_t at) {
        std::size_t bound = std::min(size, (at / step + 1) * step);
        for (std::size_t cut : cuts)
            if (cut > at && cut < bound) bound = cut;
        return bound;
    };
    const auto is_cut = [&](std::size_t at) { return at == cuts[0] || at == cuts[1]; };
    const std::size_t first = out.size();
    std::size_t start = 0;   // of the range being gathered, while `open`
    bool open = false;
    for (std::size_t at = 0; at < size;) {
        const std::size_t bound = next_bound(at);
        const bool changed = std::memcmp(old + at, now + at, bound - at) != 0;
        if (open && (!changed || is_cut(at))) {
            out.push_back({page, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(at - start)});
            open = false;
        }
        if (changed && !open) {
            start = at;
            open = true;
        }
        at = bound;
    }
    if (open) out.push_back({page, static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(size - start)});
    std::reverse(out.begin() + static_cast<std::ptrdiff_t>(first), out.end());
}

// What became of a journal found unfinished beside the file, for whoever opened it.
std::string describe_recovery(Journal::Undo undo, const Journal& journal) {
    switch (undo) {
    case Journal::Undo::Nothing: return {};
    case Journal::Undo::Undone: return "a write left unfinished by a stopped writer was undone from its rollback journal";
    case Journal::Undo::SetAside:
        return fmt::format("the rollback journal beside the file was left by a write to another file; the file was "
                           "left as it is and the journal set aside as '{}'", journal.set_aside_path());
    }
    return {};
}

// A journal left by a writer that died: undo its write, under the exclusive statement lock so
// that no live writer of ours is mid-way. Returns what was done, empty when nothing.
std::string recover_from_journal(const std::string& path) {
    if (!Journal::has_unfinished_write(path)) return {};
    const int db = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (db < 0)
        throw JetError(err::FileLocked, fmt::format("'{}' holds an unfinished write (journal '{}') and cannot be "
                                                    "opened for writing to undo it: {}.", path, Journal::path_for(path),
                                                    std::strerror(errno)));
    try {
        StatementLock lock(db, StatementLock::Mode::Exclusive);
        Journal journal(path);
        journal.open();
        std::string note = describe_recovery(journal.undo_unfinished(db, false), journal);
        ::close(db);
        return note;
    } catch (...) {
        ::close(db);
        throw;
    }
}

[[noreturn]] void internal(const std::string& path, const char* what) {
    throw JetError(err::DiskIo, fmt::format("Internal error writing '{}': {}.", path, what));
}

// What takes a page from `old` to `now`: the ranges whose old bytes the journal saves, and the
// writes, in their order. Each write covers its page from its first changed byte to its last;
// a kill cannot stop it half-way, so every saved range inside holds all its old or all its new
// bytes. A data page takes up to three: first the new rows and their row-offset entries (an
// entry past the row count is read by nobody, and within one write an entry is stored before
// the row bytes above it); then its header (row count, free space), which makes them count;
// last the entries of rows that were there before, where a row is marked deleted once the
// record's new row counts. A reader that takes no lock reads a page from its start: once it
// has read the new row count, what the count names is in place. Any other page (table
// definitions, index pages, whose entries move when one is inserted) goes in one write.
void add_page_changes(const Format& format, std::uint32_t page, const std::uint8_t* old, const std::uint8_t* now,
                      std::vector<JournalRange>& saved, std::vector<JournalRange>& writes) {
    const std::size_t first = saved.size();
    const bool data = now[0] == DataPageType;
    const std::size_t header_end = data ? format.data_first_row_offset : 0;
    const std::size_t old_entries_end =
        data && old[0] == DataPageType ? header_end + 2u * get_u16(old + format.data_row_count_offset) : header_end;
    add_changed_ranges(page, old, now, format.page_size, {header_end, old_entries_end}, saved);
    // Ranges are listed last first, so each region's are consecutive.
    const auto in = [&](std::size_t from, std::size_t to) {
        const auto begin = saved.begin() + static_cast<std::ptrdiff_t>(first);
        const auto low = std::find_if(begin, saved.end(), [&](const JournalRange& r) { return r.at < to; });
        const auto high = std::find_if(low, saved.end(), [&](const JournalRange& r) { return r.at < from; });
        if (low == high) return;
        const JournalRange& last = *low;
        const JournalRange& lowest = *(high - 1);
        writes.push_back({page, lowest.at, static_cast<std::uint16_t>(last.at + std::size_t{last.length} - lowest.at)});
    };
    in(old_entries_end, format.page_size);
    in(0, header_end);
    in(header_end, old_entries_end);
}

}  // namespace

std::unique_ptr<PageFile> PageFile::open(const std::string& path, Access access) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        throw JetError(err::FileNotFound, fmt::format("Could not find file '{}'.", path));
    std::string recovered;
    if (access != Access::AsFound) recovered = recover_from_journal(path);
    else if (Journal::has_unfinished_write(path))
        recovered = "an unfinished write's rollback journal lies beside the file; it was left alone";
    int fd = ::open(path.c_str(), (access == Access::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        throw JetError(err::FileLocked, fmt::format("Could not use '{}'; file already in use or not accessible ({}).",
                                                   path, std::strerror(errno)));
    try {
        const Format& format = recognise_header(path, fd);
        std::unique_ptr<PageFile> file(new PageFile(path, fd, access, format));
        file->recovery_note_ = std::move(recovered);
        return file;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

PageFile::PageFile(std::string path, int fd, Access access, const Format& format)
    : path_(std::move(path)), fd_(fd), access_(access), format_(&format), journal_(path_) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
}

// Another program may delete the file or put another in its place (a compacting scoring
// program writes a new file and renames it over ours): going on through our descriptor would
// write every later record into a file nobody reads.
void PageFile::check_still_the_database() const {
    struct stat now {};
    if (::stat(path_.c_str(), &now) != 0)
        throw JetError(err::FileNotFound, fmt::format("Could not find file '{}': another program deleted or moved the "
                                                      "database while it was open.", path_));
    if (now.st_dev != device_ || now.st_ino != inode_)
        throw JetError(err::ObjectInvalid, fmt::format("The database '{}' was replaced by another file while it was "
                                                       "open (another program put a new file in its place); nothing "
                                                       "more is written to it. Open it again.", path_));
}

PageFile::~PageFile() {
    if (writable()) {
        try {
            StatementLock lock(fd_, StatementLock::Mode::Exclusive);
            Journal::remove_finished(path_);
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

// Only for pages the file holds under the statement lock: no writer of ours can cut the file
// while we hold it, so no page we touch lies past its end unless another program cut it.
const std::uint8_t* PageFile::mapped_page(std::uint32_t page) const {
    if (!mappable_) return nullptr;
    const std::size_t end = (static_cast<std::size_t>(page) + 1) * page_size();
    if (map_ == nullptr || end > map_->size()) {
        map_.reset();
        // Room to grow, so that a file being appended to is not mapped afresh every page.
        map_ = GuardedMapping::map(fd_, end + std::max<std::size_t>(end / 4, std::size_t{1} << 22));
        if (map_ == nullptr) {
            mappable_ = false;  // a file system without mappings: read and written with system calls
            return nullptr;
        }
    }
    return map_->data() + static_cast<std::size_t>(page) * page_size();
}

// Another program cut the file short under the mapping: pages past the cut read as zeros from
// then on, so every later read of the statement fails. The mapping stays until the next
// statement maps afresh (views of it may still be held by whoever catches the error).
void PageFile::throw_if_cut(std::optional<std::uint32_t> page) const {
    if (map_ == nullptr || !map_->cut()) return;
    const std::string what = page ? fmt::format("page {} of '{}'", *page, path_) : fmt::format("'{}'", path_);
    throw JetError(err::CorruptDatabase,
                   fmt::format("Cannot read {}: another program cut the file short while it was being read.", what));
}

Bytes PageFile::read_page(std::uint32_t page) const {
    if (const std::uint8_t* view = page_view(page)) {
        Bytes bytes(view, view + page_size());
        throw_if_cut(page);
        return bytes;
    }
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
    throw_if_cut(page);
    const std::uint32_t pages = in_write_ ? pages_before_ : page_count();  // appended pages are all staged
    if (page >= pages) return nullptr;
    // Every page the scope knows at once, so that no later view or read moves the mapping.
    if (mapped_page(pages - 1) == nullptr) return nullptr;
    return map_->data() + static_cast<std::size_t>(page) * page_size();
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

void PageFile::begin_atomic() {
    journal_.open();
    // We hold the exclusive lock, so an unfinished write was left by a writer that died.
    if (const Journal::Undo undo = journal_.undo_unfinished(fd_, false); undo != Journal::Undo::Nothing) {
        recovery_note_ = describe_recovery(undo, journal_);
        if (undo == Journal::Undo::SetAside) journal_.open();
        scope_pages_.reset();
        ++view_serial_;
    }
    pages_before_ = scope_pages();
    appended_ = 0;
    staged_.clear();
    write_order_.clear();
    in_write_ = true;
}

// The journal gets the old bytes of what changed, then the file gets the new ones: new pages
// first, appended ones and those taken from the empty pages kept in reserve at the end of the
// file (nothing names them yet, and a page that names one may have been staged before it
// last was); then the other pages in the order they were last staged (writers stage what is
// pointed to before what points to it), each in the writes add_page_changes gives. A kill
// cannot stop a write half-way, and no saved range spans two writes, so every range the
// journal saves holds either its old or its new bytes. Appended pages need no saving
// (undoing cuts them).
void PageFile::commit_atomic(bool flush) {
    in_write_ = false;
    if (write_order_.empty()) return;
    const std::uint32_t ps = page_size();
    changes_.clear();
    saved_.clear();
    for (std::uint32_t page = pages_before_; page < pages_before_ + appended_; ++page)
        changes_.push_back({page, 0, static_cast<std::uint16_t>(ps)});
    std::vector<std::uint32_t> used_before;   // written after the pages that were empty
    for (std::uint32_t page : write_order_) {
        if (page >= pages_before_) continue;
        const std::uint8_t* old = file_image(page);
        if (std::any_of(old, old + ps, [](std::uint8_t b) { return b != 0; })) used_before.push_back(page);
        else add_page_changes(*format_, page, old, staged_.at(page).data(), saved_, changes_);
    }
    for (std::uint32_t page : used_before)
        add_page_changes(*format_, page, file_image(page), staged_.at(page).data(), saved_, changes_);
    if (map_ != nullptr && map_->cut()) {   // the old bytes we have are not the file's
        staged_.clear();
        write_order_.clear();
        throw_if_cut(std::nullopt);
    }
    journal_.save(
        saved_, ps, std::uint64_t{pages_before_} * ps, std::uint64_t{pages_before_ + appended_} * ps,
        [this](std::uint32_t page) { return file_image(page); },
        [this](std::uint32_t page) { return staged_.at(page).data(); });
    try {
        for (const JournalRange& r : changes_)
            write_all(fd_, staged_.at(r.page).data() + r.at, r.length, static_cast<off_t>(std::size_t{r.page} * ps + r.at),
                      path_);
        if (flush) sync_file(fd_, path_);
        journal_.mark_finished();
    } catch (...) {
        staged_.clear();
        write_order_.clear();
        ++view_serial_;
        journal_.undo_unfinished(fd_, true);  // the file as it was; if this fails, the next open does it
        throw;
    }
    scope_pages_ = pages_before_ + appended_;
    ++view_serial_;
    staged_.clear();
    write_order_.clear();
}

// A page as the file holds it (during a commit, when nothing is staged any more).
const std::uint8_t* PageFile::file_image(std::uint32_t page) {
    if (const std::uint8_t* view = mapped_page(page)) return view;
    file_copy_ = read_page(page);
    return file_copy_.data();
}

StatementScope::StatementScope(PageFile& file, StatementLock::Mode mode) : file_(file) {
    if (file_.scope_depth_ > 0) {
        if (mode == StatementLock::Mode::Exclusive && file_.scope_mode_ != mode)
            internal(file_.path_, "a write inside a read-only statement");
        ++file_.scope_depth_;
        return;
    }
    file_.check_still_the_database();
    if (file_.map_ != nullptr && file_.map_->cut()) file_.map_.reset();  // cut during the last statement
    file_.scope_lock_ = std::make_unique<StatementLock>(file_.fd_, mode);
    file_.scope_pages_.reset();
    ++file_.view_serial_;
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

void AtomicWrite::commit(bool flush) {
    done_ = true;
    if (outermost_) file_.commit_atomic(flush);
}


}  // namespace jet
