#include "app/DialogLauncher.h"
#include "config/workflow/ProfileFilterSettings.h"
#include "network/ui/CIPAddrSuche.h"
#include "network/ui/CLanConfig.h"

#include "app/AppSettings.h"
#include "app/CFilterParameterDlg.h"
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/CTestDlg.h"
#include "config/workflow/FilterSettings.h"
#include "update/ui/CAboutDlg.h"

#include <QPointer>

// Each function creates and runs its dialog. One whose dialog is not part of this build yet
// shows nothing, returns Outcome::Unavailable and leaves `handle` to the caller, who closes it.

namespace veltra::dialogs {

Outcome openConfigurationSheet(QWidget* parent, OpenResult& reader, const QString& file) {
    // The sheet owns the connection from here on and closes it after reading.
    CSeriellEinstellDlg sheet(parent, reader);
    reader.handle = 0;
    sheet.setFileToLoad(file);
    return sheet.exec() == QDialog::Accepted ? Outcome::Accepted : Outcome::Rejected;
}

Outcome openConfigurationReport(QWidget* parent, OpenResult& reader) {
    CTestDlg dialog(parent, reader);
    reader.handle = 0;
    return dialog.exec() == QDialog::Accepted ? Outcome::Accepted : Outcome::Rejected;
}

Outcome openFilterDialog(QWidget* parent) {
    ProfileFilterSettings settings;
    CFilterParameterDlg dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted ? Outcome::Accepted : Outcome::Rejected;
}

Outcome openLanSettings(QWidget* parent, const QString& connectionString, QString& newAddress) {
    CLanConfig dialog(qnLink(), connectionString, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return Outcome::Rejected;
    }
    newAddress = dialog.readerName();
    return Outcome::Accepted;
}

Outcome openIpSearch(QWidget* parent, QString& chosen) {
    CIPAddrSuche dialog(qnLink(), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return Outcome::Rejected;
    }
    chosen = dialog.result();
    return Outcome::Accepted;
}

Outcome openAboutBox(QWidget* parent, AppSettings& settings, CUpdateCheck& programCheck,
                     CUpdateCheck& deviceCheck) {
    CAboutDlg dialog(programCheck, deviceCheck, settings.automaticUpdateCheck(), parent);
    QObject::connect(&dialog, &CAboutDlg::automaticCheckChosen, &dialog, [&settings](bool on) {
        settings.setAutomaticUpdateCheck(on);
        settings.sync();
    });
    QPointer<QWidget> window(parent != nullptr ? parent->window() : nullptr);
    QObject::connect(&dialog, &CAboutDlg::installerStarted, &dialog, [window] {
        if (window) {
            QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
        }
    });
    return dialog.exec() == QDialog::Accepted ? Outcome::Accepted : Outcome::Rejected;
}

} // namespace veltra::dialogs
