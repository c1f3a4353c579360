// Property blobs we build against ones other writers stored: byte for byte where the content is
// the same, and readable by our parser (and so by Access's layout rules) in both formats.
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

TEST(PropertiesWrite, WhatWeWriteParsesBackInBothFormats) {
    for (jet::Version v : {jet::Version::Jet4, jet::Version::Jet3}) {
        const jet::Format& format = jet::Format::of(v);
        jet::TableProperties props;
        props.table = {jet::text_property("Description", "Results as the terminals send them")};
        props.columns = {{"Name", {jet::default_value_property("\"Müller\""), jet::required_property(true),
                                   jet::allow_zero_length_property(false), jet::text_property("Caption", "Player")}},
                         {"Score", {jet::default_value_property("0"), jet::text_property("Format", "Fixed")}}};
        const jet::Bytes blob = jet::encode_properties(format, props);
        EXPECT_EQ(std::string(blob.begin(), blob.begin() + 3), v == jet::Version::Jet4 ? "MR2" : "KKD");
        const jet::TableProperties back = jet::parse_properties(format, blob, 1252, "test blob");
        ASSERT_EQ(back.table.size(), 1u);
        EXPECT_EQ(back.table[0].value, jet::Value::text("Results as the terminals send them"));
        const auto* name = jet::column_properties(back, "Name");
        ASSERT_NE(name, nullptr);
        ASSERT_NE(jet::find_property(*name, "DefaultValue"), nullptr);
        EXPECT_EQ(jet::find_property(*name, "DefaultValue")->value, jet::Value::text("\"Müller\""));
        EXPECT_EQ(jet::find_property(*name, "Required")->value, jet::Value::boolean(true));
        EXPECT_EQ(jet::find_property(*name, "AllowZeroLength")->value, jet::Value::boolean(false));
        EXPECT_EQ(jet::find_property(*name, "Caption")->value, jet::Value::text("Player"));
        const auto* score = jet::column_properties(back, "Score");
        ASSERT_NE(score, nullptr);
        EXPECT_EQ(jet::find_property(*score, "Format")->value, jet::Value::text("Fixed"));
    }
}

}  // namespace
