// Helpers for the window tests: scratch copies of the scoring fixtures, answering the
// modal dialogs the window opens, and reading the event log back as text.
#pragma once

#include "ui/frm_generate.h"

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <optional>

namespace uitest {

// A temporary folder holding copies of the club-evening scoring database and the
// member-name database (the fixtures themselves are never written).
class ScoringCopy {
public:
    ScoringCopy();
    QString database() const { return dir_.filePath(QStringLiteral("club-evening.tlw")); }
    QString members() const { return dir_.filePath(QStringLiteral("TLPlayerDB.mdb")); }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Runs `answer` on the next modal dialog of type T once it is open; the answer must close it.
template <class T>
void whenModalOpens(std::function<void(T*)> answer) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start();
}

// Sets an environment variable, or removes it given nullopt, for the programs started while
// it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// Every line of the window's event log.
QStringList logLines(const frmGenerate& form);

// Runs the event loop until `done` holds or `ms` pass; returns whether it holds.
bool waitFor(const std::function<bool()>& done, int ms);

}  // namespace uitest
