// The window as it stands after start-up: its size in twips, the states at start, that every
// caption can be read whole, and the pace list in a locale with a decimal comma.
#include "ui/caption_font.h"
#include "window_support.h"

#include <QScreen>

#include <gtest/gtest.h>

namespace {

// Positions are drawn in twips; at the offscreen screen's 96 dots per inch a twip is 1/15 pixel.
TEST(WindowLayout, ControlsArePlacedInTwipsOfTheirScreenInAFixedClientArea) {
    frmGenerate form({});
    ASSERT_DOUBLE_EQ(form.screen()->logicalDotsPerInchX(), 96.0) << "the offscreen screen";
    EXPECT_EQ(form.cmdResume->y(), form.cmdPause->y()) << "Resume stands beside Pause, moved onto it later";
    EXPECT_EQ(form.size(), QSize(750, 638));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    form.show();
    form.resize(1000, 900);
    EXPECT_EQ(form.size(), QSize(750, 638));
}

TEST(WindowLayout, CaptionsFitAndAreLegible) {
    frmGenerate form({});
    for (QWidget* control : std::initializer_list<QWidget*>{form.cmdFile, form.cmdGenerate, form.cmdPause,
                                                            form.cmdResume, form.cmdStop, form.Label1}) {
        EXPECT_TRUE(captionFits(control, control->font())) << control->objectName().toStdString();
        EXPECT_GE(QFontInfo(control->font()).pixelSize(), 8) << "still legible";
    }
    // The label is the tightest: at the desktop's own font it would be cut off.
    EXPECT_FALSE(captionFits(form.Label1, QApplication::font()));
}

TEST(WindowLayout, StatesAtStartUp) {
    frmGenerate form({});
    for (QWidget* shown : std::initializer_list<QWidget*>{form.cmdFile, form.cmdGenerate, form.cmdStop, form.Label1})
        EXPECT_FALSE(shown->isHidden()) << shown->objectName().toStdString();
    EXPECT_TRUE(form.cmdPause->isHidden() && form.cmdResume->isHidden());
    EXPECT_TRUE(form.cmdFile->isEnabled() && form.cmdStop->isEnabled());
    EXPECT_FALSE(form.cmdGenerate->isEnabled());
    EXPECT_FALSE(form.cboWait->isEditable());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 0);
}

TEST(PaceList, DecimalCommaLocaleWritesAndReadsItsOwnSeparator) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        frmGenerate form({});
        EXPECT_EQ(form.cboWait->itemText(1), QStringLiteral("0,1"));
        EXPECT_EQ(form.cboWait->itemText(2), QStringLiteral("0,5"));
        form.cboWait->setCurrentIndex(2);
        EXPECT_EQ(form.run().PaceMs.value(), 500);
    }
    QLocale::setDefault(before);
}

}  // namespace
