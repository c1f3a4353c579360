// tallimo-sim: the window, or with --headless the same run without a display (no Qt
// application is made then, so no X server is needed).
#include "frm_generate.h"
#include "headless/headless.h"

#include <QApplication>

#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--headless") == 0) return run_headless(argc, argv);

    QApplication app(argc, argv);
    frmGenerate form(app.arguments().mid(1));
    QObject::connect(&form, &frmGenerate::programEnded, &app, [] { QCoreApplication::exit(0); });
    form.show();
    return app.exec();
}
