// Gives the configuration sheet and its pages the program's connection procedure, the stored
// interface baud rate and the configuration report.
#pragma once

class QWidget;

namespace veltra {

class AppSettings;
class PortEnumerator;

// `window` is the main window: its title shows the reader after every connection.
void installSheetServices(AppSettings& settings, PortEnumerator& ports, QWidget* window);

} // namespace veltra
