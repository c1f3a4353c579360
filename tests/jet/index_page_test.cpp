// Index page bytes: prefix compression (also when the shared prefix reaches into the row ids
// of equal keys), the entry bitmap and free space, Jet 3 pages written without prefixes, and
// a one-entry insert written by moving the page's bytes giving exactly the full image.
#include "jet/index/index_page.h"
#include "jet/storage/page_file.h"

#include "jet/base/error.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using jet::Bytes;
using jet::Format;

jet::IndexPage equal_keys_page(std::size_t n) {
    jet::IndexPage page;
    page.number = 9;
    page.owner = 2;
    for (std::size_t i = 0; i < n; ++i)
        page.entries.push_back({Bytes{0x7F, 0x80, 0x00, 0x00, 0x02}, jet::RowId{0x000105, static_cast<std::uint8_t>(i)}, 0});
    return page;
}

void expect_same_entries(const jet::IndexPage& a, const jet::IndexPage& b) {
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        EXPECT_EQ(a.entries[i].key, b.entries[i].key) << i;
        EXPECT_EQ(a.entries[i].row, b.entries[i].row) << i;
        EXPECT_EQ(a.entries[i].child, b.entries[i].child) << i;
    }
}

// Jet 4 pages share the entries' leading bytes, here into the row id of equal keys: the first
// entry whole (9 bytes), the others only their row byte. Jet 3 pages are written without.
TEST(IndexPageBytes, Jet4PrefixReachesIntoTheRowIdOfEqualKeysJet3HasNone) {
    const jet::IndexPage page = equal_keys_page(40);
    const Format& f4 = Format::jet4_format();
    const Bytes jet4 = jet::serialise_index_page(f4, page);
    EXPECT_EQ(jet::get_u16(jet4, f4.index_prefix_offset), 5u + 3u);   // key and the 3 page bytes
    EXPECT_EQ(jet::get_u16(jet4, 2), f4.page_size - f4.index_first_entry_offset - (9 + 39));
    expect_same_entries(jet::parse_index_page(f4, 9, jet4, "test index"), page);
    const Format& f3 = Format::jet3_format();
    const Bytes jet3 = jet::serialise_index_page(f3, page);
    EXPECT_EQ(jet3[f3.index_prefix_offset], 0);
    EXPECT_EQ(jet::get_u16(jet3, 2), f3.page_size - f3.index_first_entry_offset - 40 * 9);
    expect_same_entries(jet::parse_index_page(f3, 9, jet3, "test index"), page);
}

// Damaged pages: every parse ends in a page or an error, never outside the page.
TEST(IndexPageBytes, DamagedPagesAreErrorsOrPages) {
    for (const Format* f : {&Format::jet3_format(), &Format::jet4_format()}) {
        const Bytes good = jet::serialise_index_page(*f, equal_keys_page(30));
        std::mt19937 rng(3);
        for (int trial = 0; trial < 3000; ++trial) {
            Bytes page = good;
            const int changes = 1 + static_cast<int>(rng() % 8);
            for (int c = 0; c < changes; ++c) {
                const std::size_t at = rng() % (f->index_first_entry_offset + 300);
                page[at] = static_cast<std::uint8_t>(rng());
            }
            try {
                jet::parse_index_page(*f, 9, page, "test index");
            } catch (const jet::JetError& e) {
                EXPECT_NE(e.description().find("Index page 9"), std::string::npos) << e.description();
            }
            (void)jet::last_page_entry(*f, page);
        }
    }
}

// Inserting one entry into a page image (entries moved up, bitmap bits shifted) must give the
// bytes of serialising the whole page: any stray or missing bit would misplace entries.
TEST(IndexPageBytes, OneInsertMovesTheImageToTheFullSerialisation) {
    for (const Format* f : {&Format::jet3_format(), &Format::jet4_format()}) {
        std::mt19937 rng(9);
        int moved = 0;
        for (int trial = 0; trial < 300; ++trial) {
            // Keys sharing a leading part, of varying lengths; a fuller page each trial.
            std::vector<jet::IndexEntry> entries;
            const std::size_t n = 2 + rng() % (trial < 150 ? 40 : 200);
            for (std::size_t i = 0; i < n; ++i) {
                Bytes key{0x7F, 0x41, 0x42};
                const std::size_t extra = rng() % 14;
                for (std::size_t k = 0; k < extra; ++k) key.push_back(static_cast<std::uint8_t>(0x41 + rng() % 5));
                entries.push_back({key, jet::RowId{static_cast<std::uint32_t>(rng() % 70000), static_cast<std::uint8_t>(rng())}, 0});
            }
            std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return jet::compare_entries(a, b) < 0; });
            entries.erase(std::unique(entries.begin(), entries.end(),
                                      [](const auto& a, const auto& b) { return jet::compare_entries(a, b) == 0; }),
                          entries.end());
            const std::size_t position = 1 + rng() % (entries.size() - 1);
            jet::IndexPage before;
            before.number = 9;
            before.owner = 2;
            before.prev = 4;
            before.next = 6;
            before.entries = entries;
            before.entries.erase(before.entries.begin() + static_cast<std::ptrdiff_t>(position));
            if (jet::index_entry_space(*f, before) > f->index_max_entry_space) continue;
            const Bytes old_image = jet::serialise_index_page(*f, before);
            jet::PackedPage page = jet::parse_packed_page(*f, 9, old_image, "test index");
            page.insert(position, entries[position]);
            const auto fast = page.serialise_insert(*f, old_image, position);
            if (page.entry_space(*f, page.size()) > f->index_max_entry_space) {
                EXPECT_FALSE(fast);
                continue;
            }
            if (!fast) continue;   // the shared prefix changed
            ++moved;
            ASSERT_EQ(*fast, page.serialise(*f, page.size())) << "trial " << trial << " position " << position;
        }
        EXPECT_GT(moved, 200);
    }
}

}  // namespace
