#include "station/ui/StationDlg.h"

#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltra {
namespace {

constexpr int kStrTitle = 77040;
constexpr int kStrFile = 77041;
constexpr int kStrLog = 77042;
constexpr int kStrBrowse = 77043;
constexpr int kStrProgram = 77044;
constexpr int kStrClose = 77045;
constexpr int kStrInterface = 77046;
constexpr int kStrFileFilter = 77047;
constexpr int kStrLogFilter = 77048;
constexpr int kStrReaderOk = 77049;
constexpr int kStrReaderFailed = 77050;
constexpr int kStrNoInterface = 77051;
constexpr int kStrLogNotWritten = 77032;

// The steps of one reader, for the progress bar.
constexpr int kPhaseCount = 4;

int phaseIndex(StationPhase phase) {
    switch (phase) {
    case StationPhase::Connecting:
        return 0;
    case StationPhase::CheckingModel:
        return 1;
    case StationPhase::Programming:
        return 2;
    case StationPhase::Verifying:
        return 3;
    case StationPhase::Done:
    case StationPhase::Failed:
        break;
    }
    return kPhaseCount;
}

} // namespace

StationDlg::StationDlg(ReaderLink& link, ConnectionTarget target, const FilterSettings* filters,
                       QWidget* parent)
    : QDialog(parent), link_(link), target_(std::move(target)), filters_(filters) {
    setWindowTitle(str(kStrTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    auto pathRow = [this, form](int label, QLineEdit*& edit, void (StationDlg::*browse)()) {
        auto* row = new QHBoxLayout;
        edit = new QLineEdit(this);
        auto* button = new QPushButton(str(kStrBrowse), this);
        connect(button, &QPushButton::clicked, this, browse);
        row->addWidget(edit, 1);
        row->addWidget(button);
        auto* caption = new QLabel(str(label), this);
        caption->setBuddy(edit);
        form->addRow(caption, row);
    };
    pathRow(kStrFile, fileEdit_, &StationDlg::chooseFile);
    pathRow(kStrLog, logEdit_, &StationDlg::chooseLog);
    form->addRow(new QLabel(strf(kStrInterface, target_.connectionString.c_str()), this));

    results_ = new QListWidget(this);
    layout->addWidget(results_, 1);
    status_ = new QLabel(this);
    layout->addWidget(status_);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPhaseCount);
    progress_->setValue(0);
    layout->addWidget(progress_);

    auto* buttons = new QDialogButtonBox(this);
    startButton_ = buttons->addButton(str(kStrProgram), QDialogButtonBox::AcceptRole);
    closeButton_ = buttons->addButton(str(kStrClose), QDialogButtonBox::RejectRole);
    startButton_->setDefault(true);
    connect(startButton_, &QPushButton::clicked, this, &StationDlg::start);
    connect(closeButton_, &QPushButton::clicked, this, &StationDlg::reject);
    layout->addWidget(buttons);

    connect(fileEdit_, &QLineEdit::textChanged, this, &StationDlg::updateButtons);
    connect(logEdit_, &QLineEdit::textChanged, this, &StationDlg::updateButtons);
    resize(560, 360);
    updateButtons();
}

StationDlg::~StationDlg() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void StationDlg::reject() {
    // A reader half programmed is finished first; closing waits for it.
    if (running_) {
        return;
    }
    QDialog::reject();
}

void StationDlg::chooseFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, str(kStrTitle), fileEdit_->text(), str(kStrFileFilter));
    if (path.isEmpty()) {
        return;
    }
    fileEdit_->setText(path);
    if (logEdit_->text().isEmpty()) {
        // The log beside the file by default.
        const QFileInfo info(path);
        logEdit_->setText(info.dir().filePath(info.completeBaseName() + QStringLiteral(".jsonl")));
    }
}

void StationDlg::chooseLog() {
    const QString path =
        QFileDialog::getSaveFileName(this, str(kStrTitle), logEdit_->text(), str(kStrLogFilter),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) {
        logEdit_->setText(path);
    }
}

void StationDlg::updateButtons() {
    startButton_->setEnabled(!running_ && !fileEdit_->text().trimmed().isEmpty() &&
                             !logEdit_->text().trimmed().isEmpty());
    closeButton_->setEnabled(!running_);
    fileEdit_->setEnabled(!running_);
    logEdit_->setEnabled(!running_);
}

bool StationDlg::askOnGuiThread(const std::string& question) {
    bool answer = false;
    QMetaObject::invokeMethod(
        this,
        [this, &question, &answer] {
            answer = messageBox().askYesNo(this, QString::fromStdString(question));
        },
        Qt::BlockingQueuedConnection);
    return answer;
}

void StationDlg::start() {
    if (running_) {
        return;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    if (target_.connectionString.empty()) {
        messageBox().show(this, str(kStrNoInterface), IMessageBox::Kind::Warning);
        return;
    }
    const std::string logPath = logEdit_->text().trimmed().toStdString();
    if (logPath != logPath_ || !log_.isOpen()) {
        if (!log_.open(logPath)) {
            messageBox().show(this, strf(kStrLogNotWritten, logPath.c_str(), log_.error().c_str()),
                              IMessageBox::Kind::Error);
            return;
        }
        logPath_ = logPath;
    }
    StationSettings settings;
    settings.mkrPath = fileEdit_->text().trimmed().toStdString();
    settings.baudCode = target_.baudCode;
    settings.timeoutMs = target_.timeoutMs;
    const InterfaceKind kind = target_.kind;
    settings.kindOf = [kind](const std::string&) { return kind; };
    settings.ask = [this](const std::string& q) { return askOnGuiThread(q); };
    settings.filters = filters_;
    station_ = std::make_unique<ProductionStation>(link_, std::move(settings));
    std::string error;
    if (!station_->prepare(error)) {
        messageBox().show(this, QString::fromStdString(error), IMessageBox::Kind::Error);
        return;
    }
    station_->setLog(&log_);
    QPointer<StationDlg> self(this);
    station_->onProgress([self](const std::string&, StationPhase phase, const std::string& detail) {
        QMetaObject::invokeMethod(self, [self, phase, text = QString::fromStdString(detail)] {
            if (self) {
                self->showPhase(phase, text);
            }
        });
    });
    station_->onFinished([self](const AuditRecord& record) {
        QMetaObject::invokeMethod(self, [self, record] {
            if (self) {
                self->showResult(record);
            }
        });
    });
    running_ = true;
    updateButtons();
    progress_->setValue(0);
    ProductionStation* station = station_.get();
    const std::string port = target_.connectionString;
    worker_ = std::thread([station, port] { station->programReader(port); });
}

void StationDlg::showPhase(StationPhase phase, const QString& detail) {
    progress_->setValue(phaseIndex(phase));
    QString text = QString::fromStdString(stationPhaseText(phase));
    if (!detail.isEmpty() && phase != StationPhase::Done && phase != StationPhase::Failed) {
        text += QStringLiteral(": ") + detail;
    }
    status_->setText(text);
}

void StationDlg::showResult(const AuditRecord& record) {
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = false;
    const QString reader = QString::fromStdString(
        record.model.empty() ? record.port : record.model + " (" + record.port + ")");
    auto* item = new QListWidgetItem(results_);
    if (record.ok) {
        item->setText(strf(kStrReaderOk, reader.toUtf8().constData(), record.seconds));
    } else {
        item->setText(strf(kStrReaderFailed, reader.toUtf8().constData(),
                           stationStepText(record.step).c_str(), record.message.c_str()));
        item->setForeground(Qt::red);
    }
    results_->scrollToItem(item);
    status_->setText(QString::fromStdString(
        stationPhaseText(record.ok ? StationPhase::Done : StationPhase::Failed)));
    progress_->setValue(kPhaseCount);
    updateButtons();
    startButton_->setFocus();
    emit readerFinished(record.ok);
}

} // namespace veltra
