// The connection procedure every main-window command uses: open the stored interface, identify
// the reader, refuse readers the program does not configure, compute DeviceFeatures and show
// the reader in the main-window title.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <QString>

#include <cstdint>

class QWidget;

namespace veltra {

class AppSettings;
class PortEnumerator;

struct ConnectionContext {
    AppSettings& settings;
    PortEnumerator& ports;
    QWidget* window = nullptr;   // the main window: its title shows the reader; may be null
    ReaderLink& link = qnLink(); // the reader is opened and spoken to through this
};

// The program's version as the title shows it, e.g. "1.10".
QString productVersion();

// "Quarnel Veltra V1.10 <model COM3:1  FW V1.07>"; "USB:" goes before the connection string of a
// HID connection.
QString readerTitle(const ReaderIdentity& identity, const QString& connectionString, bool hid);

// Opens the stored interface. The reader's handle is > 0 (in programming mode, owned by the
// caller), or kOpenFailed, kOpenNoIdentity, kOpenUnsupported, kOpenNoReaderMode. A corrected baud
// rate is stored and announced to the user. The features are set only for an accepted reader.
OpenResult OpenConfiguredReader(const ConnectionContext& context);

// OpenConfiguredReader with the messages for refused readers (when `messages` is on). Returns
// the opened reader with the stored "Port"/"Baudrate" as its baud-rate code, or, when there is
// none, a value with handle 0 and nothing else.
OpenResult ConnectReader(const ConnectionContext& context, bool messages);

// Operating mode 2, then close; the handle becomes 0. A handle of 0 does nothing.
void CloseReader(int& handle, ReaderLink& link = qnLink());

} // namespace veltra
