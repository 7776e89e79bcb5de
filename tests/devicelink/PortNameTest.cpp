// Port names: link kind, device, bus address and TCP port.
#include "devicelink/PortName.h"

#include <gtest/gtest.h>

using namespace qnlink;

namespace {

TEST(PortNameTest, EveryFormIsClassified) {
    struct Case {
        const char* text;
        LinkKind kind;
        const char* name;
        const char* device;
        int address;
        int tcpPort;
    };
    const Case cases[] = {
        {"COM1", LinkKind::Serial, "COM1", "/dev/ttyS0", 1, 10001},
        {"com1", LinkKind::Serial, "com1", "/dev/ttyS0", 1, 10001},
        {"\\\\.\\com1", LinkKind::Serial, "\\\\.\\com1", "/dev/ttyS0", 1, 10001},
        {"COM12", LinkKind::Serial, "COM12", "/dev/ttyS11", 1, 10001},
        {"COM3:5", LinkKind::Serial, "COM3", "/dev/ttyS2", 5, 10001},
        {"COM3:", LinkKind::Serial, "COM3:", "/dev/ttyS2:", 1, 10001},
        {"COM3:255", LinkKind::Serial, "COM3", "/dev/ttyS2", 255, 10001},
        {"COM3:256", LinkKind::Serial, "COM3:256", "/dev/ttyS2:256", 1, 10001},
        {"COM3:x", LinkKind::Serial, "COM3:x", "/dev/ttyS2:x", 1, 10001},
        {"COM4 [Zem Virtual COM]:2", LinkKind::Serial, "COM4 [Zem Virtual COM]", "/dev/ttyS3", 2,
         10001},
        {"/dev/ttyACM0 [Vanta-8 Virtual COM]:1", LinkKind::Serial,
         "/dev/ttyACM0 [Vanta-8 Virtual COM]", "/dev/ttyACM0", 1, 10001},
        {"/dev/ttyACM0 [x", LinkKind::Serial, "/dev/ttyACM0 [x", "/dev/ttyACM0 [x", 1, 10001},
        {"COM0", LinkKind::Ftdi, "COM0", "COM0", 1, 10001},
        {"COMX", LinkKind::Ftdi, "COMX", "COMX", 1, 10001},
        {"COM", LinkKind::Ftdi, "COM", "COM", 1, 10001},
        {"/dev/ttyUSB0", LinkKind::Serial, "/dev/ttyUSB0", "/dev/ttyUSB0", 1, 10001},
        {"/dev/pts/7:3", LinkKind::Serial, "/dev/pts/7", "/dev/pts/7", 3, 10001},
        // Stable names: colons, dots and maker texts belong to the device path.
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2.3:1.0-port0", LinkKind::Serial,
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2.3:1.0-port0",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2.3:1.0-port0", 1, 10001},
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0:7", LinkKind::Serial,
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0",
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0", 7, 10001},
        {"/dev/serial/by-id/usb-Maker_HID_Reader-if00:2", LinkKind::Serial,
         "/dev/serial/by-id/usb-Maker_HID_Reader-if00",
         "/dev/serial/by-id/usb-Maker_HID_Reader-if00", 2, 10001},
        {"1319A2B3", LinkKind::Ftdi, "1319A2B3", "1319A2B3", 1, 10001},
        {"FT1234:2", LinkKind::Ftdi, "FT1234", "FT1234", 2, 10001},
        {"1319-0042 HID", LinkKind::Hid, "1319-0042 HID", "1319-0042 HID", 1, 10001},
        {"1319-0042 HID:4", LinkKind::Hid, "1319-0042 HID", "1319-0042 HID", 4, 10001},
        {"192.168.1.20", LinkKind::Tcp, "192.168.1.20", "192.168.1.20", 1, 10001},
        {"192.168.1.20-2001", LinkKind::Tcp, "192.168.1.20-2001", "192.168.1.20", 1, 2001},
        {"192.168.1.20-2001:7", LinkKind::Tcp, "192.168.1.20-2001", "192.168.1.20", 7, 2001},
        {"[Lobby-2]-3000", LinkKind::Tcp, "[Lobby-2]-3000", "[Lobby-2]", 1, 3000},
        {"[Lobby]", LinkKind::Tcp, "[Lobby]", "[Lobby]", 1, 10001},
        {"[HID box]", LinkKind::Tcp, "[HID box]", "[HID box]", 1, 10001},
    };
    for (const auto& c : cases) {
        const PortName p = parsePortName(c.text);
        EXPECT_EQ(p.kind, c.kind) << c.text;
        EXPECT_EQ(p.name, c.name) << c.text;
        EXPECT_EQ(p.device, c.device) << c.text;
        EXPECT_EQ(p.busAddress, c.address) << c.text;
        EXPECT_EQ(p.tcpPort, c.tcpPort) << c.text;
    }
}

} // namespace
