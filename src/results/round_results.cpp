// Round results: one table of the current round per tick, one ReceivedData record per
// board, the table's log-off after its last playable round, rounds without playable rows
// skipped, and at the end "All Done" with automatic shutdown or waiting for more rounds.
#include "results/board_result.h"
#include "run/simulator.h"

#include <cmath>

namespace sim {

void Simulator::Results() {
    db::RecordSet& rows = round_rows();
    // Entered on a round without playable rows, the step goes straight on to the next round.
    if (!rows.at_end()) scoring().run_locked([&] { table_results(rows); });
    next_playable_round();
    if (CurRound <= MaxRound) return;

    AddToLog("All Done");
    if (AutoShutdown) {
        host_.set_pause_visible(false);
        host_.set_resume_visible(false);
        scoring().close();
        finish();
        throw ProgramEnded{};
    }
    Phase = phase::UpdateFromRound;
    AddToLog("Waiting for more rounds");
}

// One table's round: its boards, and its log-off after its last playable round.
void Simulator::table_results(db::RecordSet& rows) {
    CurSection = Integer::from_value(rows.field("section"));
    CurTable = Integer::from_value(rows.field("table"));
    AddToLog("Results for Round " + CurRound.text() + " - Section " + CurSection.text() + " - Table " +
             CurTable.text());
    const Integer low = Integer::from_value(rows.field("Lowboard"));
    const Integer high = Integer::from_value(rows.field("Highboard"));
    const Integer ns = Integer::from_value(rows.field("NSPair"));
    const Integer ew = Integer::from_value(rows.field("EWPair"));
    {
        // A table's boards reach the file together; should a draw fail, the boards before it
        // are still stored when the record set ends.
        auto received = scoring().open_recordset("ReceivedData");
        if (low > 0 && ns != 0 && ew != 0)
            for (Integer board = low; board <= high; board += 1) write_board(received, board, ns, ew);
        received.flush();
    }
    // The same test as the round advance: a table whose later rows all lack a pair has
    // nothing left to play and logs off now.
    if (!current_table_plays(" And Round > ", CurRound)) log_off_current_table();
    rows.move_next();
}

void Simulator::next_playable_round() {
    while (round_rows().at_end() && CurRound <= MaxRound) {
        CurRound += 1;
        RoundRows.reset();
        RoundRows = scoring().open_recordset("SELECT * FROM RoundData WHERE Round = " + CurRound.text() +
                                             " AND NSPair > 0 AND EWPair > 0");
    }
}

void Simulator::write_board(db::RecordSet& received, Integer board, Integer ns, Integer ew) {
    auto integer = [](Integer v) { return db::Value::integer(v.value()); };
    received.add_new();
    received.set_field("section", integer(CurSection));
    received.set_field("table", integer(CurTable));
    received.set_field("round", integer(CurRound));
    received.set_field("Board", integer(board));
    received.set_field("PairNS", integer(ns));
    received.set_field("PairEW", integer(ew));
    received.set_field("Result", db::Value::text(""));
    received.set_field("leadcard", db::Value::text(""));
    received.set_field("remarks", db::Value::text(""));
    const BoardResult result = DrawBoardResult(ns, ew, random_);
    received.set_field("Declarer", integer(result.Declarer));
    received.set_field("NS/EW", db::Value::text(result.NSEW));
    if (result.Contract != "PASS") {
        received.set_field("Result", db::Value::text(result.Result));
        received.set_field("leadcard", db::Value::text(result.leadcard));
    }
    received.set_field("Contract", db::Value::text(result.Contract));
    const double now = host_.now().days;
    const double today = std::floor(now);
    received.set_field("DateLog", db::Value::date({today}));
    received.set_field("TimeLog", db::Value::date({now - today}));
    for (const char* flag : {"Processed", "Processed1", "Processed2", "Processed3", "Processed4", "Erased"})
        received.set_field(flag, db::Value::boolean(false));
    received.hold();
    ++records_written_;
}

}  // namespace sim
