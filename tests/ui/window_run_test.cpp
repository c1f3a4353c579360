// A whole club evening run through the window's own timer on a copy of a real scoring
// database, up to the run left polling for more rounds; and a picture of the window mid-run for
// anyone to see. The lines logged and the records written are the headless runner's test's.
#include "window_support.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(WholeEvent, ClubEveningFromLogOnToWaitingForMoreRounds) {
    uitest::ScoringCopy copy;
    frmGenerate form({QStringLiteral("/f:[%1]").arg(copy.database())});
    form.run().MemberDatabaseOverride = copy.members().toStdString();
    QSignalSpy ended(&form, &frmGenerate::programEnded);
    form.show();
    form.cboWait->setCurrentIndex(0);  // as fast as the timer goes
    form.cmdGenerate->click();

    // Mid-run: some tables already have results for round 1.
    ASSERT_TRUE(uitest::waitFor([&] { return form.lstLog->count() >= 40; }, 20000));
    EXPECT_TRUE(form.grab().save(QStringLiteral(WINDOW_PNG)));

    ASSERT_TRUE(uitest::waitFor([&] { return form.run().Phase == "UpdateFromRound"; }, 60000))
        << form.lstLog->count() << " lines, phase " << form.run().Phase;
    EXPECT_TRUE(form.Timer1->isActive()) << "polling for added rounds";
    EXPECT_TRUE(form.cmdPause->isVisible());
    EXPECT_EQ(ended.count(), 0);
}

}  // namespace
