#include "jet/storage/journal.h"

#include "jet/base/error.h"
#include "jet/storage/file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fmt/format.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

// Layout: a header (magic, page size, the "unfinished" flag, number of saved ranges, bytes of
// records, the database's length before and after the write), then per range its page number, offset,
// length, a checksum of its new bytes and its old bytes. The flag is stored after the records
// and cleared after the database's pages, so a set flag always describes whole records.
constexpr char kMagic[8] = {'T', 'L', 'W', 'J', 'R', 'N', 'L', '4'};
// Stored over the magic by a process that removes the journal, so that a writer still holding
// the removed file learns it from its mapping instead of asking the file system every write.
constexpr char kRetired[8] = {'T', 'L', 'W', 'J', 'G', 'O', 'N', 'E'};
constexpr std::size_t kHeader = 40;
constexpr std::size_t kFlagAt = 12;
constexpr std::size_t kRecordHead = 16;
constexpr std::size_t kInitialSize = std::size_t{1} << 16;

struct Header {
    std::uint32_t page_size = 0;
    std::uint32_t count = 0;
    std::uint32_t bytes = 0;
    std::uint64_t old_size = 0;
    std::uint64_t new_size = 0;
};

std::optional<Header> parse_unfinished(const std::uint8_t* raw) {
    if (std::memcmp(raw, kMagic, sizeof kMagic) != 0) return std::nullopt;
    std::uint32_t unfinished;
    std::memcpy(&unfinished, raw + kFlagAt, 4);
    if (unfinished == 0) return std::nullopt;
    Header h;
    std::memcpy(&h.page_size, raw + 8, 4);
    std::memcpy(&h.count, raw + 16, 4);
    std::memcpy(&h.bytes, raw + 20, 4);
    std::memcpy(&h.old_size, raw + 24, 8);
    std::memcpy(&h.new_size, raw + 32, 8);
    return h;
}

// FNV-1a: enough to tell a range's new bytes from whatever another file holds there.
std::uint64_t checksum(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3u;
    return h;
}

struct SavedRange {
    JournalRange range;
    std::uint64_t new_checksum = 0;
    const std::uint8_t* old_bytes = nullptr;
};

// Keeps the compiler from moving stores across it: what is stored before must be in the
// mapping before what is stored after, should the process die in between.
void in_order() { std::atomic_thread_fence(std::memory_order_seq_cst); }

}  // namespace

Journal::Journal(std::string database_path) : database_path_(std::move(database_path)), path_(path_for(database_path_)) {}

Journal::~Journal() {
    unmap();
    if (fd_ >= 0) ::close(fd_);
}

void Journal::remove_finished(const std::string& database_path) {
    const std::string path = path_for(database_path);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    std::uint8_t raw[kHeader];
    const bool unfinished = read_all(fd, raw, kHeader, 0) && parse_unfinished(raw).has_value();
    bool retired = false;
    if (!unfinished) {
        try {
            write_all(fd, reinterpret_cast<const std::uint8_t*>(kRetired), sizeof kRetired, 0, path);
            retired = true;
        } catch (const JetError&) {
            // Left in place: the next writer reuses it.
        }
    }
    if (retired) ::unlink(path.c_str());
    ::close(fd);
}

bool Journal::has_unfinished_write(const std::string& database_path) {
    const int fd = ::open(path_for(database_path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::uint8_t raw[kHeader];
    const bool unfinished = read_all(fd, raw, kHeader, 0) && parse_unfinished(raw).has_value();
    ::close(fd);
    return unfinished;
}

void Journal::open() {
    if (fd_ >= 0) {
        if (map_ != nullptr) {
            if (std::memcmp(map_, kRetired, sizeof kRetired) != 0) return;
        } else {
            struct stat st {};
            if (::fstat(fd_, &st) == 0 && st.st_nlink > 0) return;
        }
        unmap();  // another process of ours removed it on closing
        ::close(fd_);
        fd_ = -1;
    }
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw JetError(err::DiskIo, fmt::format("Cannot create the journal '{}' for a write to '{}': {}.", path_,
                                                database_path_, std::strerror(errno)));
    reserve(kInitialSize);
}

void Journal::unmap() {
    if (map_ != nullptr) ::munmap(map_, map_size_);
    map_ = nullptr;
    map_size_ = 0;
}

// Grows the file (never shrinks it: another process of ours may have it mapped) and maps it.
void Journal::reserve(std::size_t size) {
    if (!mappable_ || (map_ != nullptr && size <= map_size_)) return;
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throw JetError(err::DiskIo, fmt::format("Disk or network error reading '{}': {}.", path_, std::strerror(errno)));
    const std::size_t wanted = std::max({size, 2 * map_size_, kInitialSize, static_cast<std::size_t>(st.st_size)});
    // Allocated, not just sized: a store into a hole that the disk cannot fill would kill us.
    if (static_cast<std::size_t>(st.st_size) < wanted) allocate_file(fd_, static_cast<off_t>(wanted), path_);
    unmap();
    void* m = ::mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (m == MAP_FAILED) {
        mappable_ = false;  // a file system without mappings: written with pwrite instead
        return;
    }
    map_ = static_cast<std::uint8_t*>(m);
    map_size_ = wanted;
}

void Journal::store(std::size_t at, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;   // a write of new pages alone saves no bytes
    reserve(at + size);
    if (map_ != nullptr) store_mapped(map_ + at, data, size);
    else write_all(fd_, data, size, static_cast<off_t>(at), path_);
}

bool Journal::load(std::size_t at, std::uint8_t* data, std::size_t size) const {
    if (size == 0) return true;
    if (map_ != nullptr && at + size <= map_size_) {
        std::memcpy(data, map_ + at, size);
        return true;
    }
    return read_all(fd_, data, size, static_cast<off_t>(at));
}

Journal::Undo Journal::undo_unfinished(int db, bool proven_ours) {
    std::uint8_t raw[kHeader];
    if (!load(0, raw, kHeader)) return Undo::Nothing;
    const std::optional<Header> h = parse_unfinished(raw);
    if (!h) return Undo::Nothing;
    const auto cut_short = [&](std::uint32_t i) {
        return JetError(err::CorruptDatabase, fmt::format("The journal '{}' of an unfinished write is damaged or cut "
                                                          "short (range {} of {}).", path_, i + 1, h->count));
    };
    std::vector<std::uint8_t> bytes(h->bytes);
    if (!load(kHeader, bytes.data(), bytes.size())) throw cut_short(0);
    std::vector<SavedRange> ranges;
    for (std::size_t at = 0; ranges.size() < h->count;) {
        const auto i = static_cast<std::uint32_t>(ranges.size());
        if (at + kRecordHead > bytes.size()) throw cut_short(i);
        SavedRange s;
        std::memcpy(&s.range.page, bytes.data() + at, 4);
        std::memcpy(&s.range.at, bytes.data() + at + 4, 2);
        std::memcpy(&s.range.length, bytes.data() + at + 6, 2);
        std::memcpy(&s.new_checksum, bytes.data() + at + 8, 8);
        at += kRecordHead;
        if (at + s.range.length > bytes.size() || std::size_t{s.range.at} + s.range.length > h->page_size)
            throw cut_short(i);
        s.old_bytes = bytes.data() + at;
        at += s.range.length;
        ranges.push_back(s);
    }
    const auto offset = [&](const JournalRange& r) {
        return static_cast<off_t>(std::uint64_t{r.page} * h->page_size + r.at);
    };
    if (!proven_ours) {
        // The file is as long as before the write or as after it (or in between, its new pages
        // partly appended), and each range holds its old bytes (not yet written, or already put
        // back) or its new ones; anything else is another file than the one written to.
        const off_t size = ::lseek(db, 0, SEEK_END);
        bool ours = !ranges.empty() && size >= 0 && static_cast<std::uint64_t>(size) >= h->old_size &&
                    static_cast<std::uint64_t>(size) <= h->new_size;
        std::vector<std::uint8_t> now;
        for (const SavedRange& s : ranges) {
            now.resize(s.range.length);
            ours = ours && read_all(db, now.data(), now.size(), offset(s.range)) &&
                   (std::memcmp(now.data(), s.old_bytes, now.size()) == 0 ||
                    checksum(now.data(), now.size()) == s.new_checksum);
            if (!ours) break;
        }
        if (!ours) {
            set_aside();
            return Undo::SetAside;
        }
    }
    for (const SavedRange& s : ranges) write_all(db, s.old_bytes, s.range.length, offset(s.range), database_path_);
    truncate_file(db, static_cast<off_t>(h->old_size), database_path_);
    sync_file(db, database_path_);
    mark_finished();
    return Undo::Undone;
}

// Renames the journal out of the way (a name no writer of ours looks for) and keeps it for
// whoever wants to know what happened.
void Journal::set_aside() {
    set_aside_path_ = fmt::format("{}-set-aside-{}", path_, static_cast<long long>(::time(nullptr)));
    if (::rename(path_.c_str(), set_aside_path_.c_str()) != 0)
        throw JetError(err::DiskIo, fmt::format("The journal '{}' does not belong to '{}' and cannot be set aside: {}.",
                                                path_, database_path_, std::strerror(errno)));
    unmap();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void Journal::save(const std::vector<JournalRange>& ranges, std::uint32_t page_size, std::uint64_t old_size,
                   std::uint64_t new_size, const PageImage& old_page, const PageImage& new_page) {
    records_.clear();
    for (const JournalRange& r : ranges) {
        std::uint8_t head[kRecordHead];
        const std::uint64_t new_checksum = checksum(new_page(r.page) + r.at, r.length);
        std::memcpy(head, &r.page, 4);
        std::memcpy(head + 4, &r.at, 2);
        std::memcpy(head + 6, &r.length, 2);
        std::memcpy(head + 8, &new_checksum, 8);
        records_.insert(records_.end(), head, head + kRecordHead);
        const std::uint8_t* old = old_page(r.page) + r.at;
        records_.insert(records_.end(), old, old + r.length);
    }
    const auto count = static_cast<std::uint32_t>(ranges.size());
    const auto bytes = static_cast<std::uint32_t>(records_.size());
    std::uint8_t header[kHeader] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    std::memcpy(header + 8, &page_size, 4);
    std::memcpy(header + 16, &count, 4);
    std::memcpy(header + 20, &bytes, 4);
    std::memcpy(header + 24, &old_size, 8);
    std::memcpy(header + 32, &new_size, 8);
    store(kHeader, records_.data(), records_.size());
    store(0, header, kHeader);
    in_order();
    const std::uint32_t unfinished = 1;
    store(kFlagAt, reinterpret_cast<const std::uint8_t*>(&unfinished), 4);
    in_order();
}

void Journal::mark_finished() {
    in_order();
    const std::uint32_t finished = 0;
    store(kFlagAt, reinterpret_cast<const std::uint8_t*>(&finished), 4);
}

}  // namespace jet
