// Reading Access 2007-2019 (ACE) files: each fixture opens with its version named, passes
// `tlw check`, and dumps as mdb-reader reads it; complex and calculated columns give the values
// Access shows. (Encryption is refused in reader_open_test; "General" text keys are compared
// with Access's in index_fixture_test.)
#include "jet/database.h"
#include "support/child_process.h"
#include "support/fixtures.h"
#include "support/readers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testsupport::fixture;

struct AceFixture {
    const char* file;
    const char* version;
    bool mdb_reader_reads = true;   // mdb-reader takes every complex column for an attachment
};

const AceFixture kFixtures[] = {
    {"attachmentsV2016.accdb", "Access 2007 (ACE 12)"},   // saved by Access 2016 in the 2007 format
    {"bigintV2016.accdb", "Access 2016 (ACE 16)"},
    {"calcFieldTestV2010.accdb", "Access 2010 (ACE 14)"},
    {"complexDataTestV2010.accdb", "Access 2010 (ACE 14)", false},
    {"extDateTestV2019.accdb", "Access 2019 (ACE 17)"},
    {"indexTestV2010.accdb", "Access 2010 (ACE 14)"},
    {"testV2007.accdb", "Access 2007 (ACE 12)"},
    {"testV2010.accdb", "Access 2010 (ACE 14)"},
};

std::string path_of(const AceFixture& f) { return fixture(std::string("access/ace/") + f.file); }

testsupport::ProcessResult tlw(std::vector<std::string> args) {
    args.insert(args.begin(), TLW_PATH);
    return testsupport::run_process(args);
}

json parsed(const testsupport::ProcessResult& r) {
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.exit_code == 0 ? json::parse(r.out) : json::object();
}

// mdb-reader's Date/Time Extended text ("2021.06.14 22:45:12.345678900") as ours prints it.
std::string extended_date(std::string s) {
    if (s.size() < 19) return s;
    s[4] = s[7] = '-';
    s[10] = 'T';
    if (s.find('.', 19) != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

double number(const json& v) { return v.is_string() ? std::stod(v.get<std::string>()) : v.get<double>(); }

// Why our value differs from mdb-reader's, or "" when they agree.
std::string difference(const json& ours, const json& theirs, const std::string& type) {
    if (ours.is_null() || theirs.is_null()) return ours.is_null() && theirs.is_null() ? "" : "null differs";
    if (type == "DateTimeExtended") return ours == extended_date(theirs.get<std::string>()) ? "" : "date differs";
    if (type == "DateTime")  // mdb-reader counts days before 1899-12-30 the wrong way
        return ours < std::string("1899-12-30") || ours == theirs ? "" : "date differs";
    if (type == "Complex") {  // attachments: mdb-reader gives the file, we give its size
        if (ours.size() != theirs.size()) return "attachment count differs";
        for (std::size_t i = 0; i < ours.size(); ++i)
            if (ours[i]["name"] != theirs[i]["name"] || ours[i]["type"] != theirs[i]["type"] ||
                ours[i]["size"] != theirs[i]["data"]["data"].size())
                return "attachment differs";
        return "";
    }
    if (ours.is_number() || theirs.is_number() || type == "Currency" || type == "Decimal" || type == "BigInt")
        return std::fabs(number(ours) - number(theirs)) <= 1e-9 * std::max(1.0, std::fabs(number(ours))) ? ""
                                                                                                       : "number differs";
    return ours == theirs ? "" : "value differs";
}

json by_first_column(json rows, const jet::TableDef& def) {
    const std::string& first = def.columns.front().name;
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const json& x, const json& y) { return x[first].dump() < y[first].dump(); });
    return rows;
}

void expect_as_mdb_reader_reads(const std::string& file) {
    const json ours = parsed(tlw({"dump", file, "--json"}));
    const json theirs = parsed(testsupport::run_process({"node", std::string(TALLIMO_NODE_DIR) + "/dump.mjs", file}));
    auto db = jet::Database::open(file);
    ASSERT_EQ(ours["tables"].size(), theirs["tables"].size());
    for (std::size_t t = 0; t < ours["tables"].size(); ++t) {
        const json& a = ours["tables"][t];
        const json& b = theirs["tables"][t];
        SCOPED_TRACE(a["name"].get<std::string>());
        ASSERT_EQ(a["rows"].size(), b["rows"].size());
        const jet::TableDef def = *db->table_def(a["name"].get<std::string>());
        // A moved row comes in its original place from us, where it now lies from mdb-reader.
        const json ours_rows = by_first_column(a["rows"], def), their_rows = by_first_column(b["rows"], def);
        for (std::size_t r = 0; r < ours_rows.size(); ++r)
            for (const jet::Column& c : def.columns) {
                if (c.is_calculated()) continue;  // mdb-reader hands out a calculated column's stored wrapper
                const std::string why = difference(ours_rows[r][c.name], their_rows[r][c.name],
                                                   std::string(jet::column_type_name(c.type)));
                EXPECT_EQ(why, "") << "row " << r << " column " << c.name << ": ours " << ours_rows[r][c.name]
                                   << ", mdb-reader " << their_rows[r][c.name];
            }
    }
}

class AceRead : public testing::TestWithParam<AceFixture> {};

TEST_P(AceRead, NamesItsVersionPassesCheckAndReadsAsMdbReaderDoes) {
    const std::string file = path_of(GetParam());
    const json dump = parsed(tlw({"dump", file, "--json"}));
    EXPECT_EQ(dump["format"], "ace");
    EXPECT_EQ(dump["version"], GetParam().version);
    const auto check = testsupport::tlw_check(file);
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
    if (GetParam().mdb_reader_reads) expect_as_mdb_reader_reads(file);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AceRead, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<AceFixture>& p) {
                             return fs::path(p.param.file).stem().string();
                         });

// Attachments, a multi-value list and an append-only memo's history, as Access shows them.
TEST(AceComplexColumns, ValuesComeFromTheirHiddenTables) {
    const json rows = parsed(tlw({"dump", fixture("access/ace/complexDataTestV2010.accdb"), "--json"}))["tables"][0]["rows"];
    ASSERT_EQ(rows.size(), 4u);
    const std::string history = "VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880";
    EXPECT_EQ(rows[0][history], json::array());
    EXPECT_EQ(rows[0]["attach-data"], json::array());
    EXPECT_EQ(rows[1]["multi-value-data"], json({"value1", "value4"}));
    EXPECT_EQ(rows[1]["attach-data"], json::parse(R"([{"name": "test_data.txt", "type": "txt", "size": 38},
                                                     {"name": "test_data2.txt", "type": "txt", "size": 43}])"));
    EXPECT_EQ(rows[2][history], json::parse(R"([{"value": "row3-memo", "modified": "2011-09-12T21:21:19"},
                                               {"value": "row3-memo-revised", "modified": "2011-09-12T21:22:33"},
                                               {"value": "row3-memo-again", "modified": "2011-09-12T21:22:45"}])"));
    EXPECT_EQ(rows[2]["append-memo-data"], "row3-memo-again");
    const auto csv = tlw({"dump", fixture("access/ace/complexDataTestV2010.accdb"), "Table1", "--csv"});
    EXPECT_NE(csv.out.find("row2,row2-memo,row2-memo,row2-memo,value1; value4,test_data.txt; test_data2.txt\n"),
              std::string::npos) << csv.out;
}

// Results of calculated columns as Access stored them, each as its result type (values as
// Jackcess's own test of this file expects them).
TEST(AceCalculatedColumns, ReadAsTheirResultType) {
    const json row = parsed(tlw({"dump", fixture("access/ace/calcFieldTestV2010.accdb"), "--json"}))["tables"][0]["rows"][0];
    EXPECT_EQ(row["LastFirst"], "Wayne, Bruce");
    EXPECT_EQ(row["LastFirstLen"], 12);
    EXPECT_EQ(row["MonthlySalary"], 83333.3333);
    EXPECT_EQ(row["IsRich"], true);
    EXPECT_EQ(row["AllNames"], "Wayne, Bruce=Wayne, Bruce");
    EXPECT_EQ(row["SalaryTest"], 1000000.0);
    EXPECT_EQ(row["DecimalTest"], "50.325000");
    EXPECT_EQ(row["BigNumTest"], "56505085819.424791296572280180");
}

}  // namespace
