// The event log: every line appended at the end and selected, the newest kept in view,
// the user free to look elsewhere until the next line, and no limit as the log grows past
// 32767 lines.
#include "window_support.h"

#include <QScrollBar>
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

TEST(EventLog, TwoHundredThousandLinesAndTheNewestInView) {
    frmGenerate form({});
    form.show();
    for (int i = 0; i < 200000; ++i) form.AddToLog(QStringLiteral("Results for Round 1 line %1").arg(i));
    QApplication::processEvents();

    EXPECT_EQ(form.lstLog->count(), 200000);
    EXPECT_EQ(form.lstLog->currentRow(), 199999);
    EXPECT_TRUE(inView(*form.lstLog, 199999));
    EXPECT_FALSE(inView(*form.lstLog, 0));
    EXPECT_EQ(form.lstLog->line(199999), QStringLiteral("Results for Round 1 line 199999"));
    EXPECT_EQ(form.lstLog->verticalScrollBar()->value(), form.lstLog->verticalScrollBar()->maximum());
    EXPECT_EQ(form.lstLog->rowAt(form.lstLog->viewport()->height() - 1), -1) << "no gap below the last line";
}

}  // namespace
