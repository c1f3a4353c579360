// The run as the window drives it: its timer and buttons when Generate starts, a pace chosen
// mid-wait, Pause and Resume, Stop ending the program, and a failure shown in a message box
// with only OK before the end. When each rule takes effect in the run itself is sim's
// RunControls; the message for a missing member database is sim's Members.
#include "window_support.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A window with a copy of the club evening named on its command line.
class WindowRun : public ::testing::Test {
protected:
    WindowRun() {
        form.run().MemberDatabaseOverride = copy.members().toStdString();
        form.show();
    }
    int logOnLines() const { return int(uitest::logLines(form).filter(QStringLiteral("Log on Section")).size()); }

    uitest::ScoringCopy copy;
    frmGenerate form{{QStringLiteral("/f:[%1]").arg(copy.database())}};
    QSignalSpy ended{&form, &frmGenerate::programEnded};
};

TEST_F(WindowRun, PaceChosenMidWaitLeavesTheWaitUnderWay) {
    form.cmdGenerate->click();
    ASSERT_TRUE(uitest::waitFor([&] { return logOnLines() == 1; }, 5000));
    EXPECT_EQ(form.Timer1->interval(), 1000) << "the default pace, set after the first log-on";

    form.cboWait->setCurrentIndex(1);  // 0.1 s
    EXPECT_EQ(form.run().PaceMs.value(), 100);
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_GT(form.Timer1->remainingTime(), 500) << "the wait under way is not cut short";
}

TEST_F(WindowRun, GenerateThenPauseThenResumeGoesOnWithTheStepThatWasDue) {
    form.cboWait->setCurrentIndex(1);
    form.cmdGenerate->click();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1);
    EXPECT_EQ(form.run().Phase, "Begin");
    EXPECT_TRUE(form.cmdPause->isVisible());
    EXPECT_EQ(form.cmdResume->x(), form.cmdPause->x());
    EXPECT_TRUE(form.cmdFile->isHidden() && form.cmdGenerate->isEnabled()) << "nothing else changes";
    ASSERT_TRUE(uitest::waitFor([&] { return logOnLines() == 3; }, 5000));

    form.cmdPause->click();
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.cmdPause->isHidden());
    EXPECT_TRUE(form.cmdResume->isVisible());
    EXPECT_EQ(form.cmdResume->pos(), form.cmdPause->pos()) << "Resume shows in Pause's place";
    QTest::qWait(400);
    EXPECT_EQ(logOnLines(), 3) << "no step while paused";

    form.cmdResume->click();
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_TRUE(form.cmdPause->isVisible());
    EXPECT_TRUE(form.cmdResume->isHidden());
    ASSERT_TRUE(uitest::waitFor([&] { return logOnLines() == 4; }, 2000));
    EXPECT_EQ(uitest::logLines(form).at(3), QStringLiteral("Log on Section 1(A) - Table 4"));
}

TEST_F(WindowRun, StopEndsTheProgramAtOnce) {
    form.cmdGenerate->click();
    ASSERT_TRUE(uitest::waitFor([&] { return logOnLines() == 1; }, 5000));
    form.cmdStop->click();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(form.Timer1->isActive());
}

// The text of the next message box, which must offer only OK, and how often the program had
// ended when it was shown; OK closes it.
struct MessageBoxSeen {
    QString text;
    int endedBefore = -1;
    explicit MessageBoxSeen(QSignalSpy& ended) {
        uitest::whenModalOpens<QMessageBox>([this, &ended](QMessageBox* box) {
            text = box->text();
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            endedBefore = int(ended.count());
            box->button(QMessageBox::Ok)->click();
        });
    }
};

TEST(Failure, ErrorIsShownWithOnlyOkThenTheProgramEnds) {
    frmGenerate form({QStringLiteral("/f:[/nonexistent/club.tlw]")});
    QSignalSpy ended(&form, &frmGenerate::programEnded);
    MessageBoxSeen box(ended);
    form.cmdGenerate->click();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("3024: "))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("/nonexistent/club.tlw"))) << box.text.toStdString();
    EXPECT_EQ(box.endedBefore, 0) << "the end comes when the box is closed";
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(form.Timer1->isActive());
}

}  // namespace
