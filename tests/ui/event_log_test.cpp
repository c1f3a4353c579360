// The event log: every line appended at the end and selected, the newest kept in view, and
// the user free to look elsewhere until the next line.
#include "window_support.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

bool inView(const EventLog& log, int row) {
    return row >= log.firstVisibleRow() && row < log.firstVisibleRow() + log.visibleRows();
}

TEST(EventLog, EachLineEmptyOrNotIsAddedAtTheEndAndSelected) {
    frmGenerate form({});
    EXPECT_EQ(form.lstLog->currentRow(), -1);
    form.AddToLog(QStringLiteral("Log on Section 1(A) - Table 1"));
    EXPECT_EQ(form.lstLog->currentRow(), 0);
    form.AddToLog(QString());
    EXPECT_EQ(uitest::logLines(form), (QStringList{"Log on Section 1(A) - Table 1", ""}));
    EXPECT_EQ(form.lstLog->currentRow(), 1);
}

TEST(EventLog, UserMayLookBackUntilTheNextLine) {
    frmGenerate form({});
    form.show();
    for (int i = 0; i < 200; ++i) form.AddToLog(QString::number(i));
    form.lstLog->setFocus();
    QTest::keyClick(form.lstLog, Qt::Key_Home);
    EXPECT_EQ(form.lstLog->currentRow(), 0);
    EXPECT_TRUE(inView(*form.lstLog, 0));
    QTest::mouseClick(form.lstLog->viewport(), Qt::LeftButton, {}, QPoint(20, form.lstLog->viewport()->height() / 2));
    const int clicked = form.lstLog->currentRow();
    EXPECT_GT(clicked, 0);
    EXPECT_EQ(form.lstLog->line(clicked), QString::number(clicked));

    form.AddToLog(QStringLiteral("200"));
    EXPECT_EQ(form.lstLog->currentRow(), 200);
    EXPECT_TRUE(inView(*form.lstLog, 200));
}

}  // namespace
