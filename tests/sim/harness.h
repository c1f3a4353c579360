// Driving the simulator in tests: a Host that records what the window would show, scratch
// folders with copies of the fixtures, the event most tests run, and reading the results back
// through a second connection as another program would.
#pragma once

#include "db/database.h"
#include "event/event_builder.h"
#include "run/simulator.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

class TestHost : public sim::Host {
public:
    std::vector<std::string> log;
    std::vector<std::string> messages;
    int interval = 0;
    bool enabled = false;
    bool pause_visible = false;
    bool resume_visible = false;
    bool resume_moved = false;
    bool ended = false;
    jet::DateTime clock = jet::from_civil({2026, 12, 6, 19, 30, 15, 0});
    std::string folder;
    // The machine's own data folders stay out of the tests.
    std::map<std::string, std::string> environment{{"XDG_DATA_DIRS", "/nonexistent"}};

    // Runs before each log line is kept: a test makes a step fail there.
    std::function<void()> before_log = [] {};

    void add_log_line(const std::string& line) override {
        before_log();
        log.push_back(line);
    }
    void set_timer_interval(int ms) override { interval = ms; }
    void set_timer_enabled(bool on) override { enabled = on; }
    void set_pause_visible(bool visible) override { pause_visible = visible; }
    void set_resume_visible(bool visible) override { resume_visible = visible; }
    void move_resume_to_pause() override { resume_moved = true; }
    std::vector<std::string> details;  // the hints beneath the messages
    void message_box(const std::string& text, const std::string& detail) override {
        messages.push_back(text);
        details.push_back(detail);
    }
    void end_program() override { ended = true; }
    jet::DateTime now() const override { return clock; }
    std::string executable_folder() const override { return folder; }
    bool file_exists(const std::string& path) const override { return std::filesystem::is_regular_file(path); }
    std::string environment_variable(const std::string& name) const override {
        const auto it = environment.find(name);
        return it == environment.end() ? "" : it->second;
    }
};

// A fresh folder for one test's files.
class ScratchDir {
public:
    std::string path() const { return dir_.string(); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    // Copies tests/fixtures/<relative> here; returns the copy's path.
    std::string copy_fixture(const std::string& relative) const {
        return testsupport::copy_fixture(relative, dir_).string();
    }

private:
    inline static int made_ = 0;
    std::filesystem::path dir_ = testsupport::fresh_dir("sim-" + std::to_string(++made_));
};

inline std::string headless_path() { return std::string(TALLIMO_BIN_DIR) + "/tallimo-sim-headless"; }

// The event most tests run, before they change it: one section of 3 tables, 2 rounds of 2
// boards, a Mitchell.
event::EventRequest small_event();

// One simulator with its test host, run tick by tick.
struct SimRun {
    TestHost host;
    sim::Simulator sim{host};

    SimRun(const std::string& database, const std::string& program_folder);
    void generate();
    // One timer tick; fails the test when the timer is off.
    void tick();
    // Ticks until the run waits for rounds or ends; returns the ticks taken.
    int run_until_waiting(int limit = 100000);
    // The log lines added by `action`.
    std::vector<std::string> lines_of(const std::function<void()>& action);
};

// A test on an event database of its own in a scratch folder, and the run on it once started.
class EventTest : public ::testing::Test {
protected:
    void build(const event::EventRequest& shape = small_event()) { event::build_event(db, shape); }
    // A new run on the database, Generate pressed.
    SimRun& start() {
        run.emplace(db, dir.path());
        run->generate();
        return *run;
    }
    ScratchDir dir;
    std::string db = dir.file("event.tlw");
    std::optional<SimRun> run;
};

// Every row of a SELECT (or table), the listed columns in order, through a connection of
// its own.
std::vector<std::vector<jet::Value>> rows(const std::string& path, const std::string& select,
                                          const std::vector<std::string>& columns);
long count(const std::string& path, const std::string& select);
long execute(const std::string& path, const std::string& sql);

}  // namespace simtest
