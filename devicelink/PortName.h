// Port names: which link a name selects, the device or address it names and the reader's
// bus address.
#ifndef QNLINK_PORTNAME_H
#define QNLINK_PORTNAME_H

#include <cstdint>
#include <string>
#include <string_view>

namespace qnlink {

enum class LinkKind { Serial, Ftdi, Hid, Tcp };

struct PortName {
    LinkKind kind = LinkKind::Ftdi;
    std::string name;    // the name without the bus-address suffix
    std::string device;  // serial: the device path to open; TCP: the host part
    int tcpPort = 10001; // TCP only
    std::uint8_t busAddress = 1;
};

constexpr int kDefaultTcpPort = 10001;

// Splits off a ":<decimal>" bus address (0..255) after the last colon and classifies the rest,
// first matching rule first:
//   "/dev/..."                                serial port (also /dev/serial/by-id/..., by-path)
//   starts with "[" or holds three dots       Ethernet reader, optional "-<tcp port>"
//   contains "HID"                            USB HID reader
//   "COMn" / "\\.\COMn" (n >= 1, digits)      serial port /dev/ttyS{n-1}
//   anything else                             FTDI serial number
PortName parsePortName(std::string_view text);

// True for the names that open a serial port (COMn or a /dev/ path).
inline bool isSerialPortName(std::string_view text) {
    return parsePortName(text).kind == LinkKind::Serial;
}

} // namespace qnlink

#endif
