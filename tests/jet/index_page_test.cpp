// Index page bytes: prefix compression (also when the shared prefix reaches into the row ids
// of equal keys), the entry bitmap and free space, and Jet 3 pages written without prefixes.
// (One-entry inserts into stored pages are index_edit_test's IndexInsertThousands, damaged
// pages its IndexCorruption.)
#include "jet/index/index_page.h"
#include "jet/storage/page_file.h"

#include <gtest/gtest.h>

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

}  // namespace
