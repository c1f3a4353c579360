#include "support/readers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

namespace testsupport {
namespace {

std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, sep)) out.push_back(field);
    if (!line.empty() && line.back() == sep) out.emplace_back();
    return out;
}

}  // namespace

std::vector<TextRow> mdb_export(const std::string& file, const std::string& table) {
    const ProcessResult r = run_process({"mdb-export", "-Q", "-d", "\x1f", "-D", "%Y-%m-%d %H:%M:%S", file, table});
    EXPECT_EQ(r.exit_code, 0) << "mdb-export " << file << " " << table << ": " << r.err;
    std::istringstream in(r.out);
    std::string line;
    std::vector<std::string> header;
    std::vector<TextRow> rows;
    while (std::getline(in, line)) {
        const auto fields = split(line, '\x1f');
        if (header.empty()) {
            header = fields;
            continue;
        }
        TextRow row;
        for (std::size_t i = 0; i < header.size(); ++i) row[header[i]] = i < fields.size() ? fields[i] : "";
        rows.push_back(std::move(row));
    }
    return rows;
}

std::map<std::string, std::vector<TextRow>> mdb_reader_tables(const std::string& file) {
    const ProcessResult r = run_process({"node", std::string(TALLIMO_NODE_DIR) + "/dump.mjs", file});
    EXPECT_EQ(r.exit_code, 0) << "mdb-reader on " << file << ": " << r.err;
    std::map<std::string, std::vector<TextRow>> out;
    if (r.exit_code != 0) return out;
    const nlohmann::json dump = nlohmann::json::parse(r.out);
    for (const auto& t : dump.at("tables")) {
        auto& rows = out[t.at("name").get<std::string>()];
        for (const auto& row : t.at("rows")) {
            TextRow text;
            for (const auto& [column, v] : row.items()) {
                if (v.is_null()) text[column] = "";
                else if (v.is_boolean()) text[column] = v.get<bool>() ? "1" : "0";
                else if (v.is_number_integer()) text[column] = std::to_string(v.get<long long>());
                else if (v.is_string()) text[column] = v.get<std::string>();
                else text[column] = v.dump();
            }
            rows.push_back(std::move(text));
        }
    }
    return out;
}

ProcessResult tlw_check(const std::string& file) {
    return run_process({TLW_PATH, "check", file});
}

void expect_tlw_check_passes(const std::string& file) {
    const ProcessResult check = tlw_check(file);
    EXPECT_EQ(check.exit_code, 0) << file << ": " << check.out << check.err;
}

}  // namespace testsupport
