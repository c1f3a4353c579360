// The simulator: the run state of one simulation (fields under the names the scoring
// program's people know), the Generate command, the timer tick with its phases, and the
// run controls. Every step writes into the scoring database at once; an error that no step
// handles reaches the tick (or Generate), which shows "number: description" and ends the
// program through the Host, so everything saved before it stays.
#pragma once

#include "db/database.h"
#include "db/types.h"
#include "results/random_source.h"
#include "run/integer.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// What the window (or the headless runner, or a test) provides to the simulator.
class Host {
public:
    virtual ~Host() = default;

    // Appends one line to the event log and selects it.
    virtual void add_log_line(const std::string& line) = 0;

    // Timer1: interval in milliseconds and on/off. The host calls Simulator::Timer1_Timer
    // once per interval while the timer is on.
    virtual void set_timer_interval(int ms) = 0;
    virtual void set_timer_enabled(bool enabled) = 0;

    // The Pause and Resume buttons: shown or hidden; and Resume moved onto Pause's place.
    virtual void set_pause_visible(bool visible) = 0;
    virtual void set_resume_visible(bool visible) = 0;
    virtual void move_resume_to_pause() = 0;

    // A message box with an OK button; returns when the user has closed it. The simulator
    // disables the timer before and calls end_program() right after. `detail`, when not
    // empty, is shown beneath the message as a hint, apart from its text.
    virtual void message_box(const std::string& text, const std::string& detail) = 0;
    // Ends the program at once. May return (a test or the headless runner records it); the
    // simulator then does nothing more: ticks and clicks are ignored from then on.
    virtual void end_program() = 0;

    // The local clock, now.
    virtual db::DateTime now() const = 0;
    // Folder of the program's executable, without a trailing separator.
    virtual std::string executable_folder() const = 0;
    // Whether an ordinary file exists at the path.
    virtual bool file_exists(const std::string& path) const = 0;
    // The process environment's variable, empty when unset.
    virtual std::string environment_variable(const std::string& name) const {
        const char* value = std::getenv(name.c_str());
        return value ? value : "";
    }
};

// The exception being handled as "number: description": the engine's errors with their own
// numbers, memory exhaustion as 7, anything else as 51. Call only inside a catch block.
std::string describe_current_exception();

// The five phases of a run, spelled once: `Phase` holds one of them, compared exactly.
namespace phase {
inline const std::string Begin = "Begin";
inline const std::string Tables = "Tables";
inline const std::string PlayerNumbers = "PlayerNumbers";
inline const std::string Results = "Results";
inline const std::string UpdateFromRound = "UpdateFromRound";
}  // namespace phase

struct SectionEntry {
    Integer Tables;
    Integer LastRound;
    std::string Id;
    std::string Letter;
};

struct TableEntry {
    Integer Section;
    Integer Table;
    Integer FromRound;
};

struct SeatEntry {
    Integer Section;
    Integer Table;
    std::string Direction;
};

class Simulator {
public:
    explicit Simulator(Host& host);
    ~Simulator();  // record sets go before the databases they read

    // ---- Run state ----
    std::string DatabasePath;
    bool UseMemberNumbers = false;
    bool AutoShutdown = false;
    std::optional<db::Database> ScoringDb;
    std::optional<db::RecordSet> RoundRows;
    Integer PaceMs;
    Integer StepIndex;
    Integer SectionCount;
    Integer TableCount;
    Integer SeatCount;
    Integer CurTable;
    Integer CurSection;
    Integer CurRound;
    Integer MaxRound;
    Integer StartRound;
    std::string Phase;
    List<SectionEntry> Sections{Integer(26)};
    List<TableEntry> TableList;
    List<SeatEntry> SeatList;
    std::optional<db::RecordSet> MemberNames;

    // ---- Events ----
    // "Generate data": loads the run from DatabasePath and starts the timer in phase "Begin".
    void cmdGenerate_Click();
    // One tick of Timer1: one step of the current phase.
    void Timer1_Timer();
    void cmdPause_Click();   // timer off, Pause hidden, Resume shown
    void cmdResume_Click();  // timer on, Pause shown, Resume hidden
    void cmdStop_Click();    // ends the program at once
    // A pace chosen in seconds (the pace list's items are 0, 0.1, 0.5, 1, 2, 3, 4, 5): PaceMs
    // becomes seconds x 1000 rounded half to even, 0 becoming 1. The timer is not touched.
    void cboWait_Click(double seconds);

    // ---- Steps (each runs inside a tick; errors propagate to the tick) ----
    void LogTablesOn();
    void PlayerNumbers();
    void DoResultsNext();
    void Results();
    void UpdateFromRound();
    void AddToLog(const std::string& line);

    // ---- Beyond the window's own controls ----
    // Draws from this seed at every Generate instead of from the clock (reproducible runs).
    std::optional<std::uint32_t> FixedSeed;
    // Where the member-name database is read; empty: "TLPlayerDB.mdb" looked for beside the
    // program (or in "C:\Tallimo Simulator\" when the program's folder begins with "C:\VB"),
    // then beside the scoring database, then in the tallimo/ folder of $XDG_DATA_HOME and of
    // each of $XDG_DATA_DIRS.
    std::string MemberDatabaseOverride;
    // The paths the member-name database is looked for at, in order, as log-on uses them.
    std::vector<std::string> member_database_paths() const;

    // True once the program has ended (Stop, a fatal message, an error, automatic shutdown).
    bool ended() const { return ended_; }
    bool timer_enabled() const { return timer_enabled_; }
    // Counters for progress displays.
    long records_written() const { return records_written_; }
    long tables_logged_on() const { return tables_logged_on_; }

private:
    struct ProgramEnded {};  // unwinds a step after the program has ended

    void handle(const std::function<void()>& event);
    void finish();
    [[noreturn]] void end_with_message(const std::string& text, const std::string& detail = "");
    void set_interval(Integer ms);
    void set_enabled(bool enabled);
    db::Database& scoring();
    db::RecordSet& round_rows();
    std::string section_letter() const;
    void load_last_rounds();
    bool current_table_plays(const char* comparison, Integer round);
    void log_off_current_table();
    void next_playable_round();
    void table_results(db::RecordSet& rows);
    void seat_members();
    void write_board(db::RecordSet& received, Integer board, Integer ns, Integer ew);

    Host& host_;
    RandomSource random_;
    std::optional<db::Database> member_db_;
    bool ended_ = false;
    bool timer_enabled_ = false;
    long records_written_ = 0;
    long tables_logged_on_ = 0;
};

}  // namespace sim
