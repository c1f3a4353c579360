#include "jet/storage/file_io.h"

#include "jet/base/error.h"

#include <cerrno>
#include <cstring>
#include <fmt/format.h>
#include <unistd.h>

namespace jet {

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
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw JetError(err::DiskIo, fmt::format("Disk or network error writing '{}': {}.", what, std::strerror(errno)));
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace jet
