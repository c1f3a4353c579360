// The rollback journal beside a database ("<file>-journal"). Before a write reaches the
// database, the old bytes of every range it changes are saved here and the journal is marked
// unfinished; the mark is cleared once every page is written. A set mark therefore always
// describes whole records, and undoing them puts the database back as it was before the write.
// The journal is written through a shared mapping where the file system allows one, so a write
// costs no system calls here; a process killed at any instruction leaves what it stored.
// With each range the journal keeps a checksum of the bytes the write puts there: a journal
// left beside a file is undone only when every range holds its old or its new bytes, so a
// journal never undoes its write onto another file put in the database's place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet {

// One range of a page whose old bytes the journal saves.
struct JournalRange {
    std::uint32_t page = 0;
    std::uint16_t at = 0;
    std::uint16_t length = 0;
};

class Journal {
public:
    explicit Journal(std::string database_path);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    static std::string path_for(const std::string& database_path) { return database_path + "-journal"; }
    // True when a writer died inside a write and its journal has not been undone yet.
    static bool has_unfinished_write(const std::string& database_path);
    // Removes a finished journal (clutter once its writer closes), marking it first so that a
    // writer of ours that still holds it makes a new one. Under the exclusive statement lock.
    static void remove_finished(const std::string& database_path);

    // The caller holds the exclusive statement lock for all of these.
    // Opens the journal, or makes a new one when another process of ours removed it (seen in
    // the mapping without a system call).
    void open();
    enum class Undo {
        Nothing,    // no unfinished write
        Undone,     // the database is back as it was before the write
        SetAside,   // the journal was not of this file: renamed to set_aside_path(), file untouched
    };
    // Puts back what an unfinished write saved and cuts the database (open as `db`) to its old
    // length. A journal found beside the file (`proven_ours` false) is first checked against
    // it; our own failed write (`proven_ours` true) is undone whatever it reached.
    Undo undo_unfinished(int db, bool proven_ours);
    // Where a journal that did not belong to the database was put.
    const std::string& set_aside_path() const { return set_aside_path_; }
    // Saves the old bytes of `ranges` (`old_page(page)` gives a page's current image) with a
    // checksum of their new bytes (`new_page(page)`), and marks the journal unfinished;
    // `old_size` and `new_size` are the database's lengths before and after the write.
    using PageImage = std::function<const std::uint8_t*(std::uint32_t)>;
    void save(const std::vector<JournalRange>& ranges, std::uint32_t page_size, std::uint64_t old_size,
              std::uint64_t new_size, const PageImage& old_page, const PageImage& new_page);
    void mark_finished();

private:
    bool load(std::size_t at, std::uint8_t* data, std::size_t size) const;
    void set_aside();
    void store(std::size_t at, const std::uint8_t* data, std::size_t size);
    void reserve(std::size_t size);
    void unmap();

    std::string database_path_;
    std::string path_;
    std::string set_aside_path_;
    int fd_ = -1;
    std::uint8_t* map_ = nullptr;
    std::size_t map_size_ = 0;
    bool mappable_ = true;
    std::vector<std::uint8_t> records_;   // reused between writes
};

}  // namespace jet
