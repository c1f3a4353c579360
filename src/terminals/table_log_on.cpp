// Table log-on: one table of TableList per tick marked logged on (LogOnOff 1) with its log
// line; after the last one, player numbers (opening the member-name database) or results.
#include "run/simulator.h"

namespace sim {

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
    Phase = UseMemberNumbers ? "PlayerNumbers" : "Results";
    if (Phase == "Results") {
        DoResultsNext();
        return;
    }

    const std::string path = member_database_path();
    if (!host_.file_exists(path))
        end_with_message("Cannot find the Tallimo database of members' names - \r\n" + path);
    MemberNames.reset();  // the old list goes before the database it reads
    member_db_ = db::Database::open(path);
    MemberNames = member_db_->open_recordset("PlayerNameDatabase");
    if (!MemberNames->at_end()) MemberNames->move_first();
}

std::string Simulator::member_database_path() const {
    if (!MemberDatabaseOverride.empty()) return MemberDatabaseOverride;
    std::string folder = host_.executable_folder();
    if (folder.starts_with("C:\\VB")) folder = "C:\\Tallimo Simulator\\";
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        const bool windows = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
        folder += windows ? '\\' : '/';
    }
    return folder + "TLPlayerDB.mdb";
}

// The letter of the last section whose id reads as the number CurSection; empty if none.
std::string Simulator::section_letter() const {
    std::string letter;
    for (Integer i = 1; i <= SectionCount; i += 1) {
        const SectionEntry& s = Sections[i];
        double id = 0;
        if (!jet::parse_number_text(s.Id, id)) throw jet::JetError(jet::err::TypeMismatch, "Type mismatch");
        if (id == CurSection.value()) letter = s.Letter;
    }
    return letter;
}

}  // namespace sim
