// Polling for rounds the scoring program adds: tables flagged with a round number (1 to
// 899 in "UpdateFromRound") become the run's tables, the flags are cleared, the last
// rounds re-read, and the run starts again at "Begin" without player numbers.
#include "run/simulator.h"

namespace sim {
namespace {

bool flagged(const db::Value& flag) {
    if (flag.is_null()) return false;
    const double round = db::to_double(flag);
    return round > 0 && round < 900;
}

}  // namespace

void Simulator::UpdateFromRound() {
    // Flags are read and cleared under one write lock, so that a flag the scoring program
    // writes meanwhile waits for the clearing instead of being cleared untaken.
    scoring().execute_if(
        [this] {
            auto tables = scoring().open_recordset("Tables");
            TableCount = 0;
            StartRound = 0;
            while (!tables.at_end()) {
                if (flagged(tables.field("UpdateFromRound"))) {
                    TableCount += 1;
                    TableList.redim_preserve(TableCount);
                    TableEntry& t = TableList[TableCount];
                    t.Section = Integer::from_value(tables.field("section"));
                    t.Table = Integer::from_value(tables.field("table"));
                    t.FromRound = Integer::from_value(tables.field("UpdateFromRound"));
                    if (StartRound == 0) StartRound = t.FromRound;
                    if (t.FromRound < StartRound) StartRound = t.FromRound;
                }
                tables.move_next();
            }
            return TableCount > 0;
        },
        "UPDATE Tables SET UpdateFromRound = 0");
    if (TableCount == 0) return;

    load_last_rounds();
    UseMemberNumbers = false;
    Phase = phase::Begin;
}

}  // namespace sim
