// Helpers for the window tests.
#include "window_support.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace uitest {

ScoringCopy::ScoringCopy() {
    const QString fixtures = QStringLiteral(TALLIMO_FIXTURES "/scoring/");
    for (const QString& name : {QStringLiteral("club-evening.tlw"), QStringLiteral("TLPlayerDB.mdb")}) {
        const QString copy = dir_.filePath(name);
        EXPECT_TRUE(QFile::copy(fixtures + name, copy)) << name.toStdString();
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
}

QStringList logLines(const frmGenerate& form) {
    QStringList lines;
    for (int row = 0; row < form.lstLog->count(); ++row) lines << form.lstLog->line(row);
    return lines;
}

bool waitFor(const std::function<bool()>& done, int ms) { return QTest::qWaitFor(done, ms); }

}  // namespace uitest
