#include "DialogLauncher.h"

#include "CFilterParameterDlg.h"
#include "FilterSettings.h"

// Each function creates and runs its dialog. One whose dialog is not part of this build yet
// shows nothing, returns Outcome::Unavailable and leaves `handle` to the caller, who closes it.

namespace veltra::dialogs {

Outcome openConfigurationSheet(QWidget* /*parent*/, int& /*handle*/, int /*baudCode*/,
                               std::uint32_t /*features*/) {
    return Outcome::Unavailable;
}

Outcome openConfigurationReport(QWidget* /*parent*/, int& /*handle*/, int /*baudCode*/,
                                std::uint32_t /*features*/) {
    return Outcome::Unavailable;
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
