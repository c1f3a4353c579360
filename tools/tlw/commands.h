// The subcommands of `tlw`. Each lives in its own file and registers itself on the app with
// one add_<name>_command function; main.cpp calls them all, in the order `--help` lists them.
#pragma once

#include <CLI/CLI.hpp>

void add_info_command(CLI::App& app);     // info.cpp
void add_dump_command(CLI::App& app);     // dump.cpp
void add_sql_command(CLI::App& app);      // sql.cpp
void add_check_command(CLI::App& app);    // check.cpp
void add_new_db_command(CLI::App& app);   // new_db.cpp
void add_new_event_command(CLI::App& app);  // new_event.cpp
