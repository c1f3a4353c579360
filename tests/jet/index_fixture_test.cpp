// Our key encoder and tree reader against indexes Microsoft Access wrote: every entry of every
// index of the fixture databases must be exactly the key we compute for its row.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/index/index.h"

#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::pair<jet::RowId, std::vector<jet::Value>>>;

using testsupport::fixture;

Rows all_rows(jet::Database& db, const jet::TableDef& def) {
    Rows rows;
    db.scan(def, [&](jet::RowId id, const std::vector<jet::Value>& values) {
        rows.emplace_back(id, values);
        return true;
    });
    return rows;
}

struct Tally {
    std::size_t entries = 0, unencodable = 0;
};

// Checks every index of every user table against our keys for its rows.
Tally check_file(const std::string& name) {
    Tally tally;
    auto db = jet::Database::open(fixture(name));
    for (const auto& entry : db->tables()) {
        const jet::TableDef def = *db->table_def(entry.name);
        const Rows rows = all_rows(*db, def);
        for (const jet::RealIndex& index : def.real_indexes) {
            for (const auto& [id, values] : rows) {
                try {
                    jet::encode_index_key(db->format(), def, index, values);
                    ++tally.entries;
                } catch (const jet::JetError&) {
                    ++tally.unencodable;
                }
            }
            const auto problems = jet::verify_index(db->file(), def, index, rows);
            EXPECT_TRUE(problems.empty()) << name << " table " << entry.name << ":\n" << testsupport::joined(problems);
        }
    }
    return tally;
}

// Each file with the least number of entries it must compare. testUnicodeCompV2003: row 8
// holds every Latin-1 character (tab, newline, apostrophe and hyphen among them), rows 3-5
// Cyrillic, polytonic Greek (whose U+1Fxx letters General Legacy passes over) and Japanese kanji
// with kana. The ACE files: text keys in Access 2010's "General" sort order (few, plain
// letters), Date/Time Extended keys ascending and descending, Large Number and complex-column keys.
TEST(IndexKeysAgainstAccess, EveryEntryOfEveryIndexIsOurKey) {
    std::vector<std::pair<std::string, std::size_t>> cases = {
        {"access/jet3/testIndexCodesV1997.mdb", 1000}, {"access/jet3/indexTestV1997.mdb", 1},
        {"access/jet4/indexTestV2000.mdb", 1},          {"access/jet4/compIndexTestV2000.mdb", 500},
        {"access/jet4/bigIndexTestV2000.mdb", 0},       {"access/jet4/testIndexPropertiesV2000.mdb", 1},
        {"access/jet4/testV2000.mdb", 1},               {"access/jet4/test2V2000.mdb", 1},
        {"access/jet4/testUnicodeCompV2003.mdb", 16},   {"scoring/club-evening.tlw", 100},
        {"scoring/TLPlayerDB.mdb", 100}};
    for (const std::string& name : testsupport::fixture_files({"access/ace"}, ".laccdb")) cases.emplace_back(name, 1);
    for (const auto& [file, least_entries] : cases) {
        SCOPED_TRACE(file);
        const Tally t = check_file(file);
        EXPECT_GE(t.entries, least_entries);
        EXPECT_EQ(t.unencodable, 0u);
    }
}

// An Access-written tree (prefix-compressed pages, tail pointers) grown by our inserts with
// pages from the page allocator, then shrunk again: it must keep every old entry.
TEST(IndexOnAccessTree, GrowsAndShrinksThroughThePageAllocator) {
    const auto copy = testsupport::copy_fixture("access/jet4/compIndexTestV2000.mdb", testsupport::fresh_dir("index-access-tree"));
    {
        auto db = jet::Database::open(copy.string(), jet::PageFile::Access::ReadWrite);
        const jet::TableDef def = *db->table_def("Table1");
        const jet::RealIndex& index = def.real_indexes.at(0);
        Rows rows = all_rows(*db, def);
        const std::uint32_t pages_before = db->file().page_count();
        std::vector<jet::IndexEntry> expected;
        for (const auto& [id, values] : rows)
            expected.push_back({jet::encode_index_key(db->format(), def, index, values).bytes, id, 0});
        ASSERT_GE(expected.size(), 500u);

        // New keys below, between and above the existing ones, for rows on made-up pages.
        std::vector<jet::IndexEntry> added;
        for (std::int32_t k = 0; k < 1500; ++k) {
            std::vector<jet::Value> values(def.columns.size());
            values[0] = jet::Value::long_(k * 7 - 3000);
            const jet::RowId id{5000 + static_cast<std::uint32_t>(k / 100), static_cast<std::uint8_t>(k % 100)};
            jet::AtomicWrite write(db->file());
            jet::IndexEdit edit(db->file(), def, index);
            const jet::IndexKey key = jet::encode_index_key(db->format(), def, index, values);
            edit.insert(key, id);
            edit.commit();
            write.commit();
            added.push_back({key.bytes, id, 0});
        }
        EXPECT_GT(db->file().page_count(), pages_before);
        std::vector<jet::IndexEntry> all = expected;
        all.insert(all.end(), added.begin(), added.end());
        auto problems = jet::verify_index(db->file(), def, index, all);
        EXPECT_TRUE(problems.empty()) << problems.front();

        for (const jet::IndexEntry& e : added) {
            jet::AtomicWrite write(db->file());
            jet::IndexEdit edit(db->file(), def, index);
            edit.remove(jet::IndexKey{e.key, false, false}, e.row);
            edit.commit();
            write.commit();
        }
        problems = jet::verify_index(db->file(), def, index, expected);
        EXPECT_TRUE(problems.empty()) << problems.front();
    }
}

}  // namespace
