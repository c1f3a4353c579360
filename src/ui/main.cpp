// tallimo-sim: the window, or with --headless the same run without a display. --help,
// --version and --headless are answered before any Qt application is made, so they need
// neither a display nor a Qt platform plugin.
#include "ui/frm_generate.h"
#include "headless/headless.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr const char* help_text =
    "Plays every table terminal of a bridge event into its scoring database.\n"
    "\n"
    "Usage: tallimo-sim [/f:[PATH]] [--members PATH]\n"
    "       tallimo-sim --headless /f:[PATH] [options]   (see tallimo-sim --headless --help)\n"
    "\n"
    "  /f:[PATH]        the scoring database (the text up to the first \"]\"); without it,\n"
    "                   press \"TL File\" in the window and pick the file\n"
    "  --members PATH   the member-name database; without it TLPlayerDB.mdb is looked for\n"
    "                   beside the program, then beside the scoring database, then in\n"
    "                   $XDG_DATA_HOME/tallimo/ and the tallimo/ folder of each $XDG_DATA_DIRS\n"
    "  --headless       run without a window\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

// The window's own options, taken out of the arguments; what remains is the window's
// command line, where text around the "/f:[PATH]" switch is passed over.
struct WindowOptions {
    bool help = false;
    bool version = false;
    std::optional<std::string> members;
    const char* error = nullptr;
};

WindowOptions take_window_options(int& argc, char** argv) {
    WindowOptions options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            options.help = true;
        } else if (std::strcmp(a, "--version") == 0) {
            options.version = true;
        } else if (std::strncmp(a, "--members=", 10) == 0) {
            options.members = a + 10;
        } else if (std::strcmp(a, "--members") == 0) {
            if (i + 1 == argc) options.error = "--members needs the path of the member-name database";
            else options.members = argv[++i];
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--headless") == 0) return run_headless(argc, argv);

    const WindowOptions options = take_window_options(argc, argv);
    if (options.error) {
        std::fprintf(stderr, "%s\nRun with --help for more information.\n", options.error);
        return 2;
    }
    if (options.help) {
        std::fputs(help_text, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("Tallimo Pro Simulator v%d.%d\n", TALLIMO_VERSION_MAJOR, TALLIMO_VERSION_MINOR);
        return 0;
    }

    QApplication app(argc, argv);
    frmGenerate form(app.arguments().mid(1));
    if (options.members) form.run().MemberDatabaseOverride = *options.members;
    QObject::connect(&form, &frmGenerate::programEnded, &app, [] { QCoreApplication::exit(0); });
    form.show();
    return app.exec();
}
