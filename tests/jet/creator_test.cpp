// New databases and tables made by the creator, read back by our reader, mdbtools and
// mdb-reader: the same tables, columns and values everywhere, every structure consistent
// (tlw check), in both formats.
#include "jet/check.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/properties.h"
#include "jet/table_write.h"
#include "jet/tdef_write.h"
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;
using jet::Value;
using testsupport::fresh_dir;
using testsupport::run_process;

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

void expect_checks_clean(const fs::path& file) {
    const jet::CheckReport report = jet::check_database(file);
    EXPECT_TRUE(report.ok()) << joined(report.problems);
}

std::string version_name(jet::Version v) { return v == jet::Version::Jet3 ? "Jet3" : "Jet4"; }

// mdb-reader's view: table name -> rows (JSON objects).
std::map<std::string, nlohmann::json> node_tables(const fs::path& file, bool system = false) {
    const fs::path script = fs::path(__FILE__).parent_path().parent_path() / "node" / "dump.mjs";
    std::vector<std::string> argv = {"node", script.string(), file.string()};
    if (system) argv.push_back("--system");
    const auto r = run_process(argv);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::map<std::string, nlohmann::json> out;
    if (r.exit_code != 0) return out;
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    for (const auto& t : doc["tables"]) out[t["name"].get<std::string>()] = t;
    return out;
}

// mdbtools' view of one table: one JSON object per row.
std::vector<nlohmann::json> mdb_rows(const fs::path& file, const std::string& table) {
    const auto r = run_process({"mdb-json", file.string(), table});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<nlohmann::json> rows;
    std::size_t at = 0;
    while (at < r.out.size()) {
        const std::size_t end = r.out.find('\n', at);
        const std::string line = r.out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty()) rows.push_back(nlohmann::json::parse(line));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return rows;
}

class NewDatabase : public ::testing::TestWithParam<jet::Version> {
protected:
    fs::path dir = fresh_dir("creator_" + version_name(GetParam()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path file = dir / "new.mdb";
};

TEST_P(NewDatabase, HoldsTheSystemTablesEveryReaderOpens) {
    jet::create_database(file, GetParam());
    const auto db = jet::Database::open(file);
    EXPECT_EQ(db->format().version, GetParam());
    EXPECT_TRUE(db->tables().empty());
    std::set<std::string> names;
    for (const auto& e : db->catalog()) names.insert(e.name);
    EXPECT_EQ(names, (std::set<std::string>{"Tables", "Databases", "Relationships", "MSysDb", "MSysObjects", "MSysACEs",
                                            "MSysQueries", "MSysRelationships"}));
    expect_checks_clean(file);

    const auto listed = run_process({"mdb-tables", "-S", "-1", file.string()});
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    EXPECT_EQ(listed.out, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
    EXPECT_EQ(mdb_rows(file, "MSysObjects").size(), 8u);
    EXPECT_EQ(mdb_rows(file, "MSysACEs").size(), 16u);

    auto node = node_tables(file, true);
    ASSERT_EQ(node.count("MSysObjects"), 1u);
    EXPECT_EQ(node["MSysObjects"]["rows"].size(), 8u);
    EXPECT_EQ(node["MSysACEs"]["rows"].size(), 16u);
    EXPECT_EQ(node["MSysQueries"]["rows"].size(), 0u);
}

TEST_P(NewDatabase, RefusesToReplaceAFileUnlessAsked) {
    jet::create_database(file, GetParam());
    try {
        jet::create_database(file, GetParam());
        FAIL() << "an existing file was replaced";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), 3204);
        EXPECT_NE(e.description().find(file.string()), std::string::npos);
    }
    jet::create_database(file, jet::Version::Jet3 == GetParam() ? jet::Version::Jet4 : jet::Version::Jet3, true);
    EXPECT_NE(jet::Database::open(file)->format().version, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Formats, NewDatabase, ::testing::Values(jet::Version::Jet4, jet::Version::Jet3),
                         [](const auto& info) { return version_name(info.param); });

}  // namespace
