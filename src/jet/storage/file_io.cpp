#include "jet/storage/file_io.h"

#include "jet/base/error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

namespace jet {
namespace {

[[noreturn]] void fail(int error, const char* doing, const std::string& what) {
    if (error == ENOSPC || error == EDQUOT)
        throw JetError(err::DiskFull, fmt::format("Not enough space on disk {} '{}'.", doing, what));
    throw JetError(err::DiskIo, fmt::format("Disk or network error {} '{}': {}.", doing, what, std::strerror(error)));
}

PendingChange pending(FileChange kind, int fd, std::size_t size) {
    PendingChange change;
    change.kind = kind;
    change.fd = fd;
    change.size = size;
    return change;
}

// A fault asked for by a test build.
void check_fault(const PendingChange& change, const char* doing, const std::string& what) {
    if (const FaultAnswer answer = fault_before(change); answer.error != 0) fail(answer.error, doing, what);
}

}  // namespace

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

void write_all(int fd, const std::uint8_t* data, std::size_t size, off_t at, const std::string& what) {
    PendingChange change = pending(FileChange::Write, fd, size);
    change.at = at;
    change.data = data;
    const FaultAnswer fault = fault_before(change);
    const std::size_t allowed = fault.error != 0 ? std::min(fault.bytes, size) : size;
    std::size_t done = 0;
    while (done < allowed) {
        const ssize_t n = ::pwrite(fd, data + done, allowed - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno, "writing", what);
        if (n == 0) fail(EIO, "writing", what);
        done += static_cast<std::size_t>(n);
    }
    if (fault.error != 0) fail(fault.error, "writing", what);
}

void truncate_file(int fd, off_t size, const std::string& what) {
    check_fault(pending(FileChange::Truncate, fd, static_cast<std::size_t>(size)), "cutting", what);
    if (::ftruncate(fd, size) != 0) fail(errno, "cutting", what);
}

void sync_file(int fd, const std::string& what) {
    check_fault(pending(FileChange::Sync, fd, 0), "flushing", what);
    if (::fdatasync(fd) != 0) fail(errno, "flushing", what);
}

void allocate_file(int fd, off_t size, const std::string& what) {
    check_fault(pending(FileChange::Allocate, fd, static_cast<std::size_t>(size)), "growing", what);
    if (const int e = ::posix_fallocate(fd, 0, size); e != 0) fail(e, "growing", what);
}

void store_mapped(std::uint8_t* to, const std::uint8_t* data, std::size_t size) {
    PendingChange change = pending(FileChange::MappedStore, -1, size);
    change.data = data;
    change.to = to;
    fault_before(change);   // may end the process; a store cannot fail
    std::memcpy(to, data, size);
}

}  // namespace jet
