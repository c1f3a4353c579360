// The simulator's one window: the run controls on the left, the event log on the right,
// the step timer Timer1. It owns the run (a sim::Simulator) and is its Host; every click,
// tick and pace choice is handed to the run, and the end of the program is announced by
// programEnded() (main quits on it).
#pragma once

#include "ui/event_log.h"
#include "run/simulator.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>


class frmGenerate : public QWidget, public sim::Host {
    Q_OBJECT
public:
    // `arguments` are the program's command-line arguments after its own name.
    explicit frmGenerate(const QStringList& arguments, QWidget* parent = nullptr);

    // Twips (1/1440 inch) to pixels of the window's screen.
    int twips(int value) const;

    sim::Simulator& run() { return run_; }

    // The controls, under the names the scoring program's people know them by.
    QPushButton* cmdFile;
    QPushButton* cmdGenerate;
    EventLog* lstLog;
    QPushButton* cmdPause;
    QPushButton* cmdResume;
    QPushButton* cmdStop;
    QLabel* Label1;
    QComboBox* cboWait;
    QTimer* Timer1;

    // The event handlers.
    void Form_Load(const QStringList& arguments);
    void cmdFile_Click();
    void cboWait_Click();
    void AddToLog(const QString& line);

    // sim::Host
    void add_log_line(const std::string& line) override;
    void set_timer_interval(int ms) override;
    void set_timer_enabled(bool enabled) override;
    void set_pause_visible(bool visible) override;
    void set_resume_visible(bool visible) override;
    void move_resume_to_pause() override;
    void message_box(const std::string& text, const std::string& detail) override;
    void end_program() override;
    db::DateTime now() const override;
    std::string executable_folder() const override;
    bool file_exists(const std::string& path) const override;

signals:
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();

    sim::Simulator run_{*this};
};
