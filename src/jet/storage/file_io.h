// Whole reads and writes at an offset of a file, retried when a signal interrupts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace jet {

// False when the file ends before `size` bytes (or cannot be read).
bool read_all(int fd, std::uint8_t* data, std::size_t size, off_t at);
// 3043 (disk or network error) naming `what` when the bytes cannot all be written.
void write_all(int fd, const std::uint8_t* data, std::size_t size, off_t at, const std::string& what);

}  // namespace jet
