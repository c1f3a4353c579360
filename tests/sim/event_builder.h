// Scoring and member-name databases as the scoring program prepares them, built by our own
// engine (same tables, columns and types as the club-evening fixture), for the simulator's
// tests and its benchmark.
#pragma once

#include "db/database.h"
#include "jet/creator.h"
#include "jet/database.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

// The shape of an event: sections of `tables` tables each,
// `rounds` rounds of `boards` boards, NS pair = table, EW pair moving up one table a round.
struct EventShape {
    int sections = 1;
    int tables = 3;
    int rounds = 2;
    int boards = 2;
    bool member_numbers = true;
    bool auto_shutdown = false;
    bool settings_table = true;
    bool keys = true;  // primary keys as scoring programs define them; without, rows come as stored
};

struct Member {
    std::optional<double> id;
    std::optional<std::string> name;
};

namespace detail {

inline jet::ColumnDesign column(std::string name, jet::ColumnType type, std::uint16_t size = 50) {
    jet::ColumnDesign c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    c.allow_zero_length = type == jet::ColumnType::Text;
    if (type == jet::ColumnType::Boolean) c.required = true;
    return c;
}

inline jet::ColumnDesign longc(std::string name) { return column(std::move(name), jet::ColumnType::Long); }
inline jet::ColumnDesign text(std::string name, std::uint16_t size) { return column(std::move(name), jet::ColumnType::Text, size); }
inline jet::ColumnDesign boolean(std::string name) { return column(std::move(name), jet::ColumnType::Boolean); }
inline jet::ColumnDesign date(std::string name) { return column(std::move(name), jet::ColumnType::DateTime); }

inline void create_tables(const std::string& path, const std::vector<jet::TableDesign>& designs) {
    jet::create_database(path);
    auto database = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    for (const auto& design : designs) jet::create_table(*database, design);
}

inline jet::Value lv(long v) { return jet::Value::long_(static_cast<std::int32_t>(v)); }

}  // namespace detail

inline void build_event(const std::string& path, const EventShape& shape) {
    using namespace detail;
    std::vector<jet::TableDesign> designs{
        {"Section", {longc("ID"), text("Letter", 10), longc("Tables")}, {}},
        {"Tables", {longc("Section"), longc("Table"), longc("LogOnOff"), longc("UpdateFromRound")}, {}},
        {"RoundData",
         {longc("Section"), longc("Table"), longc("Round"), longc("NSPair"), longc("EWPair"), longc("LowBoard"),
          longc("HighBoard")},
         {}},
        {"PlayerNumbers",
         {longc("Section"), longc("Table"), text("Direction", 2), text("Number", 16), text("Name", 40), date("TimeLog"),
          boolean("Processed")},
         {}},
        {"ReceivedData",
         {longc("ID"), longc("Section"), longc("Table"), longc("Round"), longc("Board"), longc("PairNS"),
          longc("PairEW"), longc("Declarer"), text("NS/EW", 2), text("Contract", 10), text("Result", 10),
          text("LeadCard", 10), text("Remarks", 255), date("DateLog"), date("TimeLog"), boolean("Processed"),
          boolean("Processed1"), boolean("Processed2"), boolean("Processed3"), boolean("Processed4"),
          boolean("Erased")},
         {}},
    };
    designs[4].columns[0].autonumber = true;
    designs[4].indexes.push_back({"PrimaryKey", {{"ID", true}}, true, true, false, true});
    if (shape.keys) {
        auto key = [](std::vector<std::string> columns) {
            jet::IndexDesign index{"PrimaryKey", {}, true, true, false, true};
            for (auto& c : columns) index.columns.push_back({std::move(c), true});
            return index;
        };
        designs[0].indexes.push_back(key({"ID"}));
        designs[1].indexes.push_back(key({"Section", "Table"}));
        designs[2].indexes.push_back(key({"Section", "Table", "Round"}));
        designs[3].indexes.push_back(key({"Section", "Table", "Direction"}));
        jet::IndexDesign boards = key({"Section", "Table", "Round", "Board"});
        boards.name = "Boards";
        boards.primary = boards.unique = boards.required = false;
        designs[4].indexes.push_back(boards);
    }
    if (shape.settings_table) designs.push_back({"Settings", {boolean("MemberNumbers"), boolean("AutoShutdownTPC")}, {}});
    create_tables(path, designs);

    auto database = db::Database::open(path);
    std::map<std::string, db::RecordSet> sets;
    auto add = [&](const std::string& table, const std::vector<std::pair<std::string, jet::Value>>& fields) {
        auto it = sets.find(table);
        if (it == sets.end()) it = sets.emplace(table, database.open_recordset(table)).first;
        it->second.add_new();
        for (const auto& [name, value] : fields) it->second.set_field(name, value);
        it->second.update();
    };
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int s = 1; s <= shape.sections; ++s) {
        add("Section", {{"ID", lv(s)}, {"Letter", jet::Value::text(std::string(1, letters[(s - 1) % 26]))},
                        {"Tables", lv(shape.tables)}});
        for (int t = 1; t <= shape.tables; ++t) {
            add("Tables", {{"Section", lv(s)}, {"Table", lv(t)}, {"LogOnOff", lv(0)}, {"UpdateFromRound", lv(0)}});
            for (const char* d : {"N", "S", "E", "W"})
                add("PlayerNumbers", {{"Section", lv(s)}, {"Table", lv(t)}, {"Direction", jet::Value::text(d)},
                                      {"Processed", jet::Value::boolean(false)}});
        }
    }
    for (int r = 1; r <= shape.rounds; ++r)
        for (int s = 1; s <= shape.sections; ++s)
            for (int t = 1; t <= shape.tables; ++t) {
                const int set = (t + r - 2) % shape.tables;
                add("RoundData", {{"Section", lv(s)}, {"Table", lv(t)}, {"Round", lv(r)}, {"NSPair", lv(t)},
                                  {"EWPair", lv((t + r - 2) % shape.tables + 1)},
                                  {"LowBoard", lv(set * shape.boards + 1)},
                                  {"HighBoard", lv(set * shape.boards + shape.boards)}});
            }
    if (shape.settings_table)
        add("Settings", {{"MemberNumbers", jet::Value::boolean(shape.member_numbers)},
                         {"AutoShutdownTPC", jet::Value::boolean(shape.auto_shutdown)}});
}

inline void build_members(const std::string& path, const std::vector<Member>& members) {
    using namespace detail;
    create_tables(path, {{"PlayerNameDatabase", {column("ID", jet::ColumnType::Double), text("Name", 50)}, {}}});
    auto database = db::Database::open(path);
    auto set = database.open_recordset("PlayerNameDatabase");
    for (const auto& m : members) {
        set.add_new();
        set.set_field("ID", m.id ? jet::Value::double_(*m.id) : jet::Value::null());
        set.set_field("Name", m.name ? jet::Value::text(*m.name) : jet::Value::null());
        set.update();
    }
}

}  // namespace simtest
