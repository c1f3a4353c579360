// The subcommands of `tlw`. Each lives in its own file and registers itself on the app with
// one add_<name>_command function; main.cpp calls those that are linked in (weak symbols, so
// a subcommand file can be added without touching main.cpp), in the order `--help` lists them.
#pragma once

#include <CLI/CLI.hpp>

#define TLW_COMMAND __attribute__((weak))

TLW_COMMAND void add_info_command(CLI::App& app);       // info.cpp
TLW_COMMAND void add_dump_command(CLI::App& app);       // dump.cpp
TLW_COMMAND void add_attachment_command(CLI::App& app); // attachment.cpp
TLW_COMMAND void add_sql_command(CLI::App& app);        // sql.cpp
TLW_COMMAND void add_check_command(CLI::App& app);      // check.cpp
TLW_COMMAND void add_new_db_command(CLI::App& app);     // new_db.cpp
TLW_COMMAND void add_new_event_command(CLI::App& app);  // new_event.cpp
