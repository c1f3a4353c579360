// Damaged files and files that change under us: a damaged definition, page or row is a
// JetError naming the table and the page, never a crash or an endless loop; a change made by
// another program between two calls is always seen.
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void patch(const fs::path& file, std::uint64_t at, const std::vector<std::uint8_t>& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

// Reads every table completely; returns the JetError message, "" when all was read.
std::string read_everything(const fs::path& file) {
    try {
        auto db = jet::Database::open(file.string());
        for (const jet::CatalogEntry& e : db->tables()) {
            const jet::TableDef def = *db->table_def(e.name);
            db->scan(def, [](jet::RowId, const std::vector<jet::Value>&) { return true; });
        }
    } catch (const jet::JetError& e) {
        return e.description();
    }
    return "";
}

struct Copy {
    fs::path file;
    std::uint32_t page_size = 4096;
    jet::TableDef round_data;
    explicit Copy(const std::string& name) {
        file = testsupport::copy_fixture("scoring/club-evening.tlw", testsupport::fresh_dir(name));
        round_data = *jet::Database::open(file.string())->table_def("RoundData");
    }
    std::uint64_t page_at(std::uint32_t page) const { return std::uint64_t{page} * page_size; }
};

TEST(ReaderDamage, DamagedDefinitionPageOrRowIsAnErrorNamingTableAndPage) {
    const Copy fresh("damage_pages");
    const std::uint32_t tdef = fresh.round_data.tdef_page;
    const std::uint32_t data = jet::Database::open(fresh.file.string())->data_pages(fresh.round_data).at(0);
    struct Case {
        const char* what;
        std::uint64_t at;
        std::vector<std::uint8_t> bytes;
        std::string page_named;   // "" when the message need not name the page
    };
    const Case cases[] = {
        {"tdef chain that loops", fresh.page_at(tdef) + 4, le32(tdef), std::to_string(tdef)},
        {"impossible column count", fresh.page_at(tdef) + 45, {0xFF, 0x7F}, ""},
        {"data page of the wrong type", fresh.page_at(data), {0x04}, "Page " + std::to_string(data)},
        {"row 1 starting past row 0's start", fresh.page_at(data) + 14 + 2, {0xFF, 0x1F}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Copy copy(std::string("damage_") + std::to_string(&c - cases));
        patch(copy.file, c.at, c.bytes);
        const std::string message = read_everything(copy.file);
        EXPECT_NE(message.find("'RoundData'"), std::string::npos) << message;
        EXPECT_NE(message.find(c.page_named), std::string::npos) << message;
    }
}

TEST(ReaderDamage, EveryByteOfATdefFlippedGivesValuesOrAnError) {
    Copy c("damage_flips");
    const fs::path work = c.file.parent_path() / "work.tlw";
    for (std::uint32_t at = 0; at < 700; at += 3) {
        fs::copy_file(c.file, work, fs::copy_options::overwrite_existing);
        testsupport::flip_byte(work, static_cast<std::streamoff>(c.page_at(c.round_data.tdef_page) + at),
                               static_cast<char>(0xA5));
        (void)read_everything(work);  // must return, with or without an error
    }
}

TEST(ReaderSharing, ChangedDefinitionIsSeenByTheNextCall) {
    Copy c("sharing_tdef");
    auto db = jet::Database::open(c.file.string());
    ASSERT_NE(db->table_def("RoundData")->find_column("HighBoard"), nullptr);
    // Rename the column in the tdef bytes (UTF-16: "H\0i\0g\0h\0B\0" -> "Z\0i\0g\0h\0B\0").
    const std::string page =
        testsupport::file_bytes(c.file).substr(c.page_at(c.round_data.tdef_page), c.page_size);
    const std::string needle("H\0i\0g\0h\0B\0", 10);
    const std::size_t at = page.find(needle);
    ASSERT_NE(at, std::string::npos);
    patch(c.file, c.page_at(c.round_data.tdef_page) + at, {'Z'});
    const jet::TableDef after = *db->table_def("RoundData");
    EXPECT_EQ(after.find_column("HighBoard"), nullptr);
    EXPECT_NE(after.find_column("ZighBoard"), nullptr);
}

// Another writer appends a record and adds a table: the counters and the catalog show them.
TEST(ReaderSharing, AnotherWritersRecordAndTableAreSeenByTheNextCall) {
    Copy c("sharing_writer");
    auto reader = jet::Database::open(c.file.string());
    const jet::TableDef before = *reader->table_def("ReceivedData");
    EXPECT_FALSE(reader->find_table("Latecomer"));
    const std::size_t tables = reader->tables().size();
    {
        auto writer = jet::Database::open(c.file.string(), jet::PageFile::Access::ReadWrite);
        jet::append_record(*writer, "ReceivedData", {{"Section", jet::Value::long_(1)}, {"Board", jet::Value::long_(99)}});
        jet::ColumnDesign id;
        id.name = "ID";
        id.type = jet::ColumnType::Long;
        jet::create_table(*writer, jet::TableDesign{"Latecomer", {id}, {}});
    }
    const jet::TableDef after = *reader->table_def("ReceivedData");
    EXPECT_EQ(after.row_count, before.row_count + 1);
    EXPECT_GT(after.last_autonumber, before.last_autonumber);
    EXPECT_EQ(after.columns.size(), before.columns.size());
    ASSERT_TRUE(reader->find_table("LATECOMER"));
    EXPECT_EQ(reader->table_def("latecomer")->columns.at(0).name, "ID");
    EXPECT_EQ(reader->tables().size(), tables + 1);
}

TEST(ReaderSharing, ChangedPropertiesAreSeenByTheNextCall) {
    Copy c("sharing_properties");
    auto db = jet::Database::open(c.file.string());
    auto source_default = [&] {
        const auto* column = jet::column_properties(db->properties("ReceivedData"), "source");
        const jet::Property* p = column ? jet::find_property(*column, "DefaultValue") : nullptr;
        return p ? jet::to_text(p->value) : std::string();
    };
    EXPECT_EQ(source_default(), "\"terminal\"");
    // Property texts are stored as UTF-16: "another program" makes every '"terminal"' '"xerminal"'.
    const std::string bytes = testsupport::file_bytes(c.file);
    const std::string needle("\"\0t\0e\0r\0m\0i\0n\0a\0l\0\"\0", 20);
    std::size_t patched = 0;
    for (std::size_t at = bytes.find(needle); at != std::string::npos; at = bytes.find(needle, at + 1), ++patched)
        patch(c.file, at + 2, {'x'});
    ASSERT_GT(patched, 0u);
    EXPECT_EQ(source_default(), "\"xerminal\"");
}

}  // namespace
