// Property blobs we build against ones another writer stored: byte for byte where the content
// is the same. (That what we write parses back, in both formats, is creator_test's: new tables'
// defaults and Required come back from the blobs we wrote.)
#include "jet/database.h"
#include "jet/schema/properties.h"
#include "jet/schema/properties_write.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

jet::Bytes stored_blob(jet::Database& db, const std::string& table) {
    const jet::TableDef objects = *db.table_def("MSysObjects");
    const auto lv_prop = static_cast<std::size_t>(objects.find_column("LvProp") - objects.columns.data());
    for (const auto& e : db.catalog())
        if (e.name == table) {
            std::vector<jet::Value> row;
            EXPECT_TRUE(db.read_row(objects, e.row, row));
            return row.at(lv_prop).as_binary();
        }
    ADD_FAILURE() << "no catalog row for " << table;
    return {};
}

TEST(PropertiesWrite, ColumnDefaultsMatchTheBytesAnotherWriterStored) {
    // ReceivedData of the scoring fixture carries DefaultValue "terminal" on Source and 0 on Score.
    auto db = jet::Database::open(fs::path(TALLIMO_FIXTURES) / "scoring/club-evening.tlw");
    jet::TableProperties props;
    props.columns = {{"Source", {jet::default_value_property("\"terminal\"")}},
                     {"Score", {jet::default_value_property("0")}}};
    EXPECT_EQ(jet::encode_properties(db->format(), props), stored_blob(*db, "ReceivedData"));
}

}  // namespace
