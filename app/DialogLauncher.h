// The one place where the main window and the interface dialog open the dialogs that other parts
// of the program provide: the configuration sheet, the configuration report, the filter values,
// the LAN settings, the IP address search and the about box. While a dialog is not part of this
// build its function returns Outcome::Unavailable; the caller then ends the command as after
// "Abbrechen" and tells the user in the status bar.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace veltra::dialogs {

enum class Outcome { Unavailable, Accepted, Rejected };

// The configuration sheet takes over `handle` (0: it works without a reader) and sets it to 0.
Outcome openConfigurationSheet(QWidget* parent, int& handle, int baudCode, std::uint32_t features);
// The configuration report takes over `handle` the same way.
Outcome openConfigurationReport(QWidget* parent, int& handle, int baudCode, std::uint32_t features);
Outcome openFilterDialog(QWidget* parent);
// Shows the LAN settings of the reader at `connectionString`. With Accepted, `newAddress` is
// the reader's new address.
Outcome openLanSettings(QWidget* parent, const QString& connectionString, QString& newAddress);
// The search for Ethernet readers. With Accepted, `chosen` is the chosen reader's text.
Outcome openIpSearch(QWidget* parent, QString& chosen);
Outcome openAboutBox(QWidget* parent);

} // namespace veltra::dialogs
