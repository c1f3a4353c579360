// Changing index trees: thousands of inserts (random and increasing, Long and Text, ascending
// and descending, unique and not) with page splits and new levels, removals, and duplicate
// refusal that writes nothing. Trees are built in a page we add to a copy of an Access file;
// the root page number must never change. A page rewritten by another program must be read
// afresh. (Range bounds are checked through queries, indexed against scanned, in
// recordset_test; pages kept between edits by `tlw check`, in a process of its own, after the
// write tests' thousands of inserts.)
#include "jet/base/error.h"
#include "jet/index/index.h"
#include "jet/storage/page_file.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/lines.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using jet::Bytes;
using jet::ColumnType;
using jet::RowId;
using jet::Value;

struct ColumnDesign {
    ColumnType type;
    bool ascending = true;
};

// A table definition in memory whose single index lives in a fresh empty leaf of a copied file.
class ScratchIndex {
public:
    ScratchIndex(const std::string& fixture, std::vector<ColumnDesign> columns, std::uint8_t flags) {
        path_ = testsupport::copy_fixture("access/" + fixture,
                                          testsupport::fresh_dir("index-edit-" + std::to_string(counter_++)));
        file_ = jet::PageFile::open(path_.string(), jet::PageFile::Access::ReadWrite);
        table_.name = "Scratch";
        table_.tdef_page = 2;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            jet::Column c;
            c.name = "c" + std::to_string(i);
            c.type = columns[i].type;
            c.number = static_cast<std::uint16_t>(i);
            table_.columns.push_back(c);
            index_.columns.push_back({c.number, columns[i].ascending});
        }
        index_.flags = flags;
        jet::LogicalIndex logical;
        logical.name = "Scratch index";
        table_.logical_indexes.push_back(logical);
        jet::AtomicWrite write(*file_);
        index_.root_page = file_->append_page(jet::serialise_index_page(file_->format(), empty_leaf()));
        write.commit();
    }
    jet::IndexPage empty_leaf() const {
        jet::IndexPage p;
        p.owner = table_.tdef_page;
        return p;
    }
    jet::IndexKey key(const std::vector<Value>& row) const {
        return jet::encode_index_key(file_->format(), table_, index_, row);
    }
    Bytes prefix(const std::vector<Value>& leading) const {
        return jet::encode_key_prefix(file_->format(), table_, index_, leading);
    }
    void commit(jet::IndexEdit& edit) {
        jet::AtomicWrite write(*file_);
        edit.commit([this](const Bytes& content) { return file_->append_page(content); },
                    [this](std::uint32_t page) { released.push_back(page); });
        write.commit();
    }
    void overwrite(std::uint32_t page, const Bytes& bytes) {
        jet::AtomicWrite write(*file_);
        file_->write_page(page, bytes);
        write.commit();
    }
    bool insert(const std::vector<Value>& row, RowId id) {
        jet::IndexEdit edit(*file_, table_, index_);
        const bool fresh = edit.insert(key(row), id);
        commit(edit);
        return fresh;
    }
    void remove(const std::vector<Value>& row, RowId id) {
        jet::IndexEdit edit(*file_, table_, index_);
        edit.remove(key(row), id);
        commit(edit);
    }
    std::vector<RowId> rows(jet::KeyRange range = {}) const { return jet::index_rows(*file_, table_, index_, range); }
    std::vector<std::string> verify(const std::vector<std::pair<RowId, std::vector<Value>>>& expected) const {
        return jet::verify_index(*file_, table_, index_, expected);
    }
    // Every page of the tree, the root first.
    std::vector<std::uint32_t> pages() const {
        std::vector<std::uint32_t> out{index_.root_page};
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto p = jet::parse_index_page(file_->format(), out[i], file_->read_page(out[i]), "scratch");
            for (const auto& e : p.entries)
                if (!p.leaf) out.push_back(e.child);
            if (p.tail != 0) out.push_back(p.tail);
        }
        return out;
    }
    int depth() const {
        int d = 0;
        for (std::uint32_t page = index_.root_page;; ++d) {
            const auto p = jet::parse_index_page(file_->format(), page, file_->read_page(page), "scratch");
            if (p.leaf) return d;
            page = p.entries.empty() ? p.tail : p.entries.front().child;
        }
    }

    jet::PageFile& file() { return *file_; }
    const fs::path& path() const { return path_; }
    jet::TableDef table_;
    jet::RealIndex index_;
    std::vector<std::uint32_t> released;

private:
    static inline int counter_ = 0;
    fs::path path_;
    std::unique_ptr<jet::PageFile> file_;
};

using Expected = std::vector<std::pair<RowId, std::vector<Value>>>;

RowId row_id(std::size_t i) { return RowId{static_cast<std::uint32_t>(100 + i / 200), static_cast<std::uint8_t>(i % 200)}; }

std::string text_of(std::size_t i, std::mt19937& rng, std::size_t length) {
    static const std::vector<std::string> letters = {"a", "b", "e", "k", "o", "s", "z", "Ä", "Ö", "ü", "é", "è",
                                                     "ñ", " ", "'", "-", "X", "Q", "0", "9"};
    std::string s = "Player " + std::to_string(i % 97) + " ";
    const std::size_t n = length + rng() % 12;
    for (std::size_t k = 0; k < n; ++k) s += letters[rng() % letters.size()];
    return s;
}

// The index holds exactly the expected rows, structurally sound, and walks them in key order.
void expect_consistent(ScratchIndex& ix, const Expected& expected) {
    const auto problems = ix.verify(expected);
    ASSERT_TRUE(problems.empty()) << testsupport::joined(problems);
    std::vector<std::pair<Bytes, RowId>> sorted;
    for (const auto& [id, row] : expected) sorted.emplace_back(ix.key(row).bytes, id);
    std::sort(sorted.begin(), sorted.end());
    std::vector<RowId> want;
    for (const auto& s : sorted) want.push_back(s.second);
    EXPECT_EQ(ix.rows(), want);
}

struct Case {
    const char* fixture;
    ColumnType type;
    bool ascending;
    bool unique;
    bool increasing;
    std::size_t text_length = 3;   // long texts make few entries per page and so deep trees
};

class IndexInsertThousands : public ::testing::TestWithParam<Case> {};

TEST_P(IndexInsertThousands, SplitsGrowLevelsAndKeepKeyOrder) {
    const Case c = GetParam();
    ScratchIndex ix(c.fixture, {{c.type, c.ascending}}, c.unique ? jet::index_flags::Unique : 0);
    const std::uint32_t root = ix.index_.root_page;
    std::mt19937 rng(7);
    Expected expected;
    const std::size_t n = c.text_length > 100 ? 1500 : 2500;
    for (std::size_t i = 0; i < n; ++i) {
        Value v;
        if (c.type == ColumnType::Long) {
            const auto k = c.increasing ? static_cast<std::int32_t>(i) - 2000
                                        : static_cast<std::int32_t>(c.unique ? (i * 7919) % 100003 : rng() % 300) - 50000;
            v = Value::long_(k);
        } else {
            v = Value::text(c.increasing ? "key " + std::string(6 - std::to_string(i).size(), '0') + std::to_string(i)
                                         : text_of(c.unique ? i : i % 500, rng, c.text_length) + (c.unique ? std::to_string(i) : ""));
        }
        expected.emplace_back(row_id(i), std::vector<Value>{v});
        ix.insert(expected.back().second, expected.back().first);
    }
    EXPECT_EQ(ix.index_.root_page, root);
    EXPECT_GE(ix.depth(), c.text_length > 100 ? 2 : 1);
    expect_consistent(ix, expected);
}

INSTANTIATE_TEST_SUITE_P(
    KeysOfEveryKind, IndexInsertThousands,
    ::testing::Values(Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Long, true, true, false},
                      Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Long, false, true, true},
                      Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Text, true, true, false},
                      Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Text, false, false, false},
                      Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Text, true, true, true},
                      Case{"jet3/testIndexCodesV1997.mdb", ColumnType::Long, true, true, true},
                      Case{"jet3/testIndexCodesV1997.mdb", ColumnType::Text, false, false, false},
                      Case{"jet4/bigIndexTestV2000.mdb", ColumnType::Text, true, false, false, 180},
                      Case{"jet3/testIndexCodesV1997.mdb", ColumnType::Text, false, true, false, 180}));

TEST(IndexDuplicates, RefusedWithError3022AndNothingWritten) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Text, true}}, jet::index_flags::Unique);
    for (std::size_t i = 0; i < 600; ++i) ix.insert({Value::text("name " + std::to_string(i))}, row_id(i));
    const std::string before = testsupport::file_bytes(ix.path());

    jet::IndexEdit edit(ix.file(), ix.table_, ix.index_);
    EXPECT_TRUE(edit.insert(ix.key({Value::text("new name")}), row_id(900)));
    // Same key apart from case and trailing spaces: Access treats them as equal too.
    const jet::JetError e = testsupport::error_of([&] { edit.insert(ix.key({Value::text("NAME 417   ")}), row_id(901)); });
    EXPECT_EQ(e.number(), jet::err::DuplicateKey);
    EXPECT_EQ(testsupport::file_bytes(ix.path()), before);
}

TEST(IndexDuplicates, NonUniqueIndexKeepsEveryRowAndReportsKnownKeys) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}}, 0);
    EXPECT_TRUE(ix.insert({Value::long_(5)}, row_id(1)));
    EXPECT_FALSE(ix.insert({Value::long_(5)}, row_id(0)));
    EXPECT_EQ(ix.rows(), (std::vector<RowId>{row_id(0), row_id(1)}));
}

TEST(IndexNulls, IgnoreNullsSkipsAndPrimaryRefuses) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}},
                    jet::index_flags::IgnoreNulls | jet::index_flags::Unique);
    EXPECT_FALSE(ix.insert({Value()}, row_id(1)));
    EXPECT_TRUE(ix.rows().empty());
    ix.index_.flags = jet::index_flags::Required | jet::index_flags::Unique;
    jet::IndexEdit edit(ix.file(), ix.table_, ix.index_);
    EXPECT_EQ(testsupport::error_number([&] { edit.insert(ix.key({Value()}), row_id(2)); }), jet::err::NullInIndex);
}

TEST(IndexRemove, RemovingEntriesShrinksTheTreeAndKeepsItConsistent) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}}, jet::index_flags::Unique);
    Expected all;
    for (std::size_t i = 0; i < 3000; ++i) {
        all.emplace_back(row_id(i), std::vector<Value>{Value::long_(static_cast<std::int32_t>((i * 37) % 3001))});
        ix.insert(all.back().second, all.back().first);
    }
    std::mt19937 rng(11);
    std::shuffle(all.begin(), all.end(), rng);
    // Remove a contiguous run of keys too, so whole leaves empty out.
    std::sort(all.begin() + 1000, all.end(), [](const auto& a, const auto& b) { return a.second[0].as_int32() < b.second[0].as_int32(); });
    for (std::size_t i = 0; i < 2500; ++i) ix.remove(all[i].second, all[i].first);
    all.erase(all.begin(), all.begin() + 2500);
    expect_consistent(ix, all);
    EXPECT_FALSE(ix.released.empty());
    for (const auto& [id, row] : all) ix.remove(row, id);
    EXPECT_TRUE(ix.rows().empty());
    expect_consistent(ix, {});
    EXPECT_TRUE(ix.insert({Value::long_(1)}, row_id(1)));
    expect_consistent(ix, {{row_id(1), {Value::long_(1)}}});
}

TEST(IndexCorruption, CyclesAndDamagedPagesAreErrorsNotHangs) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}}, 0);
    for (std::int32_t i = 0; i < 2000; ++i) ix.insert({Value::long_(i)}, row_id(static_cast<std::size_t>(i)));
    ASSERT_GE(ix.depth(), 1);
    // Point the first leaf's next link back at itself.
    const auto root = jet::parse_index_page(ix.file().format(), ix.index_.root_page,
                                            ix.file().read_page(ix.index_.root_page), "scratch");
    const std::uint32_t first_leaf = root.entries.front().child;
    Bytes leaf = ix.file().read_page(first_leaf);
    jet::put_u32(leaf, ix.file().format().index_next_offset, first_leaf);
    ix.overwrite(first_leaf, leaf);
    EXPECT_THROW(ix.rows(), jet::JetError);
    EXPECT_FALSE(ix.verify({}).empty());

    // A damaged bitmap (entries out of order) and a page of the wrong type.
    Bytes garbage = leaf;
    for (std::size_t k = 600; k < 900; ++k) garbage[k] = static_cast<std::uint8_t>(k * 31);
    ix.overwrite(first_leaf, garbage);
    EXPECT_THROW(ix.rows(), jet::JetError);
    garbage[0] = 0x01;
    ix.overwrite(first_leaf, garbage);
    const std::string message = testsupport::error_of([&] { ix.rows(); }).description();
    EXPECT_NE(message.find(std::to_string(first_leaf)), std::string::npos) << message;
    EXPECT_NE(message.find("Scratch"), std::string::npos) << message;
}

TEST(IndexRemove, ANodeLeftWithOneChildStoresThatChildsKey) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}}, jet::index_flags::Unique);
    Expected all;
    for (std::size_t i = 0; i < 3000; ++i) {
        all.emplace_back(row_id(i), std::vector<Value>{Value::long_(static_cast<std::int32_t>(i))});
        ix.insert(all.back().second, all.back().first);
    }
    ASSERT_EQ(ix.depth(), 1);
    // Empty every leaf but the last: the root's one remaining child is its tail child.
    const std::uint32_t last_leaf = ix.pages().back();
    const auto kept = jet::parse_index_page(ix.file().format(), last_leaf, ix.file().read_page(last_leaf), "scratch");
    const std::size_t first_kept = all.size() - kept.entries.size();
    for (std::size_t i = 0; i < first_kept; ++i) ix.remove(all[i].second, all[i].first);
    all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(first_kept));
    EXPECT_EQ(ix.pages().size(), 2u);
    expect_consistent(ix, all);
}

TEST(IndexPageCache, APageRewrittenByAnotherProgramIsReadAfresh) {
    ScratchIndex ix("jet4/bigIndexTestV2000.mdb", {{ColumnType::Long, true}}, jet::index_flags::Unique);
    for (std::size_t i = 0; i < 2000; ++i) ix.insert({Value::long_(static_cast<std::int32_t>(i))}, row_id(i));
    ASSERT_EQ(ix.rows().front(), row_id(0));   // the leaves are kept now

    // Another program gives the first entry (stored whole: 5 key bytes, page, row) another row.
    const jet::Format& f = ix.file().format();
    const std::uint32_t first_leaf = ix.pages().at(1);
    const auto before = jet::parse_index_page(f, first_leaf, ix.file().read_page(first_leaf), "scratch");
    ASSERT_EQ(before.entries.front().row, row_id(0));
    ASSERT_EQ(before.entries.front().key.size(), 5u);
    testsupport::flip_byte(ix.path(), static_cast<std::streamoff>(first_leaf) * f.page_size + f.index_first_entry_offset + 8, 0x77);
    EXPECT_EQ(ix.rows().front(), (RowId{row_id(0).page, 0x77}));
    jet::IndexEdit edit(ix.file(), ix.table_, ix.index_);
    EXPECT_THROW(edit.remove(ix.key({Value::long_(0)}), row_id(0)), jet::JetError);
}

}  // namespace
