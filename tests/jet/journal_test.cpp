// A write that dies or fails before it is committed must leave no trace. (Kills that land
// inside a commit, and their undoing, are the kill test's business.)
#include "jet/page_io.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Copy {
    fs::path dir, file;
    explicit Copy(const char* fixture) {
        dir = fs::temp_directory_path() / ("journal-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(dir);
        file = dir / "db.mdb";
        fs::copy_file(fs::path(TALLIMO_FIXTURES) / fixture, file);
    }
    ~Copy() { fs::remove_all(dir); }
    static inline int counter = 0;
};

jet::Bytes filled(std::uint32_t size, std::uint8_t byte) { return jet::Bytes(size, byte); }

}  // namespace

TEST(AtomicWrite, WriterDyingBeforeCommitLeavesTheFileAlone) {
    Copy copy("access/jet4/testV2000.mdb");
    const auto size_before = fs::file_size(copy.file);
    jet::Bytes page3_before, page5_before;
    {
        auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadOnly);
        page3_before = file->read_page(3);
        page5_before = file->read_page(5);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
        jet::StatementScope scope(*file, jet::StatementLock::Mode::Exclusive);
        jet::AtomicWrite atomic(*file);
        file->write_page(3, filled(file->page_size(), 0xAB));
        file->append_page(filled(file->page_size(), 0xCD));
        file->write_page(5, filled(file->page_size(), 0xEF));
        ::_exit(0);  // dies mid-write: no commit, no destructors
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_FALSE(jet::Journal::has_unfinished_write(copy.file));

    auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadOnly);
    EXPECT_EQ(file->read_page(3), page3_before);
    EXPECT_EQ(file->read_page(5), page5_before);
    EXPECT_EQ(fs::file_size(copy.file), size_before);
}

TEST(AtomicWrite, ErrorInsideTheWriteRestoresEveryPage) {
    Copy copy("access/jet3/testV1997.mdb");
    const auto size_before = fs::file_size(copy.file);
    auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
    const jet::Bytes page2_before = file->read_page(2);
    try {
        jet::StatementScope scope(*file, jet::StatementLock::Mode::Exclusive);
        jet::AtomicWrite atomic(*file);
        file->write_page(2, filled(file->page_size(), 0x11));
        file->append_page(filled(file->page_size(), 0x22));
        throw std::runtime_error("disk full");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(file->read_page(2), page2_before);
    EXPECT_EQ(fs::file_size(copy.file), size_before);
}

TEST(AtomicWrite, CommittedWriteStaysAndLeavesNoJournal) {
    Copy copy("access/jet4/testV2000.mdb");
    {
        auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
        jet::StatementScope scope(*file, jet::StatementLock::Mode::Exclusive);
        jet::AtomicWrite atomic(*file);
        file->write_page(4, filled(file->page_size(), 0x5A));
        atomic.commit();
    }
    EXPECT_FALSE(fs::exists(jet::Journal::path_for(copy.file)));
    auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadOnly);
    EXPECT_EQ(file->read_page(4), filled(file->page_size(), 0x5A));
}

// A writer that closes removes the finished journal; another writer that still holds the
// removed file must save its next write into a journal that the next open can find.
TEST(AtomicWrite, WriterMakesANewJournalWhenAnotherRemovedIt) {
    Copy copy("access/jet4/testV2000.mdb");
    const std::string journal = jet::Journal::path_for(copy.file);
    auto write = [](jet::PageFile& file, std::uint8_t byte) {
        jet::StatementScope scope(file, jet::StatementLock::Mode::Exclusive);
        jet::AtomicWrite atomic(file);
        file.write_page(4, filled(file.page_size(), byte));
        atomic.commit();
    };
    auto staying = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
    write(*staying, 0x01);
    {
        auto leaving = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
        write(*leaving, 0x02);
    }
    EXPECT_FALSE(fs::exists(journal));
    write(*staying, 0x03);
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_FALSE(jet::Journal::has_unfinished_write(copy.file));
}
