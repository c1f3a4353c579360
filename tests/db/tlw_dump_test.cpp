// `tlw dump`, `tlw sql` and `tlw attachment` as scripts use them: the JSON object's shape and
// value types, CSV rows in a record set's order, and errors as "number: description" with exit
// status 1. (`tlw info` names each format in creator_test; dumps of Access's dates, values and
// complex columns are compared with mdb-reader in ace_read_test.)
#include "support/fixtures.h"
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using testsupport::fixture;

testsupport::ProcessResult tlw(std::vector<std::string> args) {
    args.insert(args.begin(), TLW_PATH);
    return testsupport::run_process(args);
}

TEST(TlwDump, JsonHasTypedValuesUserTablesInCatalogOrder) {
    const auto r = tlw({"dump", fixture("scoring/club-evening.tlw"), "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["format"], "jet4");
    std::vector<std::string> names;
    for (const auto& t : j["tables"]) names.push_back(t["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"Section", "Tables", "RoundData", "PlayerNumbers", "Settings",
                                               "ReceivedData"}));
    const auto& settings = j["tables"][4];
    EXPECT_EQ(settings["rows"][0]["MemberNumbers"], true);
    EXPECT_EQ(settings["rows"][0]["AutoShutdownTPC"], false);
    const auto& rounds = j["tables"][2];
    EXPECT_EQ(rounds["rows"].size(), 112u);
    EXPECT_TRUE(rounds["rows"][0]["Section"].is_number_integer());
    EXPECT_EQ(rounds["indexes"][0]["name"], "PrimaryKey");
    EXPECT_EQ(rounds["indexes"][0]["columns"], (nlohmann::json{"Section", "Table", "Round"}));
    EXPECT_EQ(rounds["indexes"][0]["primary"], true);
    EXPECT_EQ(rounds["columns"][0], (nlohmann::json{{"name", "Section"}, {"type", "Long"}, {"length", 4}}));
}

TEST(TlwDump, MissingTableIsAJetError) {
    const auto r = tlw({"dump", fixture("scoring/club-evening.tlw"), "Nowhere"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("3078: The Microsoft Jet database engine cannot find the input table or query 'Nowhere'."),
              std::string::npos);
}

// Attachments are listed by row; one is written out whole, a name two rows share needs --row,
// and an existing file is kept unless --force.
TEST(TlwAttachment, ListsAndWritesOutFiles) {
    const std::string file = fixture("access/ace/attachmentsV2016.accdb");
    auto r = tlw({"attachment", file, "table1", "Attachments"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "row 2: attachment1.txt (txt, 12 bytes)\nrow 3: attachment1.txt (txt, 12 bytes)\n"
                     "row 3: attachment2.txt (txt, 12 bytes)\nrow 3: attachment3.txt (txt, 12 bytes)\n");
    r = tlw({"attachment", file, "Table1", "Attachments", "attachment2.txt"});
    EXPECT_EQ(r.out, "Attachment 2");
    r = tlw({"attachment", file, "Table1", "Attachments", "attachment1.txt"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("rows 2, 3 of column 'Attachments'"), std::string::npos) << r.err;

    const std::filesystem::path out = testsupport::fresh_dir("tlw-attachment") / "a.txt";
    r = tlw({"attachment", file, "Table1", "Attachments", "attachment1.txt", "--row", "3", "-o", out.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(testsupport::file_bytes(out), "Attachment 1");
    r = tlw({"attachment", file, "Table1", "Attachments", "attachment3.txt", "-o", out.string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(testsupport::file_bytes(out), "Attachment 1");
    r = tlw({"attachment", file, "Table1", "ID"});
    EXPECT_NE(r.err.find("column 'ID' of table 'Table1' in '" + file + "' is not an attachment column."),
              std::string::npos);
}

// Rows stored in descending rounds come back in the primary key's order, as a record set on the
// same SELECT gives them; written so that no index serves it, in the order stored.
TEST(TlwSql, SelectGivesRowsInTheOrderARecordSetDoes) {
    const std::string file =
        testsupport::copy_fixture("scoring/club-evening.tlw", testsupport::fresh_dir("tlw_sql")).string();
    for (const char* round : {"3", "2", "1"}) {
        const auto added = tlw({"sql", file,
                                std::string("INSERT INTO RoundData (Section, [Table], Round, NSPair, EWPair, LowBoard, "
                                            "HighBoard) VALUES (3, 1, ") + round + ", 1, 2, 1, 3)"});
        ASSERT_EQ(added.out, "1\n") << added.err;
    }
    const std::string header = "Section,Table,Round,NSPair,EWPair,LowBoard,HighBoard,Extra\n";
    auto r = tlw({"sql", file, "SELECT * FROM RoundData WHERE Section = 3 And Table = 1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, header + "3,1,1,1,2,1,3,\n3,1,2,1,2,1,3,\n3,1,3,1,2,1,3,\n");
    r = tlw({"sql", file, "SELECT * FROM RoundData WHERE (Section = 3 And Table = 1) Or 1 = 0"});
    EXPECT_EQ(r.out, header + "3,1,3,1,2,1,3,\n3,1,2,1,2,1,3,\n3,1,1,1,2,1,3,\n");
}

}  // namespace
