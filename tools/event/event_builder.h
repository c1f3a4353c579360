// Scoring databases as a scoring program prepares them before an event (sections, tables,
// seats, the movement, settings and an empty results table, with the keys and a few columns
// the simulator never touches) and member-name databases with realistic names. Built through
// the engine's creator and append path, so every file is an ordinary Jet database.
#pragma once

#include "movement.h"

#include "jet/storage/format.h"

#include <string>
#include <vector>

namespace event {

struct EventRequest {
    int sections = 1;
    MovementRequest movement;       // per section
    jet::Version version = jet::Version::Jet4;
    bool member_numbers = true;     // Settings.MemberNumbers
    bool auto_shutdown = false;     // Settings.AutoShutdownTPC
};

inline constexpr int kMaxSections = 26;

// Writes the scoring database. Throws std::invalid_argument for impossible requests (more
// than 26 sections, a movement that cannot be played) and jet::JetError from the engine
// (3204 when the file exists and `overwrite` is false).
void build_event(const std::string& path, const EventRequest& request, bool overwrite = false);

// Writes a member-name database: PlayerNameDatabase (ID Long key, Name Text, Club, Active)
// with `members` members numbered from 1001.
void build_member_database(const std::string& path, int members, jet::Version version, bool overwrite = false);

// Member names, varied and deterministic: first and last names from several countries, some
// with an apostrophe (O'Brien), some with accented Latin-1 letters (Müller, Hélène).
std::vector<std::string> member_names(int count);

}  // namespace event
