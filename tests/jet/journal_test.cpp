// A write that fails before its commit leaves no trace; one that dies inside its commit is left
// alone when the file is opened as found, and never undone onto another file put in its place;
// a journal removed by one writer is made again by another. (Writes killed at every change,
// inside their commits too, and undone on the next open are crash_points_test's.)
#include "jet/storage/page_file.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using testsupport::file_bytes;

struct Copy {
    explicit Copy(const char* fixture) : file(testsupport::copy_fixture(fixture, dir)) {}
    fs::path dir = testsupport::fresh_dir("journal-" + std::to_string(counter++));
    fs::path file;
    static inline int counter = 0;
};

// What a writer killed inside its commit leaves: its journal saved and marked unfinished, its
// change to page 3 written, its change to page 5 not yet.
void leave_write_killed_in_its_commit(const fs::path& file) {
    jet::Bytes old3, old5;
    std::uint32_t page_size = 0;
    {
        auto f = jet::PageFile::open(file, jet::PageFile::Access::ReadOnly);
        page_size = f->page_size();
        old3 = f->read_page(3);
        old5 = f->read_page(5);
    }
    jet::Bytes new3 = old3, new5 = old5;
    std::fill(new3.begin() + 100, new3.begin() + 200, 0xAB);
    std::fill(new5.begin() + 64, new5.begin() + 128, 0xCD);
    jet::Journal journal(file.string());
    journal.open();
    journal.save(
        {{3, 100, 100}, {5, 64, 64}}, page_size, fs::file_size(file), fs::file_size(file),
        [&](std::uint32_t page) { return (page == 3 ? old3 : old5).data(); },
        [&](std::uint32_t page) { return (page == 3 ? new3 : new5).data(); });
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(std::streamoff{3} * page_size + 100);
    out.write(reinterpret_cast<const char*>(new3.data() + 100), 100);
}

}  // namespace

// An error while pages are staged (a refusal, a failed read) drops them all: nothing may be
// written, even the pages and file length staged before it. The next write is one of its own,
// not a part of the dropped one that never commits.
TEST(AtomicWrite, ErrorInsideTheWriteRestoresEveryPage) {
    Copy copy("access/jet3/testV1997.mdb");
    const std::string before = file_bytes(copy.file);
    auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
    try {
        jet::AtomicWrite atomic(*file);
        file->write_page(2, jet::Bytes(file->page_size(), 0x11));
        file->append_page(jet::Bytes(file->page_size(), 0x22));
        throw std::runtime_error("disk full");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(file_bytes(copy.file) == before);

    {
        jet::AtomicWrite atomic(*file);
        file->write_page(2, jet::Bytes(file->page_size(), 0x33));
        atomic.commit();
    }
    EXPECT_EQ(file_bytes(copy.file).at(std::size_t{2} * file->page_size()), '\x33');
}

// A writer that closes removes the finished journal; another writer that still holds the
// removed file must save its next write into a journal that the next open can find.
TEST(AtomicWrite, WriterMakesANewJournalWhenAnotherRemovedIt) {
    Copy copy("access/jet4/testV2000.mdb");
    const std::string journal = jet::Journal::path_for(copy.file);
    auto write = [](jet::PageFile& file, std::uint8_t byte) {
        jet::StatementScope scope(file, jet::StatementLock::Mode::Exclusive);
        jet::AtomicWrite atomic(file);
        file.write_page(4, jet::Bytes(file.page_size(), byte));
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

// As found (tlw check --as-found): a killed commit is seen as other programs see it, nothing
// undone. (Undoing it on the next open is tried at every stop by crash_points_test.)
TEST(KilledCommit, AsFoundLeavesTheJournalAlone) {
    Copy copy("access/jet4/testV2000.mdb");
    const std::string before = file_bytes(copy.file);
    leave_write_killed_in_its_commit(copy.file);
    const std::string killed = file_bytes(copy.file);
    ASSERT_FALSE(killed == before);
    auto as_found = jet::PageFile::open(copy.file, jet::PageFile::Access::AsFound);
    EXPECT_NE(as_found->recovery_note().find("left alone"), std::string::npos) << as_found->recovery_note();
    EXPECT_TRUE(file_bytes(copy.file) == killed);
    EXPECT_TRUE(jet::Journal::has_unfinished_write(copy.file));
}

// A user copies a fresh event over a file whose writer was killed: the old journal beside it
// describes another file and must not be undone onto this one, whether that file differs in
// length or only in the bytes the write changed.
TEST(KilledCommit, JournalIsNeverUndoneOntoAnotherFileInItsPlace) {
    const auto other_database = [](const fs::path& file) {
        fs::copy_file(fs::path(TALLIMO_FIXTURES) / "access/jet4/compIndexTestV2000.mdb", file,
                      fs::copy_options::overwrite_existing);
    };
    const auto same_length_other_bytes = [](const fs::path& file) {
        fs::copy_file(fs::path(TALLIMO_FIXTURES) / "access/jet4/testV2000.mdb", file,
                      fs::copy_options::overwrite_existing);
        std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(5 * 4096 + 80);
        out.write("another run", 11);
    };
    const std::vector<std::function<void(const fs::path&)>> replacements{other_database, same_length_other_bytes};
    for (const auto& put_in_its_place : replacements) {
        Copy copy("access/jet4/testV2000.mdb");
        leave_write_killed_in_its_commit(copy.file);
        put_in_its_place(copy.file);
        const std::string fresh = file_bytes(copy.file);

        auto file = jet::PageFile::open(copy.file, jet::PageFile::Access::ReadWrite);
        EXPECT_NE(file->recovery_note().find("set aside"), std::string::npos) << file->recovery_note();
        EXPECT_TRUE(file_bytes(copy.file) == fresh) << "the file in the database's place is left as it was";
        EXPECT_FALSE(jet::Journal::has_unfinished_write(copy.file));
        bool kept = false;
        for (const auto& e : fs::directory_iterator(copy.dir))
            kept = kept || e.path().filename().string().starts_with("testV2000.mdb-journal-set-aside-");
        EXPECT_TRUE(kept) << "the journal is kept under another name";
    }
}
