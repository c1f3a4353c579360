// The window on a 144 dpi screen: half as large again as at 96 dpi, whether Qt scales the
// whole window (device pixel ratio 1.5) or leaves the twips conversion to do it. Each case
// runs in a child ui_tests started on such a screen, since a process has one screen setup.
#include "ui/caption_font.h"
#include "support/child_process.h"
#include "window_support.h"

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

bool inChild() { return qEnvironmentVariableIsSet("UI_TESTS_AT_144_DPI"); }

void expectCaptionsFit(const frmGenerate& form) {
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             form.cmdFile, form.cmdGenerate, form.cmdPause, form.cmdResume, form.cmdStop, form.Label1}) {
        EXPECT_TRUE(captionFits(control, control->font())) << control->objectName().toStdString();
    }
}

TEST(At144Dpi, ScaledByQt) {
    if (!inChild() || qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING")) GTEST_SKIP() << "run by Dpi.WindowGrowsWithTheScreen";
    frmGenerate form({});
    EXPECT_DOUBLE_EQ(form.devicePixelRatioF(), 1.5);
    EXPECT_EQ(form.size(), QSize(750, 638));
    EXPECT_EQ(form.grab().size(), QSize(1125, 957)) << "drawn with 1.5 screen pixels to each";
    expectCaptionsFit(form);
}

TEST(At144Dpi, ScaledByTwips) {
    if (!inChild() || !qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING")) GTEST_SKIP() << "run by Dpi.WindowGrowsWithTheScreen";
    frmGenerate form({});
    EXPECT_DOUBLE_EQ(form.devicePixelRatioF(), 1.0);
    EXPECT_EQ(form.twips(1440), 144);
    EXPECT_EQ(form.size(), QSize(1125, 957));
    expectCaptionsFit(form);
}

TEST(Dpi, WindowGrowsWithTheScreen) {
    if (inChild()) GTEST_SKIP();
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(R"({"screens":[{"name":"hi","x":0,"y":0,"width":1920,"height":1200,"logicalDpi":144,"logicalBaseDpi":96,"dpr":1}]})");
    config.close();
    const uitest::ScopedEnv child("UI_TESTS_AT_144_DPI", "1");
    const uitest::ScopedEnv screen("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    const std::string self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe")).toStdString();

    const auto by_qt = testsupport::run_process({self, "--gtest_filter=At144Dpi.ScaledByQt"});
    EXPECT_EQ(by_qt.exit_code, 0) << by_qt.out;
    EXPECT_NE(by_qt.out.find("[       OK ] At144Dpi.ScaledByQt"), std::string::npos) << by_qt.out;

    const uitest::ScopedEnv unscaled("QT_ENABLE_HIGHDPI_SCALING", "0");
    const auto by_twips = testsupport::run_process({self, "--gtest_filter=At144Dpi.ScaledByTwips"});
    EXPECT_EQ(by_twips.exit_code, 0) << by_twips.out;
    EXPECT_NE(by_twips.out.find("[       OK ] At144Dpi.ScaledByTwips"), std::string::npos) << by_twips.out;
}

}  // namespace
