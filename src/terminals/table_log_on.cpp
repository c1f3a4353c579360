// Table log-on: one table of TableList per tick marked logged on (LogOnOff 1) with its log
// line; after the last one, player numbers (opening the member-name database) or results.
#include "run/simulator.h"

#include <algorithm>
#include <string>
#include <vector>

namespace sim {

namespace {

std::string with_separator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        const bool windows = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
        folder += windows ? '\\' : '/';
    }
    return folder;
}

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of(path.find('/') == std::string::npos ? "\\" : "/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string places_looked_in(const std::vector<std::string>& places) {
    std::string text = "Also looked for at:";
    for (std::size_t i = 1; i < places.size(); ++i) text += "\n  " + places[i];
    return text + "\n--members PATH names another member-name database.";
}

}  // namespace

void Simulator::LogTablesOn() {
    // An empty table list ends the phase as its last entry would: no tables is valid input.
    if (TableCount > 0) {
        const TableEntry& entry = TableList[StepIndex];
        CurSection = entry.Section;
        CurTable = entry.Table;
        const std::string letter = section_letter();
        if (letter.empty())
            end_with_message("Table Tables Section " + CurSection.text() + " not found in Section table");
        AddToLog("Log on Section " + CurSection.text() + "(" + letter + ") - Table " + CurTable.text());
        scoring().execute("UPDATE Tables SET LogOnOff = 1 WHERE Section = " + CurSection.text() +
                          " And Table = " + CurTable.text());
        ++tables_logged_on_;
        StepIndex += 1;
        if (StepIndex <= TableCount) return;
    }

    StepIndex = 1;
    Phase = UseMemberNumbers ? phase::PlayerNumbers : phase::Results;
    if (Phase == phase::Results) {
        DoResultsNext();
        return;
    }

    // The message names the first place looked in: where the database belongs.
    const std::vector<std::string> places = member_database_paths();
    const auto found = std::find_if(places.begin(), places.end(), [&](const auto& p) { return host_.file_exists(p); });
    if (found == places.end())
        end_with_message("Cannot find the Tallimo database of members' names - \r\n" + places.front(),
                         places.size() == 1 ? "" : places_looked_in(places));
    const std::string& path = *found;
    MemberNames.reset();  // the old list goes before the database it reads
    member_db_ = db::Database::open(path);
    MemberNames = member_db_->open_recordset("PlayerNameDatabase");
    if (!MemberNames->at_end()) MemberNames->move_first();
}

std::vector<std::string> Simulator::member_database_paths() const {
    if (!MemberDatabaseOverride.empty()) return {MemberDatabaseOverride};
    constexpr const char* name = "TLPlayerDB.mdb";
    std::string folder = host_.executable_folder();
    if (folder.starts_with("C:\\VB")) folder = "C:\\Tallimo Simulator\\";
    std::vector<std::string> paths{with_separator(folder) + name};

    // An installed program's folder is no place for data: then the event's own folder, then
    // the desktop's data folders (XDG base directories).
    if (const std::string event = with_separator(folder_of(DatabasePath)) + name; event != paths.front() && event != name)
        paths.push_back(event);
    std::string data_home = host_.environment_variable("XDG_DATA_HOME");
    if (data_home.empty() && !host_.environment_variable("HOME").empty())
        data_home = host_.environment_variable("HOME") + "/.local/share";
    if (!data_home.empty()) paths.push_back(data_home + "/tallimo/" + name);
    std::string data_dirs = host_.environment_variable("XDG_DATA_DIRS");
    if (data_dirs.empty()) data_dirs = "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= data_dirs.size();) {
        const std::size_t end = std::min(data_dirs.find(':', start), data_dirs.size());
        if (end > start) paths.push_back(data_dirs.substr(start, end - start) + "/tallimo/" + name);
        start = end + 1;
    }
    return paths;
}

// The letter of the last section whose id reads as the number CurSection; empty if none.
std::string Simulator::section_letter() const {
    std::string letter;
    for (Integer i = 1; i <= SectionCount; i += 1) {
        const SectionEntry& s = Sections[i];
        double id = 0;
        if (!db::parse_number_text(s.Id, id)) throw db::JetError(db::err::TypeMismatch, "Type mismatch");
        if (id == CurSection.value()) letter = s.Letter;
    }
    return letter;
}

}  // namespace sim
