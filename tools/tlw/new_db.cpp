// `tlw new-db FILE [--jet3|--jet4] [--force]`: creates an empty database (Jet 4 unless asked
// otherwise) holding only the system tables.
#include "commands.h"

#include "jet/creator.h"

#include <cstdio>
#include <memory>
#include <string>

void add_new_db_command(CLI::App& app) {
    struct Options {
        std::string path;
        bool jet3 = false, jet4 = false, force = false;
    };
    auto o = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("new-db", "Create an empty database (Access 2000 format unless --jet3).");
    cmd->add_option("FILE", o->path, "the database file to create (.mdb, .tlw)")->required();
    auto* jet3 = cmd->add_flag("--jet3", o->jet3, "Access 97 format (Jet 3, 2 KB pages)");
    cmd->add_flag("--jet4", o->jet4, "Access 2000-2003 format (Jet 4, the default)")->excludes(jet3);
    cmd->add_flag("--force", o->force, "replace the file when it exists");
    cmd->callback([o] {
        jet::create_database(o->path, o->jet3 ? jet::Version::Jet3 : jet::Version::Jet4, o->force);
        std::printf("Created %s (%s)\n", o->path.c_str(), o->jet3 ? "Jet 3, Access 97" : "Jet 4, Access 2000");
    });
}
