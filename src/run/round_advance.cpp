// The round advance: after log-on (and player numbers), every table with no round left to
// play logs off, and the results start on StartRound's playable rows.
#include "run/simulator.h"

namespace sim {

void Simulator::DoResultsNext() {
    const Integer count = TableCount;
    for (Integer i = 1; i <= count; i += 1) {
        CurSection = TableList[i].Section;
        CurTable = TableList[i].Table;
        // From StartRound on, not past CurRound: after a round update or a second Generate
        // CurRound still holds the round the earlier run reached.
        if (!current_table_plays(" And Round >= ", StartRound)) log_off_current_table();
    }
    Phase = phase::Results;
    StepIndex = 1;
    CurRound = StartRound;
    RoundRows.reset();
    RoundRows = scoring().open_recordset("SELECT * FROM RoundData WHERE Round = " + StartRound.text() +
                                         " AND NSPair > 0 AND EWPair > 0");
}

// Whether the current table has a row with both pairs in a round that `comparison` (" And
// Round >= " or " And Round > ") admits beside `round`.
bool Simulator::current_table_plays(const char* comparison, Integer round) {
    return scoring().any_record("SELECT * FROM RoundData WHERE Section = " + CurSection.text() + " And Table = " +
                                CurTable.text() + comparison + round.text() + " AND NSPair > 0 AND EWPair > 0");
}

void Simulator::log_off_current_table() {
    AddToLog("Log off Section " + CurSection.text() + " - Table " + CurTable.text());
    scoring().execute("UPDATE Tables SET LogOnOff = 2 WHERE Section = " + CurSection.text() +
                      " And Table = " + CurTable.text());
}

}  // namespace sim
