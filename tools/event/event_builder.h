// Scoring databases as a scoring program prepares them before an event (sections, tables,
// seats, the movement, settings and an empty results table, with the keys and a few columns
// the simulator never touches) and member-name databases with realistic names. Built through
// the engine's creator and append path, so every file is an ordinary Jet database. The tool
// `tlw new-event`, the tests and the benchmark all build their events here.
#pragma once

#include "movement.h"

#include "jet/storage/file_header.h"

#include <optional>
#include <string>
#include <vector>

namespace event {

struct EventRequest {
    int sections = 1;
    MovementRequest movement;       // per section
    jet::FileVersion version = jet::FileVersion::Jet4;
    bool member_numbers = true;     // Settings.MemberNumbers
    bool auto_shutdown = false;     // Settings.AutoShutdownTPC
    bool settings_table = true;     // false: no Settings table, as some scoring programs leave it
    bool keys = true;               // false: Section, Tables, PlayerNumbers and RoundData without
                                    // primary keys, so rows come as stored and ids may repeat
};

inline constexpr int kMaxSections = 26;

// Writes the scoring database. Throws std::invalid_argument for impossible requests (more
// than 26 sections, a movement that cannot be played) and jet::JetError from the engine
// (3204 when the file exists and `overwrite` is false).
void build_event(const std::string& path, const EventRequest& request, bool overwrite = false);

// Writes the scoring database with `seatings` in every section and `request.movement.tables`
// tables a section, refusing nothing: what build_event checks first, tests leave out to make
// files no scoring program should (a 27th section, lettered A again; sections without tables).
void write_event(const std::string& path, const EventRequest& request, const std::vector<Seating>& seatings,
                 bool overwrite = false);

// Writes a member-name database: PlayerNameDatabase (ID Long key, Name Text, Club, Active)
// with `members` members numbered from 1001.
void build_member_database(const std::string& path, int members, jet::FileVersion version, bool overwrite = false);

// A member list as a club might keep it by hand: PlayerNameDatabase (ID Double, Name Text)
// without a key, so that numbers may be fractional, beyond 32 bits or missing, and names missing.
struct Member {
    std::optional<double> id;
    std::optional<std::string> name;
};
void build_member_list(const std::string& path, const std::vector<Member>& members);

// Member names, varied and deterministic: first and last names from several countries, some
// with an apostrophe (O'Brien), some with accented Latin-1 letters (Müller, Hélène).
std::vector<std::string> member_names(int count);

}  // namespace event
