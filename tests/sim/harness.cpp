// Test support for the simulator: scratch folders, runs tick by tick, reading results back.
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {

event::EventRequest small_event() {
    event::EventRequest r;
    r.movement = {event::MovementKind::Mitchell, 3, 2, 2, false};
    return r;
}

SimRun::SimRun(const std::string& database, const std::string& program_folder) {
    host.folder = program_folder;
    sim.DatabasePath = database;
    sim.FixedSeed = 1;
    sim.cboWait_Click(1);
}

void SimRun::generate() { sim.cmdGenerate_Click(); }

void SimRun::tick() {
    ASSERT_TRUE(host.enabled) << "timer is off in phase " << sim.Phase;
    sim.Timer1_Timer();
}

int SimRun::run_until_waiting(int limit) {
    int ticks = 0;
    while (!host.ended && sim.Phase != "UpdateFromRound" && ticks < limit) {
        tick();
        ++ticks;
    }
    return ticks;
}

std::vector<std::string> SimRun::lines_of(const std::function<void()>& action) {
    const std::size_t before = host.log.size();
    action();
    return {host.log.begin() + static_cast<std::ptrdiff_t>(before), host.log.end()};
}

std::vector<std::vector<jet::Value>> rows(const std::string& path, const std::string& select,
                                          const std::vector<std::string>& columns) {
    auto database = db::Database::open(path);
    auto set = database.open_recordset(select);
    std::vector<std::vector<jet::Value>> out;
    for (; !set.at_end(); set.move_next()) {
        std::vector<jet::Value> row;
        for (const auto& c : columns) row.push_back(set.field(c));
        out.push_back(std::move(row));
    }
    return out;
}

long count(const std::string& path, const std::string& select) {
    auto database = db::Database::open(path);
    auto set = database.open_recordset(select);
    long n = 0;
    for (; !set.at_end(); set.move_next()) ++n;
    return n;
}

long execute(const std::string& path, const std::string& sql) {
    auto database = db::Database::open(path);
    return database.execute(sql);
}

}  // namespace simtest
