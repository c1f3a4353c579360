// The window as it stands after start-up: where each control is, its caption, the tab
// order, the states at start and that every caption can be read whole.
#include "ui/caption_font.h"
#include "window_support.h"

#include <QScreen>

#include <gtest/gtest.h>

namespace {

// Positions are drawn in twips; at the offscreen screen's 96 dots per inch a twip is 1/15 pixel.
TEST(WindowLayout, ControlsArePlacedInTwipsOfTheirScreenInAFixedClientArea) {
    frmGenerate form({});
    ASSERT_DOUBLE_EQ(form.screen()->logicalDotsPerInchX(), 96.0) << "the offscreen screen";
    EXPECT_EQ(form.cboWait->geometry(), QRect(48, 136, 81, 21));
    EXPECT_EQ(form.cmdResume->y(), form.cmdPause->y()) << "Resume stands beside Pause, moved onto it later";
    EXPECT_EQ(form.size(), QSize(750, 638));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    form.show();
    form.resize(1000, 900);
    EXPECT_EQ(form.size(), QSize(750, 638));
}

TEST(WindowLayout, CaptionsAndTitleFitAndAreLegible) {
    frmGenerate form({});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tallimo Pro Simulator v1.14"));
    EXPECT_EQ(form.cmdFile->text(), QStringLiteral("TL File"));
    EXPECT_EQ(form.cmdGenerate->text(), QStringLiteral("Generate data"));
    EXPECT_EQ(form.cmdPause->text(), QStringLiteral("Pause"));
    EXPECT_EQ(form.cmdResume->text(), QStringLiteral("Resume"));
    EXPECT_EQ(form.cmdStop->text(), QStringLiteral("Stop"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Interval (secs)"));
    for (QWidget* control : std::initializer_list<QWidget*>{form.cmdFile, form.cmdGenerate, form.cmdPause,
                                                            form.cmdResume, form.cmdStop, form.Label1}) {
        EXPECT_TRUE(captionFits(control, control->font())) << control->objectName().toStdString();
        EXPECT_GE(QFontInfo(control->font()).pixelSize(), 8) << "still legible";
    }
    // The label is the tightest: at the desktop's own font it would be cut off.
    EXPECT_FALSE(captionFits(form.Label1, QApplication::font()));
}

TEST(WindowLayout, StatesAndTabOrderAtStartUp) {
    frmGenerate form({});
    for (QWidget* shown : std::initializer_list<QWidget*>{form.cmdFile, form.cmdGenerate, form.cmdStop, form.Label1})
        EXPECT_FALSE(shown->isHidden()) << shown->objectName().toStdString();
    EXPECT_TRUE(form.cmdPause->isHidden() && form.cmdResume->isHidden());
    EXPECT_TRUE(form.cmdFile->isEnabled() && form.cmdStop->isEnabled());
    EXPECT_FALSE(form.cmdGenerate->isEnabled());
    EXPECT_EQ(form.lstLog->count(), 0);
    EXPECT_FALSE(form.cboWait->isEditable());
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 0);
    EXPECT_TRUE(form.run().Phase.empty());

    const QList<QWidget*> expected{form.cmdFile, form.cmdGenerate, form.lstLog, form.cmdPause,
                                   form.cmdResume, form.cmdStop, form.Label1, form.cboWait};
    QList<QWidget*> chain;
    for (QWidget* w = form.cmdFile; chain.size() < expected.size(); w = w->nextInFocusChain()) {
        if (expected.contains(w)) chain << w;
    }
    EXPECT_EQ(chain, expected) << "the tab order follows the drawing";
}

TEST(PaceList, EightItemsInTheLocalesNumberFormatWithTheFourthChosen) {
    frmGenerate form({});
    QStringList items;
    for (int i = 0; i < form.cboWait->count(); ++i) items << form.cboWait->itemText(i);
    EXPECT_EQ(items, (QStringList{"0", "0.1", "0.5", "1", "2", "3", "4", "5"}));
    EXPECT_EQ(form.cboWait->currentIndex(), 3);
    EXPECT_EQ(form.run().PaceMs.value(), 1000);
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
