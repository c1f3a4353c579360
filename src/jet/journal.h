// The rollback journal beside a database ("<file>-journal"). Before a write reaches the
// database, the old bytes of every range it changes are saved here and the journal is marked
// unfinished; the mark is cleared once every page is written. A set mark therefore always
// describes whole records, and undoing them puts the database back as it was before the write.
// The journal is written through a shared mapping where the file system allows one, so a write
// costs no system calls here; a process killed at any instruction leaves what it stored.
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
    // Puts back what an unfinished write saved and cuts the database (open as `db`) to its old
    // length; false when there was none.
    bool undo_unfinished(int db);
    // Saves the old bytes of `ranges` (`old_page(page)` gives a page's current image) and marks
    // the journal unfinished; `old_size` is the database's length before the write.
    void save(const std::vector<JournalRange>& ranges, std::uint32_t page_size, std::uint64_t old_size,
              const std::function<const std::uint8_t*(std::uint32_t)>& old_page);
    void mark_finished();

private:
    bool load(std::size_t at, std::uint8_t* data, std::size_t size) const;
    void store(std::size_t at, const std::uint8_t* data, std::size_t size);
    void reserve(std::size_t size);
    void unmap();

    std::string database_path_;
    std::string path_;
    int fd_ = -1;
    std::uint8_t* map_ = nullptr;
    std::size_t map_size_ = 0;
    bool mappable_ = true;
    std::vector<std::uint8_t> records_;   // reused between writes
};

}  // namespace jet
