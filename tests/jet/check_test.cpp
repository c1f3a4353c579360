// The verifier on files written by Access (they must pass: what Access leaves behind is legal)
// and on copies damaged by hand, one fault each, every one of which must be reported.
#include "jet/check.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/index/index_page.h"
#include "jet/rows/long_value.h"
#include "jet/rows/row_decode.h"
#include "jet/storage/page_file.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/lines.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

namespace {

namespace fs = std::filesystem;
using testsupport::copy_fixture;
using testsupport::fresh_dir;
using testsupport::joined;

bool mentions(const jet::CheckReport& report, const std::string& a, const std::string& b = "") {
    return std::any_of(report.problems.begin(), report.problems.end(), [&](const std::string& p) {
        return p.find(a) != std::string::npos && p.find(b) != std::string::npos;
    });
}

class WrittenByOthers : public ::testing::TestWithParam<std::string> {};

TEST_P(WrittenByOthers, PassesEveryCheck) {
    const jet::CheckReport report = jet::check_database(fs::path(TALLIMO_FIXTURES) / GetParam());
    EXPECT_TRUE(report.ok()) << joined(report.problems);
    EXPECT_FALSE(report.checked.empty());
}

const std::vector<std::string> fixtures_but_password =
    testsupport::fixture_files({"access/jet3", "access/jet4", "scoring"}, "password");

INSTANTIATE_TEST_SUITE_P(Fixtures, WrittenByOthers, ::testing::ValuesIn(fixtures_but_password),
                         [](const auto& param_info) {
                             std::string name = param_info.param;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// A writable copy of a fixture, with the table definitions at hand to aim the damage.
class Damaged : public ::testing::Test {
protected:
    // Every fixture passes the check as it is (WrittenByOthers).
    fs::path copy(const std::string& fixture) {
        return path_ = copy_fixture(fixture, fresh_dir(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    jet::TableDef table(const std::string& name) { return *jet::Database::open(path_)->table_def(name); }
    void patch(std::uint32_t page, const std::function<void(jet::Bytes&)>& change) {
        auto file = jet::PageFile::open(path_, jet::PageFile::Access::ReadWrite);
        jet::Bytes bytes = file->read_page(page);
        change(bytes);
        jet::AtomicWrite write(*file);
        file->write_page(page, bytes);
        write.commit();
    }
    const jet::Format& format() { return jet::Database::open(path_)->format(); }
    jet::CheckReport check() { return jet::check_database(path_); }

    // The first row stored elsewhere (its header row points at it) in any user table.
    struct MovedRow {
        jet::TableDef def;
        std::uint32_t page = 0;
        std::uint16_t row = 0;
        std::size_t start = 0;  // of the header row in its page
    };
    std::optional<MovedRow> first_moved_row() {
        auto db = jet::Database::open(path_);
        for (const auto& entry : db->tables()) {
            const jet::TableDef def = *db->table_def(entry.name);
            for (std::uint32_t p : db->data_pages(def)) {
                const jet::Bytes bytes = db->file().read_page(p);
                for (std::uint16_t r = 0; r < jet::data_page_row_count(bytes, db->format()); ++r) {
                    const auto b = jet::checked_row(db->format(), bytes, r);
                    if (b && b->flags == jet::row_flags::Overflow) return MovedRow{def, p, r, b->start};
                }
            }
        }
        ADD_FAILURE() << "no moved row in " << path_;
        return std::nullopt;
    }

    fs::path path_;
};

void put_u24(jet::Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 3; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST_F(Damaged, IndexEntriesOutOfKeyOrder) {
    copy("scoring/club-evening.tlw");
    const jet::TableDef def = table("RoundData");
    const jet::RealIndex& index = def.real_indexes.at(0);
    // Walk down to the first leaf and swap its first two entries' row ids.
    auto file = jet::PageFile::open(path_, jet::PageFile::Access::ReadOnly);
    jet::IndexPage p = jet::parse_index_page(file->format(), index.root_page, file->read_page(index.root_page), "t");
    while (!p.leaf) {
        const std::uint32_t child = p.entries.empty() ? p.tail : p.entries.front().child;
        p = jet::parse_index_page(file->format(), child, file->read_page(child), "t");
    }
    ASSERT_GE(p.entries.size(), 2u);
    std::swap(p.entries[0].key, p.entries[1].key);
    const jet::Bytes image = jet::serialise_index_page(file->format(), p);
    patch(p.number, [&](jet::Bytes& b) { b = image; });
    const auto report = check();
    EXPECT_TRUE(mentions(report, "'RoundData'")) << joined(report.problems);
}

// Page 1 row 0 is the global map (inline: type 0, first page 0, then one bit a page, set when
// free): a page in use marked free, and one past the end marked in use.
TEST_F(Damaged, GlobalMapDisagreeingWithTheFile) {
    copy("scoring/club-evening.tlw");
    auto db = jet::Database::open(path_);
    const std::uint32_t in_use = db->data_pages(*db->table_def("RoundData")).at(0);
    const std::uint32_t beyond = db->file().page_count() + 3;
    const auto row0 = jet::checked_row(db->format(), db->file().read_page(1), 0);
    ASSERT_TRUE(row0 && (row0->length() - 5) * 8 > beyond);
    const auto flip = [&](std::uint32_t page) {
        patch(1, [&](jet::Bytes& b) { b[row0->start + 5 + page / 8] ^= static_cast<std::uint8_t>(1 << page % 8); });
    };
    flip(in_use);
    EXPECT_TRUE(mentions(check(), "page " + std::to_string(in_use), "marked free in the global usage map"));
    flip(in_use);
    flip(beyond);
    EXPECT_TRUE(mentions(check(), "past the end of the file", "first " + std::to_string(beyond)));
}

TEST_F(Damaged, LongValuePointingOutsideItsColumnsPages) {
    copy("access/jet4/testV2000.mdb");
    auto db = jet::Database::open(path_);
    // A Memo/OLE field stored outside the row: repoint it at the tdef page of its own table.
    for (const auto& entry : db->catalog()) {
        if (!entry.is_table()) continue;
        const jet::TableDef def = *db->table_def_at(entry.tdef_page(), entry.name);
        jet::RowDecoder decoder(db->file(), def);
        std::vector<jet::FieldRef> fields;
        for (std::uint32_t p : db->data_pages(def)) {
            const jet::Bytes bytes = db->file().read_page(p);
            for (std::uint16_t r = 0; r < jet::data_page_row_count(bytes, db->format()); ++r) {
                const auto b = jet::checked_row(db->format(), bytes, r);
                if (!b || b->flags) continue;
                decoder.split(bytes.data() + b->start, b->length(), jet::RowId{p, static_cast<std::uint8_t>(r)}, fields);
                for (std::size_t c = 0; c < def.columns.size(); ++c) {
                    if (!jet::is_long_value(def.columns[c].type) || !fields[c].data || fields[c].size < 12 ||
                        (fields[c].data[3] & 0xC0) == jet::long_value_kind::Inline)
                        continue;
                    const std::size_t at = static_cast<std::size_t>(fields[c].data - bytes.data()) + 4;
                    patch(p, [&](jet::Bytes& page) { put_u24(page, at + 1, def.tdef_page); });
                    const auto report = check();
                    EXPECT_TRUE(mentions(report, "column '" + def.columns[c].name + "'",
                                         "not one of the column's long-value pages"))
                        << joined(report.problems);
                    return;
                }
            }
        }
    }
    FAIL() << "no long value stored outside its row in " << path_;
}

TEST_F(Damaged, AutonumberCounterBelowAStoredValue) {
    copy("access/jet4/indexTestV2000.mdb");
    const jet::TableDef def = table("MSysNavPaneGroupCategories");   // Access's own, numbered by Id
    ASSERT_TRUE(def.find_column("Id")->is_autonumber() && def.row_count > 0);
    patch(def.tdef_page, [&](jet::Bytes& b) { jet::put_u32(b, format().tdef_autonumber_offset, 0); });
    EXPECT_TRUE(mentions(check(), "'MSysNavPaneGroupCategories'", "autonumber counter is 0"));
}

TEST_F(Damaged, MovedRowPointingOutsideItsTable) {
    copy("access/jet4/overflowTestV2000.mdb");
    const auto moved = first_moved_row();
    ASSERT_TRUE(moved);
    patch(moved->page, [&](jet::Bytes& page) { put_u24(page, moved->start + 1, moved->def.tdef_page); });
    const auto report = check();
    EXPECT_TRUE(mentions(report, "'" + moved->def.name + "' row " + std::to_string(moved->row), "does not own"))
        << joined(report.problems);
}

TEST_F(Damaged, MovedRowThatNothingPointsTo) {
    copy("access/jet4/overflowTestV2000.mdb");
    const auto moved = first_moved_row();
    ASSERT_TRUE(moved);
    // Delete the pointing row, as a careless delete would: its moved copy stays behind.
    const std::size_t entry_at = format().data_first_row_offset + 2u * moved->row;
    patch(moved->page, [&](jet::Bytes& page) {
        jet::put_u16(page, entry_at, static_cast<std::uint16_t>(jet::get_u16(page, entry_at) | 0xC000));
    });
    const auto report = check();
    EXPECT_TRUE(mentions(report, "'" + moved->def.name + "'", "no row points to them")) << joined(report.problems);
}

TEST_F(Damaged, RowOffsetOutsideItsPage) {
    copy("scoring/club-evening.tlw");
    auto db = jet::Database::open(path_);
    const jet::TableDef def = *db->table_def("RoundData");
    const std::uint32_t p = db->data_pages(def).at(0);
    const std::size_t entry = db->format().data_first_row_offset + 2 * 3;  // row 3
    patch(p, [&](jet::Bytes& b) { jet::put_u16(b, entry, 0x1FF0); });
    EXPECT_TRUE(mentions(check(), "row 3 of data page " + std::to_string(p), "outside"));
}

TEST_F(Damaged, DataPageClaimedByTwoTables) {
    copy("scoring/club-evening.tlw");
    auto db = jet::Database::open(path_);
    const jet::TableDef tables = *db->table_def("Tables");
    const jet::TableDef rounds = *db->table_def("RoundData");
    const std::uint32_t theirs = db->data_pages(rounds).at(0);
    // Tables' owned map is a reference map (one bitmap page): add RoundData's page to it.
    const jet::Bytes host = db->file().read_page(tables.owned_map >> 8);
    const auto row = jet::checked_row(db->format(), host, tables.owned_map & 0xFF);
    ASSERT_TRUE(row && host[row->start] == 1);
    const std::uint32_t bitmap = jet::get_u32(host, row->start + 1);
    patch(bitmap, [&](jet::Bytes& b) { b[4 + theirs / 8] |= static_cast<std::uint8_t>(1 << theirs % 8); });
    const auto report = check();
    EXPECT_TRUE(mentions(report, "page " + std::to_string(theirs) + " is claimed twice")) << joined(report.problems);
}

// A row count that disagrees with the table's rows, reported through the command.
TEST_F(Damaged, CheckCommandExitsOneWithTheReportOnADamagedFile) {
    const std::string file = copy("scoring/club-evening.tlw").string();
    patch(table("RoundData").tdef_page, [&](jet::Bytes& b) { jet::put_u32(b, format().tdef_row_count_offset, 7); });
    auto bad = testsupport::tlw_check(file);
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_NE(bad.err.find("table 'RoundData': its definition counts 7 rows, its pages hold 112"), std::string::npos)
        << bad.err;
}

// Access lets a program store its own value, a negative one too, in an autonumber column;
// the counter is not behind such a value.
TEST(CheckAutonumber, ExplicitNegativeValueIsNoProblem) {
    const fs::path file = copy_fixture("scoring/club-evening.tlw", fresh_dir("check-negative-autonumber"));
    {
        auto db = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::execute(*db, "INSERT INTO ReceivedData (ID, Section, [Table], Round, Board) VALUES (-1, 1, 1, 1, 1)");
    }
    const jet::CheckReport report = jet::check_database(file);
    EXPECT_TRUE(report.ok()) << joined(report.problems);
}

}  // namespace
