// Every read and every change the engine makes to a database file or its journal goes through
// these functions: whole reads and writes at an offset (retried when a signal interrupts
// them), cutting, flushing and allocating a file, and stores into the journal's mapping.
//
// Before each change they ask fault_before() whether to go on. The engine's own answer
// (file_faults.cpp) is always "go on"; a test program links its own definition in its place
// to end the process at any one change (as a kill would) or make it fail (a full disk, an I/O
// error, a short write), so that every crash point of every write can be tried in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace jet {

enum class FileChange { Write, MappedStore, Truncate, Sync, Allocate };

// A change about to be made: `size` bytes from `data` written at `at` of `fd`, or stored at
// `to` in a mapping; cuts, flushes and allocations name only their file and size.
struct PendingChange {
    FileChange kind = FileChange::Write;
    int fd = -1;
    off_t at = 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint8_t* to = nullptr;
};

// What a change is to do: fail with `error` (an errno value) after its first `bytes` bytes, or,
// with `error` 0, go on whole.
struct FaultAnswer {
    int error = 0;
    std::size_t bytes = 0;
};
FaultAnswer fault_before(const PendingChange& change);

// False when the file ends before `size` bytes (or cannot be read).
bool read_all(int fd, std::uint8_t* data, std::size_t size, off_t at);
// The rest fail with a Jet error naming `what`: 3026 when the disk is full, else 3043.
void write_all(int fd, const std::uint8_t* data, std::size_t size, off_t at, const std::string& what);
void truncate_file(int fd, off_t size, const std::string& what);
void sync_file(int fd, const std::string& what);
// Reserves `size` bytes of disk for the file, so that stores into its mapping cannot fail.
void allocate_file(int fd, off_t size, const std::string& what);
// Copies into a shared mapping of a file (the journal's).
void store_mapped(std::uint8_t* to, const std::uint8_t* data, std::size_t size);

}  // namespace jet
