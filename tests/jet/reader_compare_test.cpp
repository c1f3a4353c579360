// Every table of every fixture, value by value, against mdbtools (mdb-json) run now. Where
// the two readers disagree the bytes decide, and the exceptions below say what they show.
#include "jet/database.h"
#include "support/child_process.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// mdb-json prints one object a line, but leaves line breaks inside values raw.
std::vector<nlohmann::json> mdb_rows(const std::string& file, const std::string& table) {
    const testsupport::ProcessResult r =
        testsupport::run_process({"mdb-json", "-T", "%Y-%m-%dT%H:%M:%S", "-D", "%Y-%m-%dT%H:%M:%S", file, table});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::vector<nlohmann::json> rows;
    std::string pending;
    std::size_t start = 0;
    while (start < r.out.size()) {
        std::size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        pending += r.out.substr(start, end - start);
        start = end + 1;
        nlohmann::json j = nlohmann::json::parse(pending, nullptr, false);
        if (j.is_discarded()) {
            pending += "\\n";
            continue;
        }
        rows.push_back(std::move(j));
        pending.clear();
    }
    return rows;
}

// Why a value may differ, or "" when it must be equal.
std::string compare(const jet::Value& ours, const nlohmann::json& theirs) {
    using K = jet::ValueKind;
    // mdbtools reports a zero-length text as null; the null mask says the value is present.
    if (ours.kind() == K::Text && ours.as_text_raw().empty() && theirs.is_null()) return "";
    // Binary, OLE and GUID come out as mdbtools' own "$binary" text form; decoding is covered
    // by ReaderDecode tests.
    if (ours.kind() == K::Binary || ours.kind() == K::Guid) return "";
    if (ours.is_null() || theirs.is_null()) return ours.is_null() && theirs.is_null() ? "" : "null differs";
    switch (ours.kind()) {
    case K::Boolean: return ours.as_bool() == (theirs.get<int>() != 0) ? "" : "boolean differs";
    case K::Text: {
        const std::string t = theirs.get<std::string>();
        if (t == ours.as_text_raw()) return "";
        // Jet 3 bytes 0x81 0x8D 0x8F 0x90 0x9D are undefined in Windows-1252: Windows maps them to
        // U+0081.. (as we do), mdbtools to '?'.
        if (t.find('?') != std::string::npos && t.size() < ours.as_text_raw().size()) return "";
        return "text differs";
    }
    case K::DateTime:
        // mdbtools cannot print dates before 1900 ("1900-01-00"); value_test covers them.
        if (ours.as_date().days < 1) return "";
        return jet::iso_text(ours.as_date()) == theirs.get<std::string>() ? "" : "date differs";
    case K::Decimal: case K::Currency: case K::Single: case K::Double: case K::Byte: case K::Integer: case K::Long: {
        const double a = jet::to_double(ours);
        const double b = theirs.is_string() ? std::stod(theirs.get<std::string>()) : theirs.get<double>();
        return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(a)) ? "" : "number differs";
    }
    default: return "";
    }
}

void compare_file(const std::string& file) {
    auto db = jet::Database::open(file);
    for (const jet::CatalogEntry& entry : db->tables()) {
        SCOPED_TRACE(entry.name);
        const jet::TableDef def = *db->table_def(entry.name);
        std::vector<std::vector<jet::Value>> ours;
        db->scan(def, [&](jet::RowId, const std::vector<jet::Value>& v) {
            ours.push_back(v);
            return true;
        });
        const std::vector<nlohmann::json> theirs = mdb_rows(file, entry.name);
        ASSERT_EQ(ours.size(), theirs.size());
        // Moved rows: we deliver them in the place of their original slot (Access's and
        // Jackcess's table order); mdbtools delivers the moved copy where it lies. Same rows.
        std::vector<std::size_t> order(ours.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        if (file.find("overflowTest") != std::string::npos) {
            std::vector<std::pair<std::string, std::size_t>> keyed;
            for (std::size_t i = 0; i < theirs.size(); ++i) keyed.emplace_back(theirs[i].dump(), i);
            std::vector<std::pair<std::string, std::size_t>> ours_keyed;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                nlohmann::json j;
                for (std::size_t k = 0; k < def.columns.size(); ++k)
                    if (!ours[i][k].is_null()) j[def.columns[k].name] = jet::to_text(ours[i][k]);
                ours_keyed.emplace_back(j.dump(), i);
            }
            std::sort(keyed.begin(), keyed.end());
            std::sort(ours_keyed.begin(), ours_keyed.end());
            for (std::size_t i = 0; i < order.size(); ++i) order[ours_keyed[i].second] = keyed[i].second;
        }
        int differences = 0;
        for (std::size_t r = 0; r < ours.size(); ++r) {
            const nlohmann::json& row = theirs[order[r]];
            for (std::size_t k = 0; k < def.columns.size(); ++k) {
                const jet::Column& c = def.columns[k];
                const nlohmann::json value = row.contains(c.name) ? row[c.name] : nlohmann::json();
                const std::string why = compare(ours[r][k], value);
                if (!why.empty() && ++differences <= 5)
                    ADD_FAILURE() << "row " << r << " column " << c.name << ": " << why << " ours "
                                  << (ours[r][k].is_null() ? "Null" : jet::to_text(ours[r][k])) << " mdbtools "
                                  << value.dump();
            }
        }
        EXPECT_EQ(differences, 0);
    }
}

class ReaderCompare : public testing::TestWithParam<std::string> {};

TEST_P(ReaderCompare, SameValuesAsMdbtools) {
    compare_file(std::string(TALLIMO_FIXTURES) + "/" + GetParam());
}

const std::vector<std::string> fixtures_but_password =
    testsupport::fixture_files({"access/jet3", "access/jet4", "scoring"}, "password");

INSTANTIATE_TEST_SUITE_P(Fixtures, ReaderCompare, ::testing::ValuesIn(fixtures_but_password),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = fs::path(param.param).stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
