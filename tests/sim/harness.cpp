// Test support for the simulator: scratch folders, the event builder, reading results back.
#include "harness.h"

#include "jet/creator.h"
#include "jet/database.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace simtest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "sim-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ScratchDir::copy_fixture(const std::string& relative) const {
    const fs::path from = fs::path(TALLIMO_FIXTURES) / relative;
    const fs::path to = fs::path(path_) / from.filename();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to.string();
}

SimRun::SimRun(const std::string& database, const std::string& program_folder) {
    host.folder = program_folder;
    sim.DatabasePath = database;
    sim.FixedSeed = 1;
    sim.cboWait_Click(1);
}

void SimRun::generate() { sim.cmdGenerate_Click(); }

void SimRun::tick() {
    ASSERT_TRUE(host.enabled) << "timer is off in phase " << sim.Phase;
    sim.Timer1_Timer();
}

int SimRun::run_until_waiting(int limit) {
    int ticks = 0;
    while (!host.ended && sim.Phase != "UpdateFromRound" && ticks < limit) {
        tick();
        ++ticks;
    }
    return ticks;
}

std::vector<std::string> SimRun::lines_of(const std::function<void()>& action) {
    const std::size_t before = host.log.size();
    action();
    return {host.log.begin() + static_cast<std::ptrdiff_t>(before), host.log.end()};
}

std::vector<std::vector<jet::Value>> rows(const std::string& path, const std::string& select,
                                          const std::vector<std::string>& columns) {
    auto database = db::Database::open(path);
    auto set = database.open_recordset(select);
    std::vector<std::vector<jet::Value>> out;
    for (; !set.at_end(); set.move_next()) {
        std::vector<jet::Value> row;
        for (const auto& c : columns) row.push_back(set.field(c));
        out.push_back(std::move(row));
    }
    return out;
}

long count(const std::string& path, const std::string& select) {
    auto database = db::Database::open(path);
    auto set = database.open_recordset(select);
    long n = 0;
    for (; !set.at_end(); set.move_next()) ++n;
    return n;
}

long execute(const std::string& path, const std::string& sql) {
    auto database = db::Database::open(path);
    return database.execute(sql);
}

namespace {

jet::ColumnSpec column(std::string name, jet::ColumnType type, std::uint16_t size = 50) {
    jet::ColumnSpec c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    c.allow_zero_length = type == jet::ColumnType::Text;
    if (type == jet::ColumnType::Boolean) c.required = true;
    return c;
}

jet::ColumnSpec longc(std::string name) { return column(std::move(name), jet::ColumnType::Long); }
jet::ColumnSpec text(std::string name, std::uint16_t size) { return column(std::move(name), jet::ColumnType::Text, size); }
jet::ColumnSpec boolean(std::string name) { return column(std::move(name), jet::ColumnType::Boolean); }
jet::ColumnSpec date(std::string name) { return column(std::move(name), jet::ColumnType::DateTime); }

void create_tables(const std::string& path, const std::vector<jet::TableSpec>& specs) {
    jet::create_database(path);
    auto database = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    for (const auto& spec : specs) jet::create_table(*database, spec);
}

jet::Value lv(long v) { return jet::Value::long_(static_cast<std::int32_t>(v)); }

}  // namespace

void build_event(const std::string& path, const EventShape& shape) {
    std::vector<jet::TableSpec> specs{
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
    specs[4].columns[0].autonumber = true;
    specs[4].indexes.push_back({"PrimaryKey", {{"ID", true}}, true, true, false, true});
    if (shape.settings_table) specs.push_back({"Settings", {boolean("MemberNumbers"), boolean("AutoShutdownTPC")}, {}});
    create_tables(path, specs);

    auto database = db::Database::open(path);
    auto add = [&](const std::string& table, const std::vector<std::pair<std::string, jet::Value>>& fields) {
        auto set = database.open_recordset(table);
        set.add_new();
        for (const auto& [name, value] : fields) set.set_field(name, value);
        set.update();
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

void build_members(const std::string& path, const std::vector<Member>& members) {
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
