// GuardedMapping: a read-only shared mapping of a file that survives the file being cut short.
//
// Reading the database through a mapping costs no system call per page, but when another
// program cuts the file short while we read (copying another file over it does), touching a
// mapped page past the new end raises SIGBUS, which would end the program. Inside a guarded
// mapping such a page is replaced by a page of zeros and the cut is remembered, so that the
// reader can report it instead. Faults outside our mappings go to whatever handled SIGBUS
// before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace jet {

class GuardedMapping {
public:
    // Maps the first `size` bytes of `fd` (which may be shorter) for reading; null when the
    // file system cannot map it, or too many mappings are open at once.
    static std::unique_ptr<GuardedMapping> map(int fd, std::size_t size);
    ~GuardedMapping();
    GuardedMapping(const GuardedMapping&) = delete;
    GuardedMapping& operator=(const GuardedMapping&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    // Whether a page past the file's end was touched: its bytes read as zeros since.
    bool cut() const;

private:
    GuardedMapping(const std::uint8_t* data, std::size_t size, std::size_t slot)
        : data_(data), size_(size), slot_(slot) {}
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t slot_;
};

}  // namespace jet
