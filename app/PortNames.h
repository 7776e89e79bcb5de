// Rules on the interface names that the interface dialog lists and the settings store:
// prefixes, the connection string handed to the device link, the kinds of USB reader, the
// baud-rate code with its line format, and keeping a cached port list in step with the device
// link's current one.
#pragma once

#include <QString>
#include <QStringList>

namespace veltra {

inline constexpr const char* kUsbPrefix = "USB: ";
inline constexpr const char* kLanPrefix = "LAN: ";
inline constexpr const char* kBluetoothPrefix = "Bluetooth: ";

// The name without its "USB: ", "LAN: " or "Bluetooth: " prefix, then ":" and the bus address,
// e.g. "COM3:1" or "192.168.0.20-10001:1".
QString BuildConnectionString(const QString& name, int deviceAddress);

// A serial port name ("COMn" or "/dev/...") carrying the tag of the maker's USB virtual COM
// port after the device name.
bool IsMakerVirtualCom(const QString& name);

// A USB HID keyboard reader of one of the known product lines.
bool IsKnownHidReader(const QString& name);

// Brings `cache` in line with `fresh`: items that agree stay, from the first difference on the
// cache takes the fresh names, surplus cached items go. Returns whether the cache changed.
bool MergePortList(const QStringList& fresh, QStringList& cache);

// Names from a device-link multi-string (NUL-terminated names ended by an empty name). Never
// reads beyond `size` bytes, also when the final NUL is missing.
QStringList parseMultiString(const char* buffer, int size);

// The baud-rate code split into what the interface dialog shows.
struct LineFormat {
    int baudRate = 19200; // the code without its line-format digits
    int parity = 0;       // 0 "keine", 1 "gerade", 2 "ungerade"
    int stopBits = 1;     // 1 or 2
};

LineFormat decodeBaudCode(int code);
// Even and odd parity take precedence; two stop bits are only coded without parity.
int encodeBaudCode(int baudRate, int parity, int stopBits);

// Rates the interface dialog offers, in list order.
QStringList baudRateChoices();

} // namespace veltra
