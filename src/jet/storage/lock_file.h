// Sharing a database with other users: the ".ldb" (".laccdb") lock file beside it, holding one 64-byte
// entry (computer name, user name "Admin") per user slot as Jet keeps it, and the operating
// system locks that keep two processes of ours from interleaving read-modify-write
// statements. Slots are live while their byte (0x10000000 + slot) is locked in the .ldb; the
// last of our users to close removes the file. Statement locks sit on the database file itself
// (which, unlike the .ldb, is never removed), as open-file-description locks so that two
// opens in one process exclude each other too.
#pragma once

#include <memory>
#include <string>

namespace jet {

class LockFile {
public:
    // Opens or creates the lock file beside `database_path` and claims the first free slot
    // (3045 naming the file when it cannot be written or every slot is taken).
    static std::unique_ptr<LockFile> acquire(const std::string& database_path);
    ~LockFile();   // releases the slot; removes the lock file when no slot is live any more
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const std::string& path() const { return path_; }
    int slot() const { return slot_; }

    // "x.mdb" -> "x.ldb", "x.tlw" -> "x.ldb", "x.accdb" -> "x.laccdb"
    static std::string lock_path_for(const std::string& database_path);

private:
    LockFile(std::string path, int fd, int slot) : path_(std::move(path)), fd_(fd), slot_(slot) {}
    std::string path_;
    int fd_ = -1;
    int slot_ = 0;
};

// Held for the length of one statement: exclusive for writers, shared for readers that want
// to see no statement half done. Blocks until granted. `fd` is the open database file.
class StatementLock {
public:
    enum class Mode { Shared, Exclusive };
    StatementLock(int fd, Mode mode);
    ~StatementLock();
    StatementLock(const StatementLock&) = delete;
    StatementLock& operator=(const StatementLock&) = delete;

private:
    int fd_;
};

}  // namespace jet
