// `tlw new-db FILE [--format F] [--force]`: creates an empty database (Jet 4 unless asked
// otherwise) holding only the system tables.
#include "commands.h"
#include "format_option.h"

#include "jet/creator.h"

#include <cstdio>
#include <memory>
#include <string>

void add_new_db_command(CLI::App& app) {
    struct Options {
        std::string path;
        tlw::FormatOption format;
        bool force = false;
    };
    auto o = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("new-db", "Create an empty database (Access 2000 format unless --format says otherwise).");
    cmd->add_option("FILE", o->path, "the database file to create (.mdb, .accdb, .tlw)")->required();
    o->format.add_to(*cmd);
    cmd->add_flag("--force", o->force, "replace the file when it exists");
    cmd->callback([o] {
        const jet::FileVersion version = o->format.version();
        jet::create_database(o->path, version, o->force);
        std::printf("Created %s (%s)\n", o->path.c_str(), jet::version_name(static_cast<std::uint8_t>(version)).c_str());
    });
}
