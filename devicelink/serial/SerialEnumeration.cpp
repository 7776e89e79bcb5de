#include "devicelink/serial/SerialEnumeration.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <system_error>
#include <unistd.h>

namespace qnlink {

namespace fs = std::filesystem;

namespace {

fs::path rootFromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return (value != nullptr && *value != '\0') ? fs::path(value) : fs::path(fallback);
}

fs::path sysfsRoot() {
    return rootFromEnvironment("QN_SYSFS_ROOT", "/sys");
}

// First line of a small sysfs attribute, without its line end; empty when unreadable.
std::string readAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) {
        return {};
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    // Attributes are short; a long one is no attribute of a real device.
    if (line.size() > 255) {
        line.resize(255);
    }
    return line;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

struct UsbIdentity {
    std::string vendor, product, productName;
};

// Walks up from a tty's device folder to the USB device that carries it.
bool findUsbParent(const fs::path& deviceLink, const fs::path& root, UsbIdentity& out) {
    std::error_code ec;
    fs::path dir = fs::canonical(deviceLink, ec);
    if (ec) {
        return false;
    }
    const fs::path stop = fs::canonical(root, ec);
    for (int depth = 0; depth < 16 && !dir.empty() && dir != stop && dir != dir.parent_path();
         ++depth) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            out.vendor = lower(readAttribute(dir / "idVendor"));
            out.product = lower(readAttribute(dir / "idProduct"));
            out.productName = readAttribute(dir / "product");
            return true;
        }
        dir = dir.parent_path();
    }
    return false;
}

// A legacy ttyS that has no UART behind it is a phantom: the driver registers a fixed number
// of them whether or not the hardware is there.
bool isPhantomLegacyPort(const std::string& name, const fs::path& ttyDir, bool realSysfs) {
    if (name.rfind("ttyS", 0) != 0) {
        return false;
    }
    std::error_code ec;
    if (!fs::exists(ttyDir / "device" / "driver", ec)) {
        return true;
    }
    const std::string type = readAttribute(ttyDir / "type");
    if (!type.empty()) {
        return type == "0"; // PORT_UNKNOWN
    }
    if (!realSysfs) {
        return false;
    }
    const std::string device = "/dev/" + name;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return !known;
}

struct PortEntry {
    std::string base; // name without its trailing number
    long number = -1; // trailing number, -1 when there is none
    std::string text;
};

PortEntry makeEntry(const std::string& name, std::string text) {
    PortEntry e;
    std::size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) {
        --digits;
    }
    e.base = name.substr(0, digits);
    if (digits < name.size() && name.size() - digits < 9) {
        e.number = std::stol(name.substr(digits));
    }
    e.text = std::move(text);
    return e;
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

} // namespace

std::vector<std::string> listSerialPorts() {
    const fs::path root = sysfsRoot();
    const bool realSysfs = std::getenv("QN_SYSFS_ROOT") == nullptr;
    std::vector<PortEntry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(root / "class" / "tty", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const fs::path deviceLink = it->path() / "device";
        std::error_code probe;
        if (!fs::exists(deviceLink, probe)) {
            continue; // virtual terminals and other ttys without hardware
        }
        if (isPhantomLegacyPort(name, it->path(), realSysfs)) {
            continue;
        }
        std::string text = "/dev/" + name;
        UsbIdentity usb;
        if (findUsbParent(deviceLink, root, usb)) {
            if (startsWith(usb.productName, "Zem") || startsWith(usb.productName, "Vanta-8")) {
                text += " [" + usb.productName + "]";
            } else if (usb.vendor == "1c40" && usb.product == "05ac") {
                text += " [Zem Virtual COM]";
            }
        }
        entries.push_back(makeEntry(name, std::move(text)));
    }
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        if (a.base != b.base) {
            return a.base < b.base;
        }
        return a.number < b.number;
    });
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (auto& e : entries) {
        result.push_back(std::move(e.text));
    }
    return result;
}

bool cdcDriverAvailable() {
    std::error_code ec;
    if (fs::exists(sysfsRoot() / "module" / "cdc_acm", ec)) {
        return true; // loaded, or built in with parameters
    }
    utsname uts{};
    if (uname(&uts) != 0) {
        return false;
    }
    const fs::path modules = rootFromEnvironment("QN_MODULES_ROOT", "/lib/modules") / uts.release;
    for (const char* list : {"modules.builtin", "modules.dep"}) {
        std::ifstream in(modules / list);
        std::string line;
        while (std::getline(in, line)) {
            const std::string entry = line.substr(0, line.find(':'));
            const std::string file = fs::path(entry).filename().string();
            if (startsWith(file, "cdc-acm.ko") || startsWith(file, "cdc_acm.ko")) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// Whether any interface of the USB device has a driver bound. Interfaces are the sub-folders
// named "<bus>-<port>:<config>.<interface>".
bool anyInterfaceBound(const fs::path& device) {
    std::error_code ec;
    for (fs::directory_iterator sub(device, ec), end; !ec && sub != end; sub.increment(ec)) {
        const std::string name = sub->path().filename().string();
        std::error_code inner;
        if (name.find(':') != std::string::npos && fs::exists(sub->path() / "driver", inner)) {
            return true;
        }
    }
    return false;
}

} // namespace

int usbDevicesWithoutDriver(bool ftdiLibraryLoads) {
    int bits = 0;
    std::error_code ec;
    for (fs::directory_iterator it(sysfsRoot() / "bus" / "usb" / "devices", ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::path dir = it->path();
        const std::string vendor = lower(readAttribute(dir / "idVendor"));
        const std::string product = lower(readAttribute(dir / "idProduct"));
        if (vendor == "1c40" && product == "05ac" && !anyInterfaceBound(dir)) {
            bits |= 2;
        } else if (vendor == "0403" && product == "e130" && !ftdiLibraryLoads &&
                   !anyInterfaceBound(dir)) {
            // Either D2XX or the kernel's ftdi_sio (bound by our udev rule) drives the reader.
            bits |= 1;
        }
    }
    return bits;
}

} // namespace qnlink
