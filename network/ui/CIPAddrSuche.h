// The IP address search ("IP-Adressen"): lists every network module that answers the
// broadcast search, the maker's readers apart from other modules (red italics), opens the LAN
// settings of a listed module and hands a chosen reader back to the interface dialog.
#pragma once

#include "config/workflow/ReaderLink.h"
#include "network/workflow/LanModuleSearch.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QListWidget;
class QPushButton;

namespace veltra {

class CIPAddrSuche : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNumberRole = Qt::UserRole + 1;
    static constexpr int kResearchDelayMs = 300;

    explicit CIPAddrSuche(ReaderLink& link, QWidget* parent = nullptr);

    // Searches, then shows the dialog; rejected at once when nothing is found and the
    // technician cancels the retry message.
    int exec() override;
    // The reader chosen on closing, empty otherwise.
    const QString& result() const { return result_; }

    // Opens the LAN settings of an entry; true when they ended with OK. Tests put their own
    // runner here; by default the LAN settings dialog is shown.
    std::function<bool(const QString& entry)> openSettings;

    QListWidget* list() const { return list_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* closeButton() const { return close_; }
    // Empties the list and searches; false when nothing was found and retry was declined.
    bool search();

private:
    void changePressed();
    void closePressed();
    void updateButtons();

    ReaderLink& link_;
    QString result_;
    QListWidget* list_;
    QPushButton* change_;
    QPushButton* close_;
};

} // namespace veltra
