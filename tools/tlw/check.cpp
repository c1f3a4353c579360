// `tlw check FILE [--as-found]`: verifies a database and prints what it checked, table by table; exits 1
// with the list of disagreements when anything does not agree.
#include "commands.h"

#include "jet/check.h"

#include <cstdio>
#include <memory>
#include <string>

void add_check_command(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand(
        "check", "Verify a database: page types and owners, usage maps, row counts, rows, every index against its "
                 "table, autonumber counters and long values. Exit status 1 when anything disagrees.");
    auto as_found = std::make_shared<bool>(false);
    cmd->add_option("FILE", *path, "the database file (.mdb, .tlw, .accdb)")->required();
    cmd->add_flag("--as-found", *as_found,
                  "check the file as programs that know nothing of our rollback journal see it: a journal left by a "
                  "stopped writer is not undone first");
    cmd->callback([path, as_found] {
        const jet::CheckReport report = jet::check_database(*path, *as_found);
        std::printf("Checking %s\n", path->c_str());
        for (const auto& line : report.checked) std::printf("  checked  %s\n", line.c_str());
        for (const auto& line : report.notes) std::printf("  note     %s\n", line.c_str());
        if (report.ok()) {
            std::printf("All structures agree.\n");
            return;
        }
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %zu problem(s) found:\n", path->c_str(), report.problems.size());
        for (const auto& line : report.problems) std::fprintf(stderr, "  %s\n", line.c_str());
        throw CLI::RuntimeError(1);
    });
}
