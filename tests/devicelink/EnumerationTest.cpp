// Serial-port listing and driver checks against a sysfs tree built in a temporary folder.
#include "devicelink/serial/SerialEnumeration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace qnlink;
namespace fs = std::filesystem;

namespace {

class FakeSysfs {
public:
    FakeSysfs() {
        char dir[] = "/tmp/qn-sysfs.XXXXXX";
        root_ = ::mkdtemp(dir);
        ::setenv("QN_SYSFS_ROOT", root_.c_str(), 1);
        ::setenv("QN_MODULES_ROOT", (root_ / "lib-modules").c_str(), 1);
        fs::create_directories(root_ / "class" / "tty");
        fs::create_directories(root_ / "bus" / "usb" / "devices");
    }
    ~FakeSysfs() {
        ::unsetenv("QN_SYSFS_ROOT");
        ::unsetenv("QN_MODULES_ROOT");
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    void write(const fs::path& relative, const std::string& text) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << text << "\n";
    }

    // A USB device with one interface that carries a tty.
    fs::path usbDevice(const std::string& busPort, const std::string& vendor,
                       const std::string& product, const std::string& productName) {
        const fs::path dev = fs::path("devices/pci0000:00/usb1") / busPort;
        write(dev / "idVendor", vendor);
        write(dev / "idProduct", product);
        if (!productName.empty()) {
            write(dev / "product", productName);
        }
        fs::create_directory_symlink(root_ / dev, root_ / "bus/usb/devices" / busPort);
        return dev;
    }

    void usbTty(const fs::path& usbDev, const std::string& busPort, const std::string& tty,
                bool bound) {
        const fs::path iface = usbDev / (busPort + ":1.0");
        fs::create_directories(root_ / iface / "tty" / tty);
        if (bound) {
            fs::create_directories(root_ / "bus/usb/drivers/cdc_acm");
            fs::create_directory_symlink(root_ / "bus/usb/drivers/cdc_acm",
                                         root_ / iface / "driver");
        }
        fs::create_directories(root_ / "class/tty" / tty);
        fs::create_directory_symlink(root_ / iface, root_ / "class/tty" / tty / "device");
    }

    // A legacy port: with a driver and a UART type (0 = none behind it).
    void legacyTty(const std::string& tty, bool driver, const std::string& type) {
        const fs::path dev = fs::path("devices/platform/serial8250") / tty;
        fs::create_directories(root_ / dev);
        if (driver) {
            fs::create_directories(root_ / "bus/platform/drivers/serial8250");
            fs::create_directory_symlink(root_ / "bus/platform/drivers/serial8250",
                                         root_ / dev / "driver");
        }
        fs::create_directories(root_ / "class/tty" / tty);
        fs::create_directory_symlink(root_ / dev, root_ / "class/tty" / tty / "device");
        if (!type.empty()) {
            write(fs::path("class/tty") / tty / "type", type);
        }
    }

    const fs::path& root() const { return root_; }

private:
    fs::path root_;
};

TEST(EnumerationTest, SerialPortsAreListedSortedWithDescriptions) {
    FakeSysfs sys;
    sys.legacyTty("ttyS0", true, "4");
    sys.legacyTty("ttyS1", true, "0");  // phantom: no UART
    sys.legacyTty("ttyS2", false, "4"); // phantom: no driver
    sys.legacyTty("ttyS10", true, "4");
    sys.usbTty(sys.usbDevice("1-2", "1c40", "05ac", "Reader"), "1-2", "ttyACM1", true);
    sys.usbTty(sys.usbDevice("1-3", "1C40", "05AC", "Zem Virtual COM Port"), "1-3", "ttyACM0",
               true);
    sys.usbTty(sys.usbDevice("1-4", "0403", "6001", "FT232R USB UART"), "1-4", "ttyUSB0", true);
    sys.usbTty(sys.usbDevice("1-5", "0403", "6001", "Vanta-8 Virtual COM"), "1-5", "ttyUSB1", true);
    fs::create_directories(sys.root() / "class/tty/tty1"); // a virtual terminal, no device

    const std::vector<std::string> expected = {
        "/dev/ttyACM0 [Zem Virtual COM Port]",
        "/dev/ttyACM1 [Zem Virtual COM]",
        "/dev/ttyS0",
        "/dev/ttyS10",
        "/dev/ttyUSB0",
        "/dev/ttyUSB1 [Vanta-8 Virtual COM]",
    };
    EXPECT_EQ(listSerialPorts(), expected);
}

TEST(EnumerationTest, DriverChecks) {
    {
        FakeSysfs sys;
        EXPECT_FALSE(cdcDriverAvailable());
        EXPECT_EQ(usbDevicesWithoutDriver(false), 0);

        sys.usbTty(sys.usbDevice("1-1", "1c40", "05ac", ""), "1-1", "ttyACM0", true);
        sys.usbDevice("1-2", "0403", "e130", "");
        EXPECT_EQ(usbDevicesWithoutDriver(true), 0);
        EXPECT_EQ(usbDevicesWithoutDriver(false), 1);

        const fs::path unbound = sys.usbDevice("1-3", "1c40", "05ac", "");
        fs::create_directories(sys.root() / unbound / "1-3:1.0");
        fs::create_directories(sys.root() / unbound / "1-3:1.1");
        EXPECT_EQ(usbDevicesWithoutDriver(false), 3);
        EXPECT_EQ(usbDevicesWithoutDriver(true), 2);

        fs::create_directories(sys.root() / "module/cdc_acm");
        EXPECT_TRUE(cdcDriverAvailable());
    }
    {
        // Without D2XX the kernel's serial driver, bound by the udev rule, drives an FTDI reader.
        FakeSysfs sys;
        sys.usbTty(sys.usbDevice("1-2", "0403", "e130", ""), "1-2", "ttyUSB0", true);
        EXPECT_EQ(usbDevicesWithoutDriver(false), 0);
        sys.usbDevice("1-4", "0403", "E130", "");
        EXPECT_EQ(usbDevicesWithoutDriver(false), 1);
        EXPECT_EQ(usbDevicesWithoutDriver(true), 0);
    }
    {
        FakeSysfs sys;
        // Installed as a module, not loaded.
        const std::string release = [] {
            std::ifstream in("/proc/sys/kernel/osrelease");
            std::string r;
            std::getline(in, r);
            return r;
        }();
        sys.write(fs::path("lib-modules") / release / "modules.dep",
                  "kernel/drivers/usb/class/cdc-wdm.ko:\n"
                  "kernel/drivers/usb/class/cdc-acm.ko: kernel/drivers/usb/core/usbcore.ko");
        EXPECT_TRUE(cdcDriverAvailable());
    }
}

} // namespace
