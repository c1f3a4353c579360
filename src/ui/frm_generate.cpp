// The window's layout (in twips, the unit its layout was first drawn in), its start-up, the file
// dialog, the event log and the Host side of the run.
#include "ui/frm_generate.h"

#include "ui/caption_font.h"
#include "run/command_line.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>


namespace {

struct Place {
    int left, top, width, height;
};

// Pace list items, in seconds.
constexpr double pace_items[] = {0, 0.1, 0.5, 1, 2, 3, 4, 5};
constexpr int default_pace_item = 3;

}  // namespace

frmGenerate::frmGenerate(const QStringList& arguments, QWidget* parent) : QWidget(parent) {
    buildControls();
    Form_Load(arguments);
}

int frmGenerate::twips(int value) const {
    return qRound(value * screen()->logicalDotsPerInchX() / 1440.0);
}

void frmGenerate::buildControls() {
    setFixedSize(twips(11250), twips(9570));

    const auto place = [this](QWidget* control, Place p) {
        control->setGeometry(twips(p.left), twips(p.top), twips(p.width), twips(p.height));
    };
    cmdFile = new QPushButton(QStringLiteral("TL File"), this);
    place(cmdFile, {720, 360, 1215, 495});
    cmdGenerate = new QPushButton(QStringLiteral("Generate data"), this);
    place(cmdGenerate, {720, 1080, 1215, 495});
    cmdGenerate->setEnabled(false);

    lstLog = new EventLog(this);
    place(lstLog, {2160, 120, 7695, 9030});

    cmdPause = new QPushButton(QStringLiteral("Pause"), this);
    place(cmdPause, {720, 2520, 1215, 495});
    cmdPause->hide();
    cmdResume = new QPushButton(QStringLiteral("Resume"), this);
    place(cmdResume, {0, 2520, 1215, 495});
    cmdResume->hide();
    cmdStop = new QPushButton(QStringLiteral("Stop"), this);
    place(cmdStop, {720, 3240, 1215, 495});
    Label1 = new QLabel(QStringLiteral("Interval (secs)"), this);
    place(Label1, {720, 1800, 990, 195});
    cboWait = new QComboBox(this);
    place(cboWait, {720, 2040, 1215, 315});

    QWidget* const tab_order[] = {cmdFile, cmdGenerate, lstLog, cmdPause, cmdResume, cmdStop, Label1, cboWait};
    const char* const names[] = {"cmdFile", "cmdGenerate", "lstLog", "cmdPause", "cmdResume", "cmdStop", "Label1", "cboWait"};
    for (std::size_t i = 0; i < std::size(tab_order); ++i) {
        tab_order[i]->setObjectName(QLatin1String(names[i]));
        if (i > 0) setTabOrder(tab_order[i - 1], tab_order[i]);
    }

    // The log keeps the desktop's font; the narrow controls get one that their captions fit.
    lstLog->setFont(font());
    setFont(fittingCaptionFont(font(), {cmdFile, cmdGenerate, cmdPause, cmdResume, cmdStop, Label1}));

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(0);

    connect(cmdFile, &QPushButton::clicked, this, &frmGenerate::cmdFile_Click);
    connect(cmdGenerate, &QPushButton::clicked, this, [this] { run_.cmdGenerate_Click(); });
    connect(cmdPause, &QPushButton::clicked, this, [this] { run_.cmdPause_Click(); });
    connect(cmdResume, &QPushButton::clicked, this, [this] { run_.cmdResume_Click(); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { run_.cmdStop_Click(); });
    connect(cboWait, &QComboBox::currentIndexChanged, this, &frmGenerate::cboWait_Click);
    connect(Timer1, &QTimer::timeout, this, [this] { run_.Timer1_Timer(); });
}

void frmGenerate::Form_Load(const QStringList& arguments) {
    setWindowTitle(QStringLiteral("Tallimo Pro Simulator v%1.%2").arg(TALLIMO_VERSION_MAJOR).arg(TALLIMO_VERSION_MINOR));

    run_.DatabasePath = sim::GetCommandLine(arguments.join(QLatin1Char(' ')).toStdString());
    if (!run_.DatabasePath.empty()) {
        cmdFile->hide();
        cmdGenerate->setEnabled(true);
    }

    {
        const QSignalBlocker filling(cboWait);  // only the selection below is a choice of pace
        for (const double seconds : pace_items) cboWait->addItem(QLocale().toString(seconds));
    }
    cboWait->setCurrentIndex(default_pace_item);
}

void frmGenerate::cmdFile_Click() {
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Tallimo files(*.tlw)"));
    // The scoring program's own folder, on the current drive, when there is one.
    const QString initial = QDir::rootPath() + QStringLiteral("program files/Rubrica/RES2008");
    if (QFileInfo(initial).isDir()) dialog.setDirectory(initial);
    dialog.setWindowTitle(QStringLiteral("Please locate the Tallimo database"));

    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        run_.DatabasePath = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath().toStdString();
        cmdGenerate->setEnabled(true);
    } else {
        run_.DatabasePath.clear();
    }
}

// The items are written in the default locale (the system's), so they are read back in it.
void frmGenerate::cboWait_Click() {
    const double seconds = QLocale().toDouble(cboWait->currentText());
    run_.cboWait_Click(seconds);
}

void frmGenerate::AddToLog(const QString& line) { lstLog->append(line); }

void frmGenerate::add_log_line(const std::string& line) { AddToLog(QString::fromStdString(line)); }

void frmGenerate::set_timer_interval(int ms) { Timer1->setInterval(ms); }

void frmGenerate::set_timer_enabled(bool enabled) {
    if (!enabled) {
        Timer1->stop();
    } else if (!Timer1->isActive()) {  // switching on a running timer does not restart its wait
        Timer1->start();
    }
}

void frmGenerate::set_pause_visible(bool visible) { cmdPause->setVisible(visible); }

void frmGenerate::set_resume_visible(bool visible) { cmdResume->setVisible(visible); }

void frmGenerate::move_resume_to_pause() { cmdResume->move(cmdPause->x(), cmdResume->y()); }

void frmGenerate::message_box(const std::string& text, const std::string& detail) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));  // a Windows line break is one break here
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), shown, QMessageBox::Ok, this);
    box.setInformativeText(QString::fromStdString(detail));
    box.exec();
}

void frmGenerate::end_program() {
    Timer1->stop();
    emit programEnded();
}

db::DateTime frmGenerate::now() const { return db::from_civil(db::local_civil_now()); }

std::string frmGenerate::executable_folder() const {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
}

bool frmGenerate::file_exists(const std::string& path) const {
    return QFileInfo(QString::fromStdString(path)).isFile();
}

void frmGenerate::closeEvent(QCloseEvent* event) {
    run_.cmdStop_Click();
    event->accept();
}
