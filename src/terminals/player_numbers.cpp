// Player numbers: the four seats of one table per tick get the next members of the
// member-name database (number 0 and no name once it runs out), then the round advance.
#include "run/simulator.h"

namespace sim {
namespace {

// Jet SQL text literal contents: a quote doubled, so that no name can end the literal.
std::string quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace

void Simulator::PlayerNumbers() {
    // An empty seat list ends the phase as its last group would: no seats is valid input.
    if (SeatCount == 0) {
        DoResultsNext();
        return;
    }
    const SeatEntry& entry = SeatList[StepIndex];
    CurSection = entry.Section;
    CurTable = entry.Table;
    const std::string letter = section_letter();
    if (letter.empty())
        end_with_message("Table PlayerNumbers section " + CurSection.text() + " not found in Section table");
    AddToLog("Player numbers Section " + CurSection.text() + "(" + letter + ") - Table " + CurTable.text());

    if (!MemberNames)
        throw db::JetError(db::err::ObjectNotSet, "Object variable or With block variable not set (MemberNames)");
    // The table's four seats under one lock: the statements check the table's definition once.
    scoring().run_locked([&] { seat_members(); });
    StepIndex += 4;
    if (StepIndex <= SeatCount) return;
    DoResultsNext();
}

// The next members (or none) into the current table's four seats.
void Simulator::seat_members() {
    for (const char* direction : {"N", "S", "E", "W"}) {
        std::string number = "0";
        std::string name;
        if (!MemberNames->at_end()) {
            // Member numbers are national numbers, often above 32767; a Null name is no name.
            number = std::to_string(db::to_long(MemberNames->field("id")));
            const db::Value value = MemberNames->field("Name");
            if (!value.is_null()) name = db::to_text(value);
            MemberNames->move_next();
        }
        const std::string time = db::to_text(db::Value::date(host_.now()));
        scoring().execute("UPDATE PlayerNumbers SET Name = '" + quoted(name) + "', [Number] = '" + number +
                          "', TimeLog = '" + time + "', Processed = False WHERE Section = " +
                          CurSection.text() + " And Table = " + CurTable.text() + " And Direction = \"" +
                          direction + "\"");
    }
}

}  // namespace sim
