// What the interface dialog works on, without the widgets: the stored interface with its
// corrections, the three cached port lists, and the connection target built from them. The
// connection procedure uses it on its own, without showing the dialog.
#pragma once

#include "app/PortEnumerator.h"
#include "config/workflow/ReaderConnector.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace veltra {

class AppSettings;

class PortSelection {
public:
    // Reads section "Port" and applies the corrections to the stored name: an empty name becomes
    // "COM1"; a USB or LAN entry whose device is gone becomes the first available one, or empty.
    // Corrected names are written back.
    PortSelection(AppSettings& settings, PortEnumerator& ports);

    const QString& currentName() const { return currentName_; }
    void setCurrentName(const QString& name);

    int baudCode() const { return baudCode_; }
    int timeoutMs() const { return timeoutMs_; }
    int deviceAddress() const { return deviceAddress_; }
    bool ethernetActive() const { return ethernet_; }
    void setEthernetActive(bool on) { ethernet_ = on; }
    bool hidConnection() const { return hid_; }
    bool lanConnection() const { return lan_; }

    // Refreshes one cached list from the enumerator; true when it changed.
    bool MergePortList(PortKind kind);
    const QStringList& cache(PortKind kind) const;
    void clearCache(PortKind kind);

    // The list the dialog shows: serial ports (without a leading "\\.\"), then "USB: " and each
    // USB reader, then "LAN: " and each network reader.
    QStringList listEntries() const;

    QString connectionString() const;
    ConnectionTarget target() const;

    // Stores the dialog's choice: the entry (if any), the baud-rate code (if a rate is chosen),
    // time-out, address and the Ethernet switch.
    void store(const std::optional<QString>& entry, std::optional<int> baudCode, int timeoutMs,
               int deviceAddress, bool ethernet);

private:
    AppSettings& settings_;
    PortEnumerator& ports_;
    QString currentName_;
    int baudCode_;
    int timeoutMs_;
    int deviceAddress_;
    bool ethernet_;
    bool hid_ = false;
    bool lan_ = false;
    std::array<QStringList, 3> caches_;
};

} // namespace veltra
