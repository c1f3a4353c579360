// Events prepared by `tlw new-event` and the event library: sound movements for a range of
// sizes, clear refusals, and files that mdbtools, mdb-reader and our reader read alike and
// that `tlw check` passes, in Jet 3 and Jet 4.
#include "event/event_builder.h"
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/value/value.h"
#include "support/child_process.h"
#include "support/lines.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using event::MovementKind;

// Every pair of the section, each round: seated exactly once, or out when the pairs are odd.
void expect_sound(MovementKind kind, int tables, int rounds, bool odd) {
    SCOPED_TRACE((kind == MovementKind::Howell ? "Howell " : "Mitchell ") + std::to_string(tables) + " tables, " +
                 std::to_string(rounds) + " rounds" + (odd ? ", odd pairs" : ""));
    const auto seatings = event::make_movement({kind, tables, rounds, 3, odd});
    EXPECT_EQ(seatings.size(), static_cast<std::size_t>(tables * rounds));
    EXPECT_EQ(joined(event::movement_problems(kind, seatings)), "");
    const int pairs = 2 * tables;  // NS and EW together
    std::map<int, int> present, sitting_out;
    std::set<std::pair<int, int>> met;  // Mitchell: NS pair, EW pair
    for (const auto& s : seatings) {
        present[s.round] += (s.ns_pair != 0) + (s.ew_pair != 0);
        sitting_out[s.round] += (s.ns_pair == 0) + (s.ew_pair == 0);
        EXPECT_GE(s.low_board, 1);
        EXPECT_EQ(s.high_board - s.low_board, 2);
        if (kind == MovementKind::Mitchell && s.ew_pair != 0) {
            EXPECT_TRUE(met.insert({s.ns_pair, s.ew_pair}).second) << "NS " << s.ns_pair << " meets EW " << s.ew_pair
                                                                    << " twice";
        }
    }
    for (int r = 1; r <= rounds; ++r) {
        EXPECT_EQ(present[r], odd ? pairs - 1 : pairs) << "round " << r;
        EXPECT_EQ(sitting_out[r], odd ? 1 : 0) << "round " << r;
    }
}

TEST(Movement, MitchellIsSoundForEverySize) {
    for (int tables = 1; tables <= 16; ++tables)
        for (bool odd : {false, true}) {
            if (odd && tables == 1) continue;
            expect_sound(MovementKind::Mitchell, tables, event::max_rounds(MovementKind::Mitchell, tables), odd);
            expect_sound(MovementKind::Mitchell, tables, std::max(1, tables / 2), odd);
        }
}

TEST(Movement, HowellIsSoundForSmallSections) {
    for (int tables = 2; tables <= event::kMaxHowellTables; ++tables)
        for (bool odd : {false, true}) {
            expect_sound(MovementKind::Howell, tables, event::max_rounds(MovementKind::Howell, tables), odd);
            expect_sound(MovementKind::Howell, tables, tables, odd);
        }
}

TEST(Movement, HowellPairsMeetEveryOtherPairOnce) {
    const auto seatings = event::make_movement({MovementKind::Howell, 5, 9, 2, false});
    std::set<std::pair<int, int>> met;
    for (const auto& s : seatings) met.insert({std::min(s.ns_pair, s.ew_pair), std::max(s.ns_pair, s.ew_pair)});
    EXPECT_EQ(met.size(), 45u);  // 10 pairs, every one of the 45 matches
}

TEST(Movement, RefusesWhatCannotBePlayed) {
    EXPECT_THROW(event::make_movement({MovementKind::Mitchell, 8, 8, 3, false}), std::invalid_argument);
    EXPECT_THROW(event::make_movement({MovementKind::Mitchell, 7, 0, 3, false}), std::invalid_argument);
    EXPECT_THROW(event::make_movement({MovementKind::Howell, 4, 8, 3, false}), std::invalid_argument);
    EXPECT_THROW(event::make_movement({MovementKind::Howell, 12, 5, 3, false}), std::invalid_argument);
    EXPECT_THROW(event::make_movement({MovementKind::Mitchell, 7, 7, 0, false}), std::invalid_argument);
}

enum class DateStyle { Iso, Mdbtools };  // "2026-12-06 18:16:25" / "12/06/26 18:16:25"

// A value as text the way the readers print it.
std::string as_text(const jet::Value& v, DateStyle style) {
    if (v.is_null()) return "";
    if (v.kind() == jet::ValueKind::Boolean) return v.as_bool() ? "1" : "0";
    if (v.kind() == jet::ValueKind::DateTime) {
        const std::string iso = jet::iso_text(v.as_date());
        if (style == DateStyle::Iso) return iso.substr(0, 10) + " " + iso.substr(11);
        return iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(2, 2) + " " + iso.substr(11);
    }
    return jet::to_text(v);
}

std::vector<TextRow> our_rows(const std::string& file, const std::string& table, DateStyle style = DateStyle::Iso) {
    auto db = jet::Database::open(file);
    const jet::TableDef def = *db->table_def(table);
    std::vector<TextRow> out;
    db->scan(def, [&](jet::RowId, const std::vector<jet::Value>& row) {
        TextRow text;
        for (std::size_t i = 0; i < def.columns.size(); ++i) text[def.columns[i].name] = as_text(row[i], style);
        out.push_back(std::move(text));
        return true;
    });
    return out;
}

// mdb-reader's tables, its date texts ("2026-12-06T18:16:25") printed as our rows print them.
std::map<std::string, std::vector<TextRow>> mdb_reader_tables_iso(const std::string& file) {
    auto tables = mdb_reader_tables(file);
    for (auto& [name, rows] : tables)
        for (auto& row : rows)
            for (auto& [column, text] : row)
                if (text.size() == 19 && text[10] == 'T') text[10] = ' ';
    return tables;
}

void expect_readers_agree(const std::string& file, const std::vector<std::string>& tables) {
    auto node = mdb_reader_tables_iso(file);
    for (const auto& table : tables) {
        SCOPED_TRACE(file + " " + table);
        EXPECT_EQ(mdb_export(file, table), our_rows(file, table, DateStyle::Mdbtools));
        EXPECT_EQ(node[table], our_rows(file, table));
    }
    expect_tlw_check_passes(file);
}

const std::vector<std::string> kEventTables = {"Section", "Tables", "PlayerNumbers", "RoundData", "Settings",
                                               "ReceivedData"};

class NewEvent : public ::testing::TestWithParam<jet::FileVersion> {
protected:
    fs::path dir = fresh_dir(std::string("new_event_") + (GetParam() == jet::FileVersion::Jet3 ? "Jet3_" : "Jet4_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_P(NewEvent, EveryReaderSeesTheSameEvent) {
    event::EventRequest r;
    r.sections = 2;
    r.movement = {MovementKind::Mitchell, 8, 7, 3, true};
    r.version = GetParam();
    r.member_numbers = false;
    r.auto_shutdown = true;
    const std::string file = dir / "event.tlw";
    event::build_event(file, r);
    expect_readers_agree(file, kEventTables);

    auto db = jet::Database::open(file);
    EXPECT_EQ(db->count_rows(*db->table_def("RoundData")), 2u * 8 * 7);
    EXPECT_EQ(db->count_rows(*db->table_def("PlayerNumbers")), 2u * 8 * 4);
    EXPECT_EQ(db->count_rows(*db->table_def("ReceivedData")), 0u);
    const auto settings = our_rows(file, "Settings");
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].at("MemberNumbers"), "0");
    EXPECT_EQ(settings[0].at("AutoShutdownTPC"), "1");
    const auto sections = our_rows(file, "Section");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[1].at("Letter"), "B");
    EXPECT_EQ(sections[1].at("Label"), "Main room");  // a DefaultValue applied on append

    // The columns a scoring program uses for results accept what the simulator writes.
    const ProcessResult added = run_process(
        {TLW_PATH, "sql", file,
         "INSERT INTO ReceivedData (Section, [Table], Round, Board, PairNS, PairEW, Contract, Result, LeadCard, Remarks) "
         "VALUES (1, 2, 1, 4, 2, 1, '3NT', '', '', '')"});
    EXPECT_EQ(added.exit_code, 0) << added.out << added.err;
    const auto received = our_rows(file, "ReceivedData");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].at("ID"), "1");
    EXPECT_EQ(received[0].at("Source"), "terminal");
    EXPECT_EQ(received[0].at("Score"), "0");
    expect_readers_agree(file, {"ReceivedData"});
}

TEST_P(NewEvent, MemberNamesKeepApostrophesAndAccents) {
    const std::string file = dir / "TLPlayerDB.mdb";
    event::build_member_database(file, 120, GetParam());
    expect_readers_agree(file, {"PlayerNameDatabase"});
    const auto rows = our_rows(file, "PlayerNameDatabase");
    ASSERT_EQ(rows.size(), 120u);
    EXPECT_EQ(rows.front().at("ID"), "1001");
    std::set<std::string> names;
    bool apostrophe = false, accent = false;
    for (const auto& r : rows) {
        names.insert(r.at("Name"));
        apostrophe |= r.at("Name").find('\'') != std::string::npos;
        accent |= std::any_of(r.at("Name").begin(), r.at("Name").end(), [](char c) { return (c & 0x80) != 0; });
    }
    EXPECT_TRUE(apostrophe);
    EXPECT_TRUE(accent);
    EXPECT_GT(names.size(), 100u);
}

INSTANTIATE_TEST_SUITE_P(Formats, NewEvent, ::testing::Values(jet::FileVersion::Jet4, jet::FileVersion::Jet3),
                         [](const auto& p) { return p.param == jet::FileVersion::Jet3 ? "Jet3" : "Jet4"; });

TEST(NewEventCommand, MakesASmallClubEveningByDefault) {
    const fs::path dir = fresh_dir("new_event_command");
    const std::string file = dir / "club.tlw";
    const ProcessResult made = run_process({TLW_PATH, "new-event", file, "--members-db", dir / "members.mdb"});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    auto db = jet::Database::open(file);
    EXPECT_EQ(db->format().version, jet::Version::Jet4);
    EXPECT_EQ(db->count_rows(*db->table_def("Tables")), 7u);
    EXPECT_EQ(db->count_rows(*db->table_def("RoundData")), 49u);
    auto members = jet::Database::open(dir / "members.mdb");
    EXPECT_EQ(members->count_rows(*members->table_def("PlayerNameDatabase")), 200u);

    const ProcessResult again = run_process({TLW_PATH, "new-event", file});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_NE(again.err.find("3204"), std::string::npos) << again.err;
    const ProcessResult forced = run_process({TLW_PATH, "new-event", file, "--force", "--jet3", "--movement", "howell",
                                              "--tables", "4", "--rounds", "7", "--odd-pairs"});
    EXPECT_EQ(forced.exit_code, 0) << forced.err;
    EXPECT_EQ(jet::Database::open(file)->format().version, jet::Version::Jet3);
    // An Access 2010 file under the name given; how it reads is creator_test's.
    ASSERT_EQ(run_process({TLW_PATH, "new-event", file, "--force", "--format", "ace2010"}).exit_code, 0);
    EXPECT_EQ(jet::Database::open(file)->version(), 3);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--sections", "27"},
                                                 std::vector<std::string>{"--tables", "8", "--rounds", "8"},
                                                 std::vector<std::string>{"--movement", "howell", "--tables", "9"}}) {
        std::vector<std::string> argv = {TLW_PATH, "new-event", (dir / "bad.tlw").string()};
        argv.insert(argv.end(), bad.begin(), bad.end());
        const ProcessResult r = run_process(argv);
        EXPECT_EQ(r.exit_code, 1) << bad.front();
        EXPECT_FALSE(r.err.empty());
        EXPECT_FALSE(fs::exists(dir / "bad.tlw"));
    }
    EXPECT_EQ(run_process({TLW_PATH, "new-event", (dir / "bad.tlw").string(), "--format", "jet5"}).exit_code, 2)
        << "a wrong argument";
}

}  // namespace
