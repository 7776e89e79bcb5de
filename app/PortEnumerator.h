// The three kinds of port list and where they come from.
#pragma once

#include <QString>
#include <QStringList>

namespace veltra {

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

} // namespace veltra
