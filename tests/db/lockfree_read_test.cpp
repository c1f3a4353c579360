// Scoring programs read the file through libraries that take no locks of ours. A reader that
// reads pages with plain pread while a writer of ours appends and updates must find every data
// page whole in itself at every instant: its row table inside the page and every row it names
// decodable. Index pages are not checked: an insert moves the entries after it, so a read that
// meets that one write can see them half moved (no independent reader reads index pages; ours
// take the statement lock).
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/rows/row_decode.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fmt/format.h>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PageValidator {
public:
    explicit PageValidator(jet::Database& db) : format_(db.format()) {
        for (const jet::CatalogEntry& t : db.tables()) {
            jet::TableDefPtr def = db.table_def(t.name);
            decoders_.emplace(def->tdef_page, Decoder{def, jet::RowDecoder(db.file(), *def)});
        }
    }

    // What is wrong with a data page, nullopt when nothing (or when it is no data page).
    std::optional<std::string> problem(std::uint32_t number, const jet::Bytes& page) const try {
        if (page[0] != 0x01) return std::nullopt;
        const std::size_t count = jet::get_u16(page, format_.data_row_count_offset);
        const std::size_t table_end = format_.data_first_row_offset + 2 * count;
        if (table_end > page.size()) return fmt::format("page {}: {} rows do not fit their table", number, count);
        const auto owner = decoders_.find(jet::get_u32(page, 4));
        std::size_t end = page.size();
        std::vector<jet::FieldRef> fields;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint16_t entry = jet::get_u16(page, format_.data_first_row_offset + 2 * i);
            const std::size_t start = entry & jet::row_flags::OffsetMask;
            if (start < table_end || start > end)
                return fmt::format("page {}: row {} starts at {}, outside {}..{}", number, i, start, table_end, end);
            const bool plain = (entry & (jet::row_flags::Deleted | jet::row_flags::Overflow)) == 0;
            if (plain && owner != decoders_.end())
                owner->second.rows.split(page.data() + start, end - start,
                                         jet::RowId{number, static_cast<std::uint8_t>(i)}, fields);
            end = start;
        }
        return std::nullopt;
    } catch (const jet::JetError& e) {
        return fmt::format("page {}: {}", number, e.description());
    }

private:
    struct Decoder {
        jet::TableDefPtr def;
        jet::RowDecoder rows;
    };

    const jet::Format& format_;
    std::map<std::uint32_t, Decoder> decoders_;
};

TEST(LockFreeReader, EveryPageReadWhileAWriterRunsIsWholeInItself) {
    const fs::path dir = testsupport::fresh_dir("lock-free-reader");
    const fs::path file = testsupport::copy_fixture("scoring/club-evening.tlw", dir);
    auto db = jet::Database::open(file.string());
    const PageValidator validator(*db);
    const std::size_t page_size = db->file().page_size();

    testsupport::ChildProcess writer({KILL_WRITER_PATH, "mixed", file.string(), "1"});
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    long reads = 0, invalid = 0;
    std::string first_problems;
    jet::Bytes page(page_size);
    const auto saved = [&] {
        const std::string& out = writer.output();
        return std::count(out.begin(), out.end(), '\n');
    };
    while ((reads < 100000 || saved() < 200) && writer.running()) {
        const auto pages = static_cast<std::uint32_t>(::lseek(fd, 0, SEEK_END) / static_cast<off_t>(page_size));
        for (std::uint32_t p = 1; p < pages; ++p) {
            if (::pread(fd, page.data(), page_size, static_cast<off_t>(p) * static_cast<off_t>(page_size)) !=
                static_cast<ssize_t>(page_size))
                continue;   // cut by an undo between the length and the read
            ++reads;
            if (auto why = validator.problem(p, page); why && ++invalid <= 5) first_problems += *why + "\n";
        }
    }
    ::close(fd);
    EXPECT_TRUE(writer.running()) << "the writer stopped early";
    writer.kill_now();
    EXPECT_GE(reads, 100000);
    EXPECT_EQ(invalid, 0) << "of " << reads << " page reads; the first:\n" << first_problems;
    std::printf("%ld page reads while the writer saved %ld lines: %ld invalid\n", reads, static_cast<long>(saved()),
                invalid);
}

}  // namespace
