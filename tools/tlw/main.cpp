// tlw: the command-line tool for Jet databases. Subcommands register themselves through
// commands.h; errors are printed as "number: description" with exit status 1, wrong arguments
// end with status 2.
#include "commands.h"

#include "jet/base/error.h"

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App app{"tlw - inspect and prepare Jet (Access) databases"};
    app.set_version_flag("--version", "tlw " TALLIMO_VERSION);
    app.require_subcommand(1);
    for (auto add : {add_info_command, add_dump_command, add_attachment_command, add_sql_command, add_check_command, add_new_db_command,
                     add_new_event_command})
        if (add) add(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {   // a command that failed, having said why
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // Wrong arguments end with status 2, as in our other programs; --help and --version with 0.
        return app.exit(e) == 0 ? 0 : 2;
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "%d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}
