// "Serienprogrammierung": the production station in the program. The technician picks a .mkr
// file and a log file and programs the reader on the current interface; each reader's result
// (ok, or the failing step and message) is added to the list and to the log. The next reader is
// plugged in and programmed with the same button. The station runs on a thread of its own, so
// the window stays responsive and shows the reader's progress.
#pragma once

#include "config/workflow/ReaderConnector.h"
#include "station/workflow/AuditLog.h"
#include "station/workflow/ProductionStation.h"

#include <QDialog>

#include <memory>
#include <thread>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace veltra {

class FilterSettings;

class StationDlg : public QDialog {
    Q_OBJECT
public:
    StationDlg(ReaderLink& link, ConnectionTarget target, const FilterSettings* filters,
               QWidget* parent = nullptr);
    ~StationDlg() override;

    QLineEdit* fileEdit() const { return fileEdit_; }
    QLineEdit* logEdit() const { return logEdit_; }
    QPushButton* startButton() const { return startButton_; }
    QListWidget* results() const { return results_; }
    bool running() const { return worker_.joinable() && running_; }

    // Programs the reader on the interface with the chosen file (the "Programmieren" button).
    void start();

signals:
    // A reader is finished and its line is in the list.
    void readerFinished(bool ok);

protected:
    void reject() override;

private:
    void chooseFile();
    void chooseLog();
    void showPhase(StationPhase phase, const QString& detail);
    void showResult(const AuditRecord& record);
    void updateButtons();
    bool askOnGuiThread(const std::string& question);

    ReaderLink& link_;
    ConnectionTarget target_;
    const FilterSettings* filters_;
    QLineEdit* fileEdit_ = nullptr;
    QLineEdit* logEdit_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QListWidget* results_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    AuditLog log_;
    std::string logPath_;
    std::unique_ptr<ProductionStation> station_;
    std::thread worker_;
    bool running_ = false;
};

} // namespace veltra
