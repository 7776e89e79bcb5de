#include "DialogLauncher.h"

// None of these dialogs is part of this build yet. Each function is where its dialog will be
// created and run; until then it shows nothing and leaves `handle` to the caller, who closes
// it.

namespace veltra::dialogs {

Outcome openConfigurationSheet(QWidget* /*parent*/, int& /*handle*/, int /*baudCode*/,
                               std::uint32_t /*features*/) {
    return Outcome::Unavailable;
}

Outcome openConfigurationReport(QWidget* /*parent*/, int& /*handle*/, int /*baudCode*/,
                                std::uint32_t /*features*/) {
    return Outcome::Unavailable;
}

Outcome openFilterDialog(QWidget* /*parent*/) {
    return Outcome::Unavailable;
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
