// What the interface dialog works on, without the widgets: the stored interface with its
// corrections, the three cached port lists, and the connection target built from them. The
// connection procedure uses it on its own, without showing the dialog.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace veltra {

class AppSettings;

enum class PortKind { Serial = 0, Usb = 1, Lan = 2 };

// Where the port lists come from. The program asks the device link; tests give fixed lists.
class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    virtual QStringList list(PortKind kind) = 0;
    // Whether the Ethernet reader of this name answers a ping.
    virtual bool ping(const QString& name) = 0;
    // Readers attached without a usable driver: bit 1 an FTDI reader, bit 2 a virtual COM reader.
    virtual int devicesWithoutDriver() = 0;
    // Whether the system's driver for USB virtual COM ports is available.
    virtual bool cdcDriverInstalled() = 0;
};

// The device link's enumeration (serial ports, USB readers, network search).
class DeviceLinkPortEnumerator : public PortEnumerator {
public:
    explicit DeviceLinkPortEnumerator(ReaderLink& link = qnLink()) : link_(link) {}

    QStringList list(PortKind kind) override;
    bool ping(const QString& name) override;
    int devicesWithoutDriver() override;
    bool cdcDriverInstalled() override;

private:
    ReaderLink& link_;
};

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
