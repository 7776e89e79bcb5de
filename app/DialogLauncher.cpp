#include "DialogLauncher.h"

#include "CFilterParameterDlg.h"
#include "CTestDlg.h"
#ifdef VELTRA_HAVE_CONFIG_SHEET
#include "CSeriellEinstellDlg.h"
#endif
#include "FilterSettings.h"

// Each function creates and runs its dialog. One whose dialog is not part of this build yet
// shows nothing, returns Outcome::Unavailable and leaves `handle` to the caller, who closes it.

namespace veltra::dialogs {

#ifdef VELTRA_HAVE_CONFIG_SHEET
Outcome openConfigurationSheet(QWidget* parent, OpenResult& reader) {
    // The sheet owns the connection from here on and closes it after reading.
    CSeriellEinstellDlg sheet(parent, reader);
    reader.handle = 0;
    return sheet.exec() == QDialog::Accepted ? Outcome::Accepted : Outcome::Rejected;
}
#else
Outcome openConfigurationSheet(QWidget* /*parent*/, OpenResult& /*reader*/) {
    return Outcome::Unavailable;
}
#endif

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

Outcome openLanSettings(QWidget* /*parent*/, const QString& /*connectionString*/,
                        QString& /*newAddress*/) {
    return Outcome::Unavailable;
}

Outcome openIpSearch(QWidget* /*parent*/, QString& /*chosen*/) {
    return Outcome::Unavailable;
}

Outcome openAboutBox(QWidget* /*parent*/) {
    return Outcome::Unavailable;
}

} // namespace veltra::dialogs
