// libFuzzer target for whole runs: builds a valid scoring database (and a member-name
// database) whose tables, columns, types, keys and rows come from the input, hostile where
// the input says so, then runs Generate and the timer ticks in process, as the window would.
// Findings (abort): a crash or sanitizer report; a message box that is neither
// "number: description" nor one of the program's own fatal texts; a non-engine exception
// shown as "51: Internal error"; the timer off while the program still runs; more ticks than
// any such event needs (a hang); and a file that jet::check_database finds damaged afterwards.
// An all-zero input is a small ordinary event; every nonzero byte makes it stranger.
#include "db/database.h"
#include "jet/base/error.h"
#include "jet/check.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "run/simulator.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;
using jet::Value;

// ---- The scratch folder: named once per process, emptied around each input ----

const std::string& scratch() {
    static const std::string* folder = [] {
        // tmpfs when there is one: the engine syncs every commit.
        const char* base = std::getenv("EVENT_FUZZ_TMP");
        std::string pattern = std::string(base ? base : (fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp")) +
                              "/event-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return new std::string(pattern);
    }();
    return *folder;
}

// The folder goes after each input (so that none is left behind when the process ends) and
// comes back, empty, under its name before the next.
void fresh_scratch() {
    std::error_code ec;
    fs::remove_all(scratch(), ec);
    fs::create_directory(scratch(), ec);
}

void remove_scratch() {
    std::error_code ec;
    fs::remove_all(scratch(), ec);
}

// ---- The host: records what the window would show; no real timer ----

class FuzzHost : public sim::Host {
public:
    std::vector<std::string> log;
    std::vector<std::string> messages;
    bool enabled = false;
    bool ended = false;
    jet::DateTime clock{46362.8126};
    std::string folder;

    void add_log_line(const std::string& line) override { log.push_back(line); }
    void set_timer_interval(int) override {}
    void set_timer_enabled(bool on) override { enabled = on; }
    void set_pause_visible(bool) override {}
    void set_resume_visible(bool) override {}
    void move_resume_to_pause() override {}
    void message_box(const std::string& text, const std::string&) override { messages.push_back(text); }
    void end_program() override { ended = true; }
    jet::DateTime now() const override { return clock; }
    std::string executable_folder() const override { return folder; }
    bool file_exists(const std::string& path) const override { return fs::is_regular_file(path); }
    // The machine's own data folders stay out of the run.
    std::string environment_variable(const std::string& name) const override {
        return name == "XDG_DATA_DIRS" ? "/nonexistent" : "";
    }
};

// ---- Hostile values ----

const std::int64_t kInts[] = {0,     1,     2,      3,      4,      -1,     -2,         26,         27,
                              255,   256,   899,    900,    32767,  32768,  -32768,     -32769,     65535,
                              65536, 99999, 100000, 123456, 999999, 2147483647, -2147483647 - 1LL};
const double kDoubles[] = {0.5,     1.5,      2.5,      -0.5,    0.4999999, 1e300,   -1e300,   1e-300,
                           32767.5, 32767.49, -32768.5, -32768.51, 2147483647.5, 1.0000001, 3.0, 1e15,
                           std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), -0.0};
const char* const kTexts[] = {"", " ", "1", "2", "1A", " 1", "1 ", "+1", "-1", "1.5", "1,5", "1e3", "&H10", "0x10",
                              "N", "S", "E", "W", "n", "NS", "EW", "A", "Z", "a", "AA", "Null", "True", "'", "''",
                              "\"", "O'Brien", "1 OR 1=1", "1; DROP TABLE Section", "1)", "(1", "[", "]", "*",
                              "1 AND Section = 2", "\r\n", "\t", "\xC3\x85sa \xC3\x98stby", "\xFF\xFE", "\xC3",
                              "3NT", "PASS", "7NTxx", "2147483648", "32768", "-32769", "1e300", "9999-12-31",
                              "1899-12-30", "#1/1/2000#"};
const double kDates[] = {0.0, -1.0, 0.5, 46362.0, 46362.99999, 2958465.99999, -657434.0, 1e10, -1e10};

std::string long_text(FuzzedDataProvider& in) {
    const char c = static_cast<char>(in.ConsumeIntegralInRange<int>(0, 3));
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(40, 300);
    switch (c) {
    case 0: return std::string(n, 'x');
    case 1: return std::string(n / 2, '(') + "1" + std::string(n / 2, ')');  // deep nesting for the SQL the id lands in
    case 2: return std::string(n, '\'');
    default: {
        std::string s;
        while (s.size() < n) s += "\xE2\x82\xAC";  // three bytes, one character
        return s;
    }
    }
}

Value number(std::int64_t v) {
    if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
        return Value::long_(static_cast<std::int32_t>(v));
    return Value::double_(static_cast<double>(v));
}

Value hostile(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 11)) {
    case 0: return Value::null();
    case 1: return number(in.PickValueInArray(kInts));
    case 2: return Value::double_(in.PickValueInArray(kDoubles));
    case 3: return Value::text(in.PickValueInArray(kTexts));
    case 4: return Value::boolean(in.ConsumeBool());
    case 5: return Value::date({in.PickValueInArray(kDates)});
    case 6: return Value::text(in.ConsumeRandomLengthString(64));
    case 7: return Value::long_(in.ConsumeIntegralInRange<int>(-3, 40));
    case 8: return Value::text(std::to_string(in.PickValueInArray(kInts)));
    case 9: return Value::integer(in.ConsumeIntegral<std::int16_t>());
    case 10: return Value::byte(in.ConsumeIntegral<std::uint8_t>());
    default: return Value::text(long_text(in));
    }
}

// ---- Table designs with their ordinary rows ----

struct Shape {
    int sections = 1, tables = 2, rounds = 2, boards = 1;
    bool member_numbers = true, auto_shutdown = false;
};

struct ColumnSpec {
    const char* name;
    ColumnType type;
    std::uint16_t size = 0;
};

struct TableSpec {
    const char* name;
    std::vector<ColumnSpec> columns;
    std::vector<std::vector<const char*>> indexes;  // the first is the primary key
    int ordinary_rows;
    // The ordinary value of row i's column c.
    std::function<Value(int i, int c)> value;
};

constexpr ColumnType kTypes[] = {ColumnType::Long,     ColumnType::Integer, ColumnType::Byte,   ColumnType::Double,
                                 ColumnType::Text,     ColumnType::Boolean, ColumnType::DateTime, ColumnType::Memo,
                                 ColumnType::Currency, ColumnType::Single};
const char* const kDefaults[] = {"0", "-1", "1", "\"\"", "\"N\"", "Now()", "Date()", "True", "99999", "Null"};

Value L(long v) { return Value::long_(static_cast<std::int32_t>(v)); }

std::vector<TableSpec> scoring_tables(const Shape& s) {
    const int S = s.sections, T = s.tables, R = s.rounds, B = s.boards;
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const ColumnType Long = ColumnType::Long, Text = ColumnType::Text, Bool = ColumnType::Boolean,
                     Date = ColumnType::DateTime;
    std::vector<TableSpec> t;
    t.push_back({"Section",
                 {{"ID", Long}, {"Letter", Text, 10}, {"Tables", Long}},
                 {{"ID"}},
                 S,
                 [=](int i, int c) {
                     return c == 0 ? L(i + 1) : c == 1 ? Value::text(std::string(1, letters[i % 26])) : L(T);
                 }});
    t.push_back({"Tables",
                 {{"Section", Long}, {"Table", Long}, {"LogOnOff", Long}, {"UpdateFromRound", Long}},
                 {{"Section", "Table"}},
                 S * T,
                 [=](int i, int c) { return c == 0 ? L(i / T + 1) : c == 1 ? L(i % T + 1) : L(0); }});
    t.push_back({"RoundData",
                 {{"Section", Long},
                  {"Table", Long},
                  {"Round", Long},
                  {"NSPair", Long},
                  {"EWPair", Long},
                  {"LowBoard", Long},
                  {"HighBoard", Long}},
                 {{"Section", "Table", "Round"}},
                 R * S * T,
                 [=](int i, int c) {
                     const int r = i / (S * T) + 1, sec = (i / T) % S + 1, tab = i % T + 1;
                     const int set = (tab + r - 2) % T;
                     switch (c) {
                     case 0: return L(sec);
                     case 1: return L(tab);
                     case 2: return L(r);
                     case 3: return L(tab);
                     case 4: return L(set + 1);
                     case 5: return L(set * B + 1);
                     default: return L(set * B + B);
                     }
                 }});
    t.push_back({"PlayerNumbers",
                 {{"Section", Long},
                  {"Table", Long},
                  {"Direction", Text, 2},
                  {"Number", Text, 16},
                  {"Name", Text, 40},
                  {"TimeLog", Date},
                  {"Processed", Bool}},
                 {{"Section", "Table", "Direction"}},
                 S * T * 4,
                 [=](int i, int c) {
                     const int g = i / 4;
                     switch (c) {
                     case 0: return L(g / T + 1);
                     case 1: return L(g % T + 1);
                     case 2: return Value::text(std::string(1, "NSEW"[i % 4]));
                     case 6: return Value::boolean(false);
                     default: return Value::null();
                     }
                 }});
    t.push_back({"ReceivedData",
                 {{"ID", Long},          {"Section", Long},      {"Table", Long},        {"Round", Long},
                  {"Board", Long},       {"PairNS", Long},       {"PairEW", Long},       {"Declarer", Long},
                  {"NS/EW", Text, 2},    {"Contract", Text, 10}, {"Result", Text, 10},   {"LeadCard", Text, 10},
                  {"Remarks", Text, 255}, {"DateLog", Date},     {"TimeLog", Date},      {"Processed", Bool},
                  {"Processed1", Bool},  {"Processed2", Bool},   {"Processed3", Bool},   {"Processed4", Bool},
                  {"Erased", Bool}},
                 {{"ID"}, {"Section", "Table", "Round", "Board"}},
                 0,
                 [=](int i, int c) {
                     switch (c) {
                     case 0: return Value::null();  // numbered by the engine
                     case 1: return L(1);
                     case 2: return L(i % T + 1);
                     case 3: return L(1);
                     case 4: return L(i + 1);
                     case 5: return L(i % T + 1);
                     case 6: return L(i % T + 1);
                     case 7: return L(i % 4 + 1);
                     case 8: return Value::text("NS");
                     case 9: return Value::text("3NT");
                     case 10: return Value::text("=");
                     case 11: return Value::text("HA");
                     case 12: return Value::text("");
                     case 13: return Value::date({46362.0});
                     case 14: return Value::date({0.8});
                     default: return Value::boolean(false);
                     }
                 }});
    t.push_back({"Settings",
                 {{"MemberNumbers", Bool}, {"AutoShutdownTPC", Bool}},
                 {},
                 1,
                 [=](int, int c) { return Value::boolean(c == 0 ? s.member_numbers : s.auto_shutdown); }});
    return t;
}

TableSpec member_table() {
    return {"PlayerNameDatabase",
            {{"ID", ColumnType::Double}, {"Name", ColumnType::Text, 50}},
            {},
            8,
            [](int i, int c) {
                return c == 0 ? Value::double_(100000.0 + i) : Value::text("Member " + std::to_string(i + 1));
            }};
}

// The design the input makes of a table: columns dropped or retyped, sizes, flags, keys.
struct Built {
    jet::TableDesign design;
    std::vector<int> spec_column;  // design column -> spec column
};

Built design_of(FuzzedDataProvider& in, const TableSpec& spec) {
    Built b;
    b.design.name = spec.name;
    const std::uint8_t table_bits = in.ConsumeIntegral<std::uint8_t>();
    if ((table_bits & 0xE0) == 0xE0) return b;  // table missing
    if (table_bits & 0x40)  // names are found whatever their case
        for (char& ch : b.design.name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (int c = 0; c < static_cast<int>(spec.columns.size()); ++c) {
        const ColumnSpec& cs = spec.columns[static_cast<std::size_t>(c)];
        const std::uint8_t bits = in.ConsumeIntegral<std::uint8_t>();
        if (bits >= 0xF8) continue;  // column missing
        jet::ColumnDesign col;
        col.name = cs.name;
        col.type = cs.type;
        col.size = cs.size ? cs.size : 50;
        if (bits & 0x01) col.type = kTypes[(bits >> 4) % std::size(kTypes)];
        if (bits & 0x02) col.size = static_cast<std::uint16_t>(in.ConsumeIntegralInRange<int>(1, 255));
        col.allow_zero_length = jet::is_text_like(col.type) && !(bits & 0x04);
        col.required = col.type == ColumnType::Boolean;
        if (bits & 0x08) col.required = !col.required;
        if ((bits & 0x0F) == 0x0F) col.default_value = in.PickValueInArray(kDefaults);
        // ReceivedData's ID is numbered by the engine, as the scoring program defines it.
        if (std::string(spec.name) == "ReceivedData" && c == 0) col.autonumber = col.type == ColumnType::Long;
        b.design.columns.push_back(col);
        b.spec_column.push_back(c);
    }
    const std::uint8_t key_bits = in.ConsumeIntegral<std::uint8_t>();
    for (std::size_t k = 0; k < spec.indexes.size(); ++k) {
        if (key_bits & (1u << k)) continue;  // key missing
        jet::IndexDesign index{k == 0 ? "PrimaryKey" : "Index" + std::to_string(k), {}, k == 0, k == 0, false, k == 0};
        if (key_bits & 0x10) index.primary = index.required = false;  // duplicates and Nulls come in
        if (key_bits & 0x20) index.unique = false;
        if (key_bits & 0x40) index.ignore_nulls = true;
        for (const char* column : spec.indexes[k]) {
            for (const auto& col : b.design.columns)
                if (col.name == column) index.columns.push_back({column, !(key_bits & 0x80)});
        }
        if (!index.columns.empty()) b.design.indexes.push_back(index);
    }
    return b;
}

// Rows: the ordinary ones, or as many as the input says, each value ordinary or hostile.
// A value the column cannot hold loses its row; the engine's refusal is all that happens.
void fill(FuzzedDataProvider& in, db::Database& database, const TableSpec& spec, const Built& b) {
    const std::uint8_t count_byte = in.ConsumeIntegral<std::uint8_t>();
    const int rows = count_byte == 0 ? std::min(spec.ordinary_rows, 36) : count_byte % 37;
    if (rows == 0) return;
    std::optional<db::RecordSet> set;
    try {
        set = database.open_recordset(b.design.name);
    } catch (const jet::JetError&) {
        return;
    }
    for (int i = 0; i < rows; ++i) {
        const int row = in.ConsumeIntegral<std::uint8_t>() >= 0xE0 ? i / 2 : i;  // a duplicate now and then
        try {
            set->add_new();
            for (std::size_t d = 0; d < b.design.columns.size(); ++d) {
                const int c = b.spec_column[d];
                const std::uint8_t m = in.ConsumeIntegral<std::uint8_t>();
                Value v = m < 0xB0 ? spec.value(row, c) : hostile(in);
                if (b.design.columns[d].autonumber && v.is_null()) continue;
                try {
                    set->set_field(b.design.columns[d].name, v);
                } catch (const jet::JetError&) {
                }
            }
            set->update();
        } catch (const jet::JetError&) {
        }
    }
}

// Builds one database from the input; the tables that could not be made are absent.
void build(FuzzedDataProvider& in, const std::string& path, const std::vector<TableSpec>& specs) {
    jet::create_database(path);
    std::vector<std::pair<const TableSpec*, Built>> made;
    {
        auto engine = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
        for (const TableSpec& spec : specs) {
            Built b = design_of(in, spec);
            if (b.design.columns.empty()) continue;
            try {
                jet::create_table(*engine, b.design);
            } catch (const jet::JetError&) {
                // Defaults and keys the engine refuses: the table without them.
                b.design.indexes.clear();
                for (auto& col : b.design.columns) col.default_value.clear();
                try {
                    jet::create_table(*engine, b.design);
                } catch (const jet::JetError&) {
                    continue;
                }
            }
            made.emplace_back(&spec, std::move(b));
        }
    }
    auto database = db::Database::open(path);
    for (const auto& [spec, b] : made) fill(in, database, *spec, b);
}

// ---- Judging what the run showed ----

bool allowed_message(const std::string& text) {
    static const std::regex numbered("^[0-9]+: .+", std::regex::extended);
    static const std::regex fatal(
        "^Table (Tables Section|PlayerNumbers section) -?[0-9]+ not found in Section table$", std::regex::extended);
    if (text.starts_with("Cannot find the Tallimo database of members' names - ")) return true;
    if (std::regex_search(text, fatal)) return true;
    // A non-engine exception reached the tick: a fault of ours, not of the data.
    if (text.starts_with("51: ")) return false;
    return std::regex_search(text, numbered);
}

[[noreturn]] void finding(const std::string& what, const FuzzHost& host, const std::string& phase) {
    std::fprintf(stderr, "\n==== event_fuzz finding: %s\n     phase: %s, %zu log lines, files kept in %s\n",
                 what.c_str(), phase.c_str(), host.log.size(), scratch().c_str());
    const std::size_t from = host.log.size() > 12 ? host.log.size() - 12 : 0;
    for (std::size_t i = from; i < host.log.size(); ++i) std::fprintf(stderr, "     log: %s\n", host.log[i].c_str());
    for (const auto& m : host.messages) std::fprintf(stderr, "     message: %s\n", m.c_str());
    std::abort();
}

void check_file(const std::string& path, const FuzzHost& host, const std::string& phase, const char* when) {
    const jet::CheckReport report = jet::check_database(path);
    if (report.ok()) return;
    std::string problems;
    for (const auto& p : report.problems) problems += "\n     problem: " + p;
    finding(std::string("damaged database ") + when + ": " + path + problems, host, phase);
}

constexpr int kTickLimit = 5000;
constexpr int kPolls = 4;  // round updates taken before the run counts as waiting

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    fresh_scratch();
    const std::string event = scratch() + "/event.tlw";
    const std::string members = scratch() + "/TLPlayerDB.mdb";

    Shape shape;
    const std::uint8_t a = in.ConsumeIntegral<std::uint8_t>(), b = in.ConsumeIntegral<std::uint8_t>();
    shape.sections = 1 + a % 4;
    shape.tables = 2 + (a >> 2) % 4;
    shape.rounds = 2 + (a >> 4) % 3;
    shape.boards = 1 + (a >> 6) % 3;
    shape.member_numbers = !(b & 0x01);
    shape.auto_shutdown = b & 0x02;
    const bool member_db = !(b & 0x04);
    const std::uint32_t seed = in.ConsumeIntegral<std::uint32_t>();

    build(in, event, scoring_tables(shape));
    if (member_db) build(in, members, {member_table()});

    std::string phase;
    FuzzHost host;
    host.folder = scratch();
    {
        sim::Simulator sim(host);
        sim.DatabasePath = event;
        sim.FixedSeed = seed;
        sim.cboWait_Click(1);
        // Generate pressed again partway through, now and then.
        const int again = in.ConsumeIntegral<std::uint8_t>() >= 0xF0 ? in.ConsumeIntegralInRange<int>(1, 40) : -1;
        sim.cmdGenerate_Click();
        int ticks = 0, polls = 0;
        while (!host.ended) {
            if (sim.Phase == sim::phase::UpdateFromRound) {
                if (polls++ == kPolls) break;
                sim.Timer1_Timer();  // takes the flagged tables, if any
                if (sim.Phase == sim::phase::UpdateFromRound) break;
                continue;
            }
            if (!host.enabled) finding("timer off while the program runs", host, sim.Phase);
            if (++ticks > kTickLimit) finding("no end after " + std::to_string(kTickLimit) + " ticks", host, sim.Phase);
            if (ticks == again) sim.cmdGenerate_Click();
            sim.Timer1_Timer();
        }
        phase = sim.Phase;
        for (const auto& m : host.messages)
            if (!allowed_message(m)) finding("message box \"" + m + "\"", host, phase);
    }
    if (std::getenv("EVENT_FUZZ_VERBOSE")) {  // what a reproducer's run showed
        for (const auto& line : host.log) std::fprintf(stderr, "log: %s\n", line.c_str());
        for (const auto& m : host.messages) std::fprintf(stderr, "message: %s\n", m.c_str());
        std::fprintf(stderr, "phase at the end: %s\n", phase.c_str());
    }
    check_file(event, host, phase, "after the run");
    remove_scratch();
    return 0;
}
