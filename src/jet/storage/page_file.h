// PageFile: the database file as an array of fixed-size pages.
//
// Freshness: another program may write the file between two of our statements, so nothing is
// kept across statements. Inside a StatementScope (which holds the statement lock) pages are
// read through a shared mapping of the file, which the operating system keeps identical to
// what every process wrote; outside a scope each read goes to the file. Either way no page is
// ever served stale. Reads past the end or short reads are errors that name the file and page,
// and so is a read of the mapping after another program cut the file short
// (guarded_mapping.h): the statement fails instead of the program.
//
// Writes that must land together (one record with its index entries and counters) run inside
// an AtomicWrite: pages are staged in memory (reads see the staged images) and commit() first
// saves the old bytes of what changed to the rollback journal (journal.h), then writes the
// changes, then marks the journal finished. A process killed in between leaves an unfinished
// journal; the next open of ours, or the next writer, puts the old bytes back, so no reader of
// ours ever sees half a record. The changes go in an order that keeps every page whole after
// each write, for readers that take no lock and know nothing of the journal: new pages before
// what names them, a data page's rows and row table before the row count that makes them count.
#pragma once

#include "jet/base/bytes.h"
#include "jet/storage/format.h"
#include "jet/storage/guarded_mapping.h"
#include "jet/storage/journal.h"
#include "jet/storage/lock_file.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace jet {

class PageFile {
public:
    // AsFound: read-only, and a rollback journal left by a writer that died is left alone, so
    // that the file is seen as programs that know nothing of our journal see it.
    enum class Access { ReadOnly, ReadWrite, AsFound };

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
    // What was done with a rollback journal left by a writer that died (undone, or set aside as
    // another file's), empty when none was found.
    const std::string& recovery_note() const { return recovery_note_; }
    int fd() const { return fd_; }

    std::uint32_t page_count() const;                  // whole pages, counting staged appends
    // Names what the file holds as seen from here: a new value for each outermost statement
    // scope and after each commit, 0 outside a scope and during a write (when anything may
    // change). A check of cached bytes made under a serial holds while the serial stays.
    std::uint64_t view_serial() const { return scope_depth_ > 0 && !in_write_ ? view_serial_ : 0; }
    Bytes read_page(std::uint32_t page) const;         // 3049 naming the page when it is past the end
    // The page in place, without a copy: only inside a statement scope (null outside one and
    // past the end, where read_page says why). Valid until the scope or the current write ends.
    const std::uint8_t* page_view(std::uint32_t page) const;
    // Both only inside an AtomicWrite.
    void write_page(std::uint32_t page, const Bytes& bytes);
    std::uint32_t append_page(const Bytes& bytes);     // a page after the last, returns its number

private:
    friend class AtomicWrite;
    friend class StatementScope;
    PageFile(std::string path, int fd, Access access, const Format& format);
    std::uint32_t file_pages() const;
    void check_still_the_database() const;
    std::uint32_t scope_pages() const;
    const std::uint8_t* mapped_page(std::uint32_t page) const;
    void throw_if_cut(std::optional<std::uint32_t> page) const;
    void begin_atomic();
    void commit_atomic(bool flush);
    const std::uint8_t* file_image(std::uint32_t page);

    std::string path_;
    int fd_ = -1;
    Access access_;
    const Format* format_;
    std::string recovery_note_;
    std::uint64_t device_ = 0, inode_ = 0;  // the file we opened, told apart from one put in its place

    // Statement scope: depth of nested scopes, and the file's pages under the lock (learnt on
    // first need).
    int scope_depth_ = 0;
    std::uint64_t view_serial_ = 0;
    StatementLock::Mode scope_mode_ = StatementLock::Mode::Shared;
    std::unique_ptr<StatementLock> scope_lock_;
    mutable std::optional<std::uint32_t> scope_pages_;
    mutable std::unique_ptr<GuardedMapping> map_;
    mutable bool mappable_ = true;

    // The write in progress: staged page images and the order in which they were last written.
    bool in_write_ = false;
    std::uint32_t pages_before_ = 0;
    std::uint32_t appended_ = 0;
    std::map<std::uint32_t, Bytes> staged_;
    std::vector<std::uint32_t> write_order_;
    Journal journal_;   // kept open between writes
    // A commit's ranges: those the journal saves, and per page the span it writes (kept for
    // their capacity).
    std::vector<JournalRange> saved_, changes_;
    Bytes file_copy_;
};

// Holds the statement lock on the file for its scope: exclusive for writers, shared for
// readers that must see no statement half done. Blocks until granted. A scope inside another
// joins it (a shared scope inside an exclusive one; never the other way round).
class StatementScope {
public:
    StatementScope(PageFile& file, StatementLock::Mode mode);
    ~StatementScope();
    StatementScope(const StatementScope&) = delete;
    StatementScope& operator=(const StatementScope&) = delete;

private:
    PageFile& file_;
};

// Makes the page writes of its scope all-or-nothing: commit() stores them (`flush`: and has the
// disk hold them before the write counts as done; should that fail the write is undone),
// leaving the scope without commit() (an exception) drops them. Holds the exclusive statement lock (joining a
// scope that already holds it). Inside another AtomicWrite it joins the outer one.
class AtomicWrite {
public:
    explicit AtomicWrite(PageFile& file);
    ~AtomicWrite();
    AtomicWrite(const AtomicWrite&) = delete;
    AtomicWrite& operator=(const AtomicWrite&) = delete;
    void commit(bool flush = false);

private:
    PageFile& file_;
    StatementScope scope_;
    bool outermost_;
    bool done_ = false;
};

// A whole page's bytes, copied or viewed in place (PageFile::page_view).
using PageSpan = std::span<const std::uint8_t>;

// The page in place inside a statement scope, else read into `buffer` (3049 past the end).
inline PageSpan read_page_span(const PageFile& file, std::uint32_t page, Bytes& buffer) {
    if (const std::uint8_t* view = file.page_view(page)) return {view, file.page_size()};
    buffer = file.read_page(page);
    return buffer;
}

}  // namespace jet
