// The event log: every line appended at the end and selected, the newest kept in view,
// the user free to look elsewhere until the next line, and no slowdown or limit as the
// log grows past 32767 lines.
#include "window_support.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

bool inView(const EventLog& log, int row) {
    return row >= log.firstVisibleRow() && row < log.firstVisibleRow() + log.visibleRows();
}

TEST(EventLog, FirstLineIsSelected) {
    frmGenerate form({});
    EXPECT_EQ(form.lstLog->currentRow(), -1);
    form.AddToLog(QStringLiteral("Log on Section 1(A) - Table 1"));
    EXPECT_EQ(uitest::logLines(form), QStringList{"Log on Section 1(A) - Table 1"});
    EXPECT_EQ(form.lstLog->currentRow(), 0);
}

TEST(EventLog, EmptyLineIsALineToo) {
    frmGenerate form({});
    form.AddToLog(QStringLiteral("All Done"));
    form.AddToLog(QString());
    EXPECT_EQ(uitest::logLines(form), (QStringList{"All Done", ""}));
    EXPECT_EQ(form.lstLog->currentRow(), 1);
}

TEST(EventLog, NewestLineIsScrolledIntoView) {
    frmGenerate form({});
    form.show();
    for (int i = 0; i < 500; ++i) form.AddToLog(QStringLiteral("line %1").arg(i));
    EXPECT_TRUE(inView(*form.lstLog, 499));
    EXPECT_FALSE(inView(*form.lstLog, 0));
    EXPECT_EQ(form.lstLog->verticalScrollBar()->value(), form.lstLog->verticalScrollBar()->maximum());
    EXPECT_EQ(form.lstLog->rowAt(form.lstLog->viewport()->height() - 1), -1) << "no gap below the last line";
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

TEST(EventLog, TwoHundredThousandLinesAppendAsFastAsTheFirst) {
    frmGenerate form({});
    form.show();
    const auto append_batch = [&form](int from, int lines) {
        QElapsedTimer clock;
        clock.start();
        for (int i = from; i < from + lines; ++i) form.AddToLog(QStringLiteral("Results for Round 1 line %1").arg(i));
        QApplication::processEvents();
        return clock.elapsed();
    };
    const qint64 first = append_batch(0, 10000);
    append_batch(10000, 180000);
    const qint64 last = append_batch(190000, 10000);

    EXPECT_EQ(form.lstLog->count(), 200000);
    EXPECT_EQ(form.lstLog->currentRow(), 199999);
    EXPECT_TRUE(inView(*form.lstLog, 199999));
    EXPECT_EQ(form.lstLog->line(199999), QStringLiteral("Results for Round 1 line 199999"));
    // An append that touched every earlier line would make the last batch many times slower.
    EXPECT_LT(last, 3 * first + 100) << "first 10000 lines " << first << " ms, last 10000 " << last << " ms";
}

}  // namespace
