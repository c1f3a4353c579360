// The tick and the run controls: which step a tick runs, what the timer does after it, and
// the one place where an error that no step handled is shown and the program ended.
#include "run/simulator.h"

#include <cmath>
#include <exception>
#include <new>
#include <string>

namespace sim {

Simulator::Simulator(Host& host) : host_(host) {}

Simulator::~Simulator() {
    MemberNames.reset();
    RoundRows.reset();
}

std::string describe_current_exception() {
    try {
        throw;
    } catch (const db::JetError& e) {
        return std::to_string(e.number()) + ": " + e.description();
    } catch (const std::bad_alloc&) {
        return "7: Out of memory";
    } catch (const std::exception& e) {
        return std::string("51: Internal error (") + e.what() + ")";
    } catch (...) {
        return "51: Internal error (an unknown exception)";
    }
}

// Runs one window event. Any error that reaches here ends the program with its number and
// description; what was written before it stays in the database.
void Simulator::handle(const std::function<void()>& event) {
    if (ended_) return;
    std::string failure;
    try {
        event();
        return;
    } catch (const ProgramEnded&) {
        return;
    } catch (...) {
        failure = describe_current_exception();
    }
    try {
        end_with_message(failure);
    } catch (const ProgramEnded&) {
    }
}

void Simulator::Timer1_Timer() {
    handle([this] {
        const std::string current = Phase;  // a phase set by this tick's step acts at the next tick
        if (current == phase::Begin) {
            Phase = phase::Tables;
            StepIndex = 1;
        } else if (current == phase::Tables) {
            LogTablesOn();
            set_interval(PaceMs);
        } else if (current == phase::PlayerNumbers) {
            PlayerNumbers();
            set_interval(PaceMs);
        } else if (current == phase::Results) {
            Results();
            set_interval(PaceMs);
        } else if (current == phase::UpdateFromRound) {
            UpdateFromRound();
        }
    });
}

void Simulator::cmdPause_Click() {
    handle([this] {
        set_enabled(false);
        host_.set_pause_visible(false);
        host_.set_resume_visible(true);
    });
}

void Simulator::cmdResume_Click() {
    handle([this] {
        set_enabled(true);
        host_.set_pause_visible(true);
        host_.set_resume_visible(false);
    });
}

void Simulator::cmdStop_Click() {
    handle([this] { finish(); });
}

void Simulator::cboWait_Click(double seconds) {
    handle([this, seconds] {
        PaceMs = Integer::from_double(seconds * 1000);
        if (PaceMs == 0) PaceMs = 1;  // a zero interval would stop the timer
    });
}

void Simulator::AddToLog(const std::string& line) { host_.add_log_line(line); }

void Simulator::finish() {
    ended_ = true;
    set_enabled(false);
    host_.end_program();
}

void Simulator::end_with_message(const std::string& text, const std::string& detail) {
    set_enabled(false);  // no tick may run while the message box waits
    host_.message_box(text, detail);
    finish();
    throw ProgramEnded{};
}

void Simulator::set_interval(Integer ms) {
    host_.set_timer_interval(ms.value());
}

void Simulator::set_enabled(bool enabled) {
    timer_enabled_ = enabled;
    host_.set_timer_enabled(enabled);
}

db::Database& Simulator::scoring() {
    if (!ScoringDb) throw db::JetError(db::err::ObjectNotSet, "Object variable or With block variable not set (ScoringDb)");
    return *ScoringDb;
}

db::RecordSet& Simulator::round_rows() {
    if (!RoundRows) throw db::JetError(db::err::ObjectNotSet, "Object variable or With block variable not set (RoundRows)");
    return *RoundRows;
}

}  // namespace sim
