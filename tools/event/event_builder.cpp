// Event databases. Column types are those a scoring program picks (Long numbers, short Texts
// that may be empty, Booleans for flags, Date/Time stamps); every table has the keys it would
// define, and some columns only the scoring program uses, so that tests see them left alone.
#include "event_builder.h"

#include "jet/creator.h"
#include "jet/database.h"
#include "jet/table_write.h"

#include <stdexcept>

namespace event {
namespace {

using jet::ColumnType;
using jet::Value;

jet::ColumnDesign column(const char* name, ColumnType type, std::uint16_t size = 50) {
    jet::ColumnDesign c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.allow_zero_length = jet::is_text_like(type);
    return c;
}

// Columns of one type and size, in the order named.
void add_columns(jet::TableDesign& t, ColumnType type, std::initializer_list<const char*> names,
                 std::uint16_t size = 50) {
    for (const char* name : names) t.columns.push_back(column(name, type, size));
}

jet::ColumnDesign with_default(jet::ColumnDesign c, const char* expression) {
    c.default_value = expression;
    return c;
}

jet::IndexDesign primary_key(std::vector<jet::IndexColumnDesign> columns) {
    jet::IndexDesign ix;
    ix.name = "PrimaryKey";
    ix.columns = std::move(columns);
    ix.primary = true;
    return ix;
}

jet::TableDesign section_table() {
    return {"Section",
            {column("ID", ColumnType::Long), column("Letter", ColumnType::Text, 2), column("Tables", ColumnType::Long),
             with_default(column("Kind", ColumnType::Long), "2"),
             with_default(column("Label", ColumnType::Text, 50), "\"Main room\""), column("Started", ColumnType::DateTime),
             column("Notes", ColumnType::Memo)},
            {primary_key({{"ID"}})}};
}

jet::TableDesign tables_table() {
    return {"Tables",
            {column("Section", ColumnType::Long), column("Table", ColumnType::Long), column("Terminal", ColumnType::Long),
             with_default(column("Status", ColumnType::Long), "0"), column("LogOnOff", ColumnType::Long),
             column("RoundNow", ColumnType::Long), column("UpdateFromRound", ColumnType::Long),
             column("LastContact", ColumnType::DateTime), column("Note", ColumnType::Text, 50)},
            {primary_key({{"Section"}, {"Table"}})}};
}

jet::TableDesign player_numbers_table() {
    return {"PlayerNumbers",
            {column("Section", ColumnType::Long), column("Table", ColumnType::Long), column("Direction", ColumnType::Text, 2),
             column("Number", ColumnType::Text, 16), column("Name", ColumnType::Text, 40),
             column("Changed", ColumnType::Boolean), column("TimeLog", ColumnType::DateTime),
             column("Processed", ColumnType::Boolean)},
            {primary_key({{"Section"}, {"Table"}, {"Direction"}})}};
}

jet::TableDesign round_data_table() {
    return {"RoundData",
            {column("Section", ColumnType::Long), column("Table", ColumnType::Long), column("Round", ColumnType::Long),
             column("NSPair", ColumnType::Long), column("EWPair", ColumnType::Long), column("LowBoard", ColumnType::Long),
             column("HighBoard", ColumnType::Long), column("Extra", ColumnType::Text, 255)},
            {primary_key({{"Section"}, {"Table"}, {"Round"}})}};
}

jet::TableDesign settings_table() {
    return {"Settings",
            {column("ShowResults", ColumnType::Boolean), column("MemberNumbers", ColumnType::Boolean),
             column("AutoShutdownTPC", ColumnType::Boolean), column("ConfirmResults", ColumnType::Boolean),
             with_default(column("Mode", ColumnType::Long), "1"), with_default(column("Timeout", ColumnType::Long), "30"),
             with_default(column("Title", ColumnType::Text, 50), "\"Club evening\""),
             column("Updated", ColumnType::DateTime)},
            {}};
}

jet::TableDesign received_data_table() {
    jet::TableDesign t;
    t.name = "ReceivedData";
    auto id = column("ID", ColumnType::Long);
    id.autonumber = true;
    t.columns.push_back(id);
    add_columns(t, ColumnType::Long, {"Section", "Table", "Round", "Board", "PairNS", "PairEW", "Declarer"});
    add_columns(t, ColumnType::Text, {"NS/EW"}, 2);
    add_columns(t, ColumnType::Text, {"Contract", "Result", "LeadCard"}, 10);
    add_columns(t, ColumnType::Text, {"Remarks"}, 255);
    add_columns(t, ColumnType::DateTime, {"DateLog", "TimeLog"});
    add_columns(t, ColumnType::Boolean, {"Processed", "Processed1", "Processed2", "Processed3", "Processed4", "Erased"});
    t.columns.push_back(with_default(column("Source", ColumnType::Text, 20), "\"terminal\""));
    t.columns.push_back(with_default(column("Score", ColumnType::Long), "0"));
    add_columns(t, ColumnType::DateTime, {"Checked"});
    add_columns(t, ColumnType::Memo, {"Comment"});
    jet::IndexDesign by_board;
    by_board.name = "SectionTableRoundBoard";
    by_board.columns = {{"Section"}, {"Table"}, {"Round"}, {"Board"}};
    t.indexes = {primary_key({{"ID"}}), by_board};
    return t;
}

jet::TableDesign member_table() {
    jet::TableDesign t{"PlayerNameDatabase",
                     {column("ID", ColumnType::Long), column("Name", ColumnType::Text, 50),
                      column("Club", ColumnType::Text, 40), column("Active", ColumnType::Boolean)},
                     {primary_key({{"ID"}})}};
    return t;
}

// Appends rows given as (column, value) lists; columns left out take their defaults.
class Appender {
public:
    Appender(jet::Database& db, const char* table) : write_(db, table) {}
    void add(const std::vector<std::pair<const char*, Value>>& values) {
        const jet::TableDef& t = write_.table();
        jet::NewValues row(t.columns.size());
        for (const auto& [name, value] : values) {
            const jet::Column* c = t.find_column(name);
            if (c == nullptr) throw std::logic_error(std::string("no column ") + name + " in " + t.name);
            row[static_cast<std::size_t>(c - t.columns.data())] = value;
        }
        write_.add(row);
    }
    void commit() { write_.commit(); }

private:
    jet::TableWrite write_;
};

void check_request(const EventRequest& r) {
    if (r.sections < 1 || r.sections > kMaxSections)
        throw std::invalid_argument("An event has 1 to 26 sections (A to Z); " + std::to_string(r.sections) +
                                    " were asked for.");
}

}  // namespace

void build_event(const std::string& path, const EventRequest& request, bool overwrite) {
    check_request(request);
    write_event(path, request, make_movement(request.movement), overwrite);  // refuses before any file exists
}

void write_event(const std::string& path, const EventRequest& request, const std::vector<Seating>& seatings,
                 bool overwrite) {
    std::vector<jet::TableDesign> designs{section_table(), tables_table(), player_numbers_table(), round_data_table()};
    if (!request.keys)
        for (auto& design : designs) design.indexes.clear();
    if (request.settings_table) designs.push_back(settings_table());
    designs.push_back(received_data_table());
    jet::create_database(path, request.version, overwrite);
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    for (const auto& design : designs) jet::create_table(*db, design);

    const int tables = request.movement.tables;
    const jet::DateTime now = jet::local_now();
    Appender section(*db, "Section");
    Appender table_rows(*db, "Tables");
    Appender seats(*db, "PlayerNumbers");
    Appender rounds(*db, "RoundData");
    for (int s = 1; s <= request.sections; ++s) {
        section.add({{"ID", Value::long_(s)},
                     {"Letter", Value::text(std::string(1, static_cast<char>('A' + (s - 1) % kMaxSections)))},
                     {"Tables", Value::long_(tables)},
                     {"Started", Value::date(now)}});
        for (int t = 1; t <= tables; ++t) {
            table_rows.add({{"Section", Value::long_(s)},
                            {"Table", Value::long_(t)},
                            {"Terminal", Value::long_((s - 1) * tables + t)},
                            {"LogOnOff", Value::long_(0)},
                            {"RoundNow", Value::long_(1)},
                            {"UpdateFromRound", Value::long_(0)}});
            for (const char* seat : {"N", "S", "E", "W"})
                seats.add({{"Section", Value::long_(s)},
                           {"Table", Value::long_(t)},
                           {"Direction", Value::text(seat)},
                           {"Changed", Value::boolean(false)},
                           {"Processed", Value::boolean(false)}});
        }
        for (const Seating& m : seatings)
            rounds.add({{"Section", Value::long_(s)},
                        {"Table", Value::long_(m.table)},
                        {"Round", Value::long_(m.round)},
                        {"NSPair", Value::long_(m.ns_pair)},
                        {"EWPair", Value::long_(m.ew_pair)},
                        {"LowBoard", Value::long_(m.low_board)},
                        {"HighBoard", Value::long_(m.high_board)}});
    }
    section.commit();
    table_rows.commit();
    seats.commit();
    rounds.commit();
    if (!request.settings_table) return;
    Appender settings(*db, "Settings");
    settings.add({{"ShowResults", Value::boolean(true)},
                  {"MemberNumbers", Value::boolean(request.member_numbers)},
                  {"AutoShutdownTPC", Value::boolean(request.auto_shutdown)},
                  {"ConfirmResults", Value::boolean(true)},
                  {"Updated", Value::date(now)}});
    settings.commit();
}

std::vector<std::string> member_names(int count) {
    static const char* const first[] = {
        "Anna",    "Peter",   "Hélène",  "José",     "Margaret", "Liam",   "Søren",   "Françoise", "Jürgen", "Siobhán",
        "Michael", "Ingrid",  "Björn",   "Zoë",      "Patrick",  "Renée",  "Łukasz",  "Chloé",     "Andrés", "Mary Kate",
        "Thomas",  "Agnès",   "Oskar",   "Eileen",   "Matteo",   "Noémie", "Henrik",  "Dorothy",   "Ángel",  "Gráinne",
        "Jean-Luc", "Birgit", "Kevin",   "Åsa",      "Ramón",    "Judith", "Eoin",    "Célia",     "Frank",  "Maëlle"};
    static const char* const last[] = {
        "O'Brien",  "Müller",    "Sørensen", "Dubois",    "D'Angelo",  "Smith",    "García",   "Nowak",
        "O'Neill",  "Schäfer",   "Lefèvre",  "Johansson", "Mac Giolla", "Brown",   "Núñez",    "Van den Berg",
        "Kowalski", "Åberg",     "Fitzgerald", "Rossi",   "Peña",      "O'Connor", "Hoffmann", "Gauthier",
        "Lindqvist", "Ó Súilleabháin", "Jensen", "Martínez", "Wilson",  "Dupré",    "Bäcker",   "D'Arcy",
        "Taylor",   "Ferreira",  "Kühn",     "Olsen",     "Murphy",    "Bianchi",  "Lévesque", "Young"};
    const int nf = static_cast<int>(std::size(first)), nl = static_cast<int>(std::size(last));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(std::string(first[(i * 7 + i / nf) % nf]) + " " + last[(i * 11 + i / nl) % nl]);
    return names;
}

void build_member_database(const std::string& path, int members, jet::FileVersion version, bool overwrite) {
    if (members < 0) throw std::invalid_argument("The number of members cannot be negative.");
    static const char* const clubs[] = {"Riverside BC", "Town Hall Bridge", "Café Olé Bridge", "St Mary's BC",
                                        "North End Club"};
    jet::create_database(path, version, overwrite);
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    jet::create_table(*db, member_table());
    Appender rows(*db, "PlayerNameDatabase");
    const std::vector<std::string> names = member_names(members);
    for (int i = 0; i < members; ++i)
        rows.add({{"ID", Value::long_(1001 + i)},
                  {"Name", Value::text(names[static_cast<std::size_t>(i)])},
                  {"Club", Value::text(clubs[i % 5])},
                  {"Active", Value::boolean(i % 9 != 4)}});
    rows.commit();
}

void build_member_list(const std::string& path, const std::vector<Member>& members) {
    jet::create_database(path);
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    jet::create_table(*db, {"PlayerNameDatabase",
                            {column("ID", ColumnType::Double), column("Name", ColumnType::Text, 50)},
                            {}});
    Appender rows(*db, "PlayerNameDatabase");
    for (const Member& m : members)
        rows.add({{"ID", m.id ? Value::double_(*m.id) : Value::null()},
                  {"Name", m.name ? Value::text(*m.name) : Value::null()}});
    rows.commit();
}

}  // namespace event
