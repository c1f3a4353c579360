// "Generate data": loads sections, tables, seats, the last round of every section and the
// two settings into the run state, and starts the timer in phase "Begin".
#include "run/simulator.h"

namespace sim {

void Simulator::cmdGenerate_Click() {
    handle([this] {
        if (FixedSeed)
            random_.seed(*FixedSeed);
        else
            random_.seed_from_clock();

        ScoringDb = db::Database::open(DatabasePath);
        db::Database& database = *ScoringDb;

        auto sections = database.open_recordset("Section");
        SectionCount = 0;
        while (!sections.at_end()) {
            SectionCount += 1;
            SectionEntry& s = Sections[SectionCount];  // a 27th section is out of range
            s.Id = db::to_text(sections.field("id"));
            s.Letter = db::to_text(sections.field("letter"));
            s.Tables = Integer::from_value(sections.field("Tables"));
            sections.move_next();
        }

        auto tables = database.open_recordset("Tables");
        TableCount = 0;
        while (!tables.at_end()) {
            TableCount += 1;
            TableList.redim_preserve(TableCount);
            TableEntry& t = TableList[TableCount];
            t.Section = Integer::from_value(tables.field("section"));
            t.Table = Integer::from_value(tables.field("table"));
            t.FromRound = 1;
            tables.move_next();
        }

        auto seats = database.open_recordset("PlayerNumbers");
        SeatCount = 0;
        while (!seats.at_end()) {
            SeatCount += 1;
            SeatList.redim_preserve(SeatCount);
            SeatEntry& s = SeatList[SeatCount];
            s.Direction = db::to_text(seats.field("direction"));
            s.Section = Integer::from_value(seats.field("section"));
            s.Table = Integer::from_value(seats.field("table"));
            seats.move_next();
        }

        StartRound = 1;
        load_last_rounds();

        // Unreadable settings keep their values: each read stands on its own.
        UseMemberNumbers = true;
        std::optional<db::RecordSet> settings;
        try {
            settings = database.open_recordset("SELECT * FROM Settings");
        } catch (const db::JetError&) {
        }
        if (settings) {
            try {
                UseMemberNumbers = db::to_bool(settings->field("MemberNumbers"));
            } catch (const db::JetError&) {
            }
            try {
                AutoShutdown = db::to_bool(settings->field("autoshutdowntpc"));
            } catch (const db::JetError&) {
            }
        }

        host_.set_pause_visible(true);
        host_.move_resume_to_pause();
        Phase = phase::Begin;
        set_interval(1);
        set_enabled(true);
    });
}

// The last round of each section is that of the last row of its table 1 as the database
// returns them (no order is asked for); MaxRound is the highest of them.
void Simulator::load_last_rounds() {
    MaxRound = 0;
    const Integer count = SectionCount;
    for (Integer i = 1; i <= count; i += 1) {
        SectionEntry& s = Sections[i];
        auto rows = scoring().open_recordset("SELECT * FROM RoundData WHERE Table = 1 AND Section = " + s.Id);
        if (rows.at_end()) {
            s.LastRound = 0;
        } else {
            rows.move_last();
            s.LastRound = Integer::from_value(rows.field("round"));
        }
        if (s.LastRound > MaxRound) MaxRound = s.LastRound;
    }
}

}  // namespace sim
