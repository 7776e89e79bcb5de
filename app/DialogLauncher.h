// The one place where the main window and the interface dialog open the dialogs that other parts
// of the program provide: the configuration sheet, the configuration report, the filter values,
// the LAN settings, the IP address search and the about box. While a dialog is not part of this
// build its function returns Outcome::Unavailable; the caller then ends the command as after
// "Abbrechen" and tells the user in the status bar.
#pragma once

#include <QString>

class QWidget;

namespace veltra {
class AppSettings;
class CUpdateCheck;
struct OpenResult;
} // namespace veltra

namespace veltra::dialogs {

enum class Outcome { Unavailable, Accepted, Rejected };

// The configuration sheet takes over the reader's handle (0: it works without a reader) and sets
// it to 0. With `file`, the sheet loads that configuration file after reading the reader.
Outcome openConfigurationSheet(QWidget* parent, OpenResult& reader, const QString& file = {});
// The configuration report takes over the reader's handle the same way.
Outcome openConfigurationReport(QWidget* parent, OpenResult& reader);
Outcome openFilterDialog(QWidget* parent);
// Shows the LAN settings of the reader at `connectionString`. With Accepted, `newAddress` is
// the reader's new address.
Outcome openLanSettings(QWidget* parent, const QString& connectionString, QString& newAddress);
// The search for Ethernet readers. With Accepted, `chosen` is the chosen reader's text.
Outcome openIpSearch(QWidget* parent, QString& chosen);
// The about box with the two update checks. OK and Escape store its automatic-check switch
// ("Update"/"Version"); once it has started an installer, the parent's window is closed, which
// ends the program.
Outcome openAboutBox(QWidget* parent, AppSettings& settings, CUpdateCheck& programCheck,
                     CUpdateCheck& deviceCheck);

} // namespace veltra::dialogs
