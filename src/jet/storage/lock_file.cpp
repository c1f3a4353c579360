#include "jet/storage/lock_file.h"

#include "jet/base/error.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

namespace {

constexpr off_t FirstSlotByte = 0x10000001;
constexpr int SlotCount = 255;
constexpr std::size_t EntrySize = 64;
constexpr std::size_t NameSize = 32;
// A byte far past any page our files reach; locks there never touch data.
constexpr off_t StatementLockByte = 0x7FFFFFF0;

bool ofd_lock(int fd, short type, off_t start, off_t length, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = length;
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
        if (errno == EINTR) continue;
        return false;
    }
}

std::string computer_name() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return "LOCALHOST";
    std::string name(host);
    if (const auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

bool same_file(int fd, const std::string& path) {
    struct stat a {}, b {};
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

[[noreturn]] void fail(const std::string& path, const char* what) {
    throw JetError(err::FileLocked, fmt::format("Could not use '{}'; {} ({}).", path, what, std::strerror(errno)));
}

}  // namespace

std::string LockFile::lock_path_for(const std::string& database_path) {
    const auto slash = database_path.find_last_of('/');
    const auto dot = database_path.find_last_of('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (!has_extension) return database_path + ".ldb";
    std::string extension = database_path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Access 2007+ names the lock file of its own kinds of file .laccdb, as its users look for it.
    const bool access_2007 = extension == "accdb" || extension == "accde" || extension == "accdr";
    return database_path.substr(0, dot) + (access_2007 ? ".laccdb" : ".ldb");
}

std::unique_ptr<LockFile> LockFile::acquire(const std::string& database_path) {
    const std::string path = lock_path_for(database_path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) fail(path, "the lock file cannot be opened or made (writing a database needs a folder we may write in)");
        int slot = 0;
        for (int k = 1; k <= SlotCount && slot == 0; ++k)
            if (ofd_lock(fd, F_WRLCK, FirstSlotByte + k - 1, 1, false)) slot = k;
        if (slot == 0) {
            ::close(fd);
            errno = EBUSY;
            fail(path, "every user slot of the lock file is taken");
        }
        // A closing user may have removed the file between our open and our lock: start over.
        if (!same_file(fd, path)) {
            ::close(fd);
            continue;
        }
        char entry[EntrySize] = {};
        const std::string computer = computer_name();
        std::memcpy(entry, computer.data(), std::min(computer.size(), NameSize - 1));
        std::memcpy(entry + NameSize, "Admin", 5);
        const off_t at = static_cast<off_t>(slot - 1) * static_cast<off_t>(EntrySize);
        if (::pwrite(fd, entry, EntrySize, at) != static_cast<ssize_t>(EntrySize)) {
            ::close(fd);
            fail(path, "the lock file cannot be written");
        }
        return std::unique_ptr<LockFile>(new LockFile(path, fd, slot));
    }
    errno = EBUSY;
    fail(path, "the lock file keeps being replaced");
}

LockFile::~LockFile() {
    if (fd_ < 0) return;
    ofd_lock(fd_, F_UNLCK, FirstSlotByte + slot_ - 1, 1, false);
    // No slot live (ours released): nobody else uses the database through this file.
    if (ofd_lock(fd_, F_WRLCK, FirstSlotByte, SlotCount, false) && same_file(fd_, path_)) ::unlink(path_.c_str());
    ::close(fd_);
}

StatementLock::StatementLock(int fd, Mode mode) : fd_(fd) {
    if (!ofd_lock(fd_, mode == Mode::Exclusive ? F_WRLCK : F_RDLCK, StatementLockByte, 1, true))
        throw JetError(err::DiskIo, fmt::format("Disk or network error: the database cannot be locked ({}).",
                                                std::strerror(errno)));
}

StatementLock::~StatementLock() { ofd_lock(fd_, F_UNLCK, StatementLockByte, 1, false); }

}  // namespace jet
