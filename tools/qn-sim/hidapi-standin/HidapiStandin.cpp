// A stand-in for hidapi: the hidapi entry points the device link uses, with the hid_device_info
// layout of hidapi 0.13, reaching simulated HID readers (qn-sim --hid) instead of hidraw
// nodes. The environment variable QN_SIM_HID_SOCKETS lists the simulators' socket paths,
// separated by colons; each simulator that answers is one present device. Built twice: with
// hid_get_report_descriptor (as hidapi 0.14 has it) and without (as Debian 12's hidapi 0.13).
//
// Like hidapi on hidraw: hid_write takes the report ID first and returns once the device took
// the report; hid_read_timeout returns one input report without its report ID and blocks in
// poll() until one comes or the time is up; a device that went away makes both fail with -1.
// A device path that names an existing file must be openable for reading and writing, as
// hidapi opens the hidraw node; QN_HIDAPI_STANDIN_FAIL_OPEN names a path whose open fails
// whatever the file allows.
#include "tools/qn-sim/HidWire.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

// The types and entry points as the system's hidapi declares them, so the stand-in keeps the
// layout the device link expects from the real library.
#include <hidapi/hidapi.h>

namespace {

namespace wire = qnsim::hidwire;

// How long a simulator may take to answer a description or a write.
constexpr int kAnswerTimeoutMs = 2000;

struct Description {
    std::string socket;
    unsigned short vendor = 0;
    unsigned short product = 0;
    unsigned short usagePage = 0;
    unsigned short usage = 0;
    std::string path;
    std::optional<std::wstring> serial;
    std::vector<unsigned char> descriptor;
};

std::vector<std::string> socketPaths() {
    std::vector<std::string> paths;
    const char* list = std::getenv("QN_SIM_HID_SOCKETS");
    if (list == nullptr) {
        return paths;
    }
    std::string item;
    std::istringstream in(list);
    while (std::getline(in, item, ':')) {
        if (!item.empty()) {
            paths.push_back(item);
        }
    }
    return paths;
}

int connectTo(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        return -1;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One packet, waiting up to timeoutMs (-1: no limit). Empty with `gone` set when the peer
// closed or failed; empty without it on a timeout.
std::vector<unsigned char> receive(int fd, int timeoutMs, bool* gone) {
    *gone = false;
    pollfd p{fd, POLLIN, 0};
    int rc = 0;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        *gone = true;
        return {};
    }
    if (rc == 0) {
        return {};
    }
    std::vector<unsigned char> packet(wire::kMaxPacket);
    const ssize_t n = ::recv(fd, packet.data(), packet.size(), 0);
    if (n <= 0) {
        *gone = true;
        return {};
    }
    packet.resize(static_cast<std::size_t>(n));
    return packet;
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        unsigned long code = extra == 0 ? c : (c & (0x3F >> extra));
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i) {
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        out += static_cast<wchar_t>(code);
    }
    return out;
}

std::optional<Description> describe(const std::string& socketPath) {
    const int fd = connectTo(socketPath);
    if (fd < 0) {
        return std::nullopt;
    }
    const char request = wire::kDescribe;
    bool gone = false;
    std::vector<unsigned char> answer;
    if (::send(fd, &request, 1, MSG_NOSIGNAL) == 1) {
        answer = receive(fd, kAnswerTimeoutMs, &gone);
    }
    ::close(fd);
    if (answer.empty() || answer[0] != static_cast<unsigned char>(wire::kDescribe)) {
        return std::nullopt;
    }
    std::istringstream in(std::string(answer.begin() + 1, answer.end()));
    Description d;
    d.socket = socketPath;
    std::string ids;
    std::string usages;
    std::string serial;
    std::string descriptor;
    if (!std::getline(in, ids) || !std::getline(in, usages) || !std::getline(in, d.path) ||
        !std::getline(in, serial) || serial.empty()) {
        return std::nullopt;
    }
    std::getline(in, descriptor);
    unsigned v = 0;
    unsigned p = 0;
    unsigned page = 0;
    unsigned usage = 0;
    if (std::sscanf(ids.c_str(), "%x %x", &v, &p) != 2 ||
        std::sscanf(usages.c_str(), "%x %x", &page, &usage) != 2) {
        return std::nullopt;
    }
    d.vendor = static_cast<unsigned short>(v);
    d.product = static_cast<unsigned short>(p);
    d.usagePage = static_cast<unsigned short>(page);
    d.usage = static_cast<unsigned short>(usage);
    if (serial[0] == 'S') {
        d.serial = fromUtf8(serial.substr(1));
    }
    for (std::size_t i = 0; i + 1 < descriptor.size(); i += 2) {
        d.descriptor.push_back(
            static_cast<unsigned char>(std::stoi(descriptor.substr(i, 2), nullptr, 16)));
    }
    return d;
}

wchar_t* copyWide(const std::wstring& text) {
    auto* out = new wchar_t[text.size() + 1];
    std::wmemcpy(out, text.c_str(), text.size() + 1);
    return out;
}

} // namespace

struct hid_device_ {
    int fd = -1;
    Description description;
    std::deque<std::vector<unsigned char>> reports; // input reports, report ID first
};

STANDIN_EXPORT int hid_init(void) {
    return 0;
}

STANDIN_EXPORT int hid_exit(void) {
    return 0;
}

STANDIN_EXPORT hid_device_info* hid_enumerate(unsigned short vendor, unsigned short product) {
    hid_device_info* first = nullptr;
    hid_device_info** tail = &first;
    for (const std::string& socketPath : socketPaths()) {
        const auto d = describe(socketPath);
        if (!d || (vendor != 0 && d->vendor != vendor) || (product != 0 && d->product != product)) {
            continue;
        }
        auto* info = new hid_device_info{};
        info->path = ::strdup(d->path.c_str());
        info->vendor_id = d->vendor;
        info->product_id = d->product;
        // hidapi on hidraw gives an empty string for a device without serial number.
        info->serial_number = copyWide(d->serial.value_or(std::wstring()));
        info->manufacturer_string = copyWide(L"Zem Applikationen (simulated)");
        info->product_string = copyWide(L"qn-sim HID reader");
        info->usage_page = d->usagePage;
        info->usage = d->usage;
        info->interface_number = 0;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
    }
    return first;
}

STANDIN_EXPORT void hid_free_enumeration(hid_device_info* devices) {
    while (devices != nullptr) {
        hid_device_info* next = devices->next;
        std::free(devices->path);
        delete[] devices->serial_number;
        delete[] devices->manufacturer_string;
        delete[] devices->product_string;
        delete devices;
        devices = next;
    }
}

STANDIN_EXPORT hid_device* hid_open_path(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    for (const std::string& socketPath : socketPaths()) {
        auto d = describe(socketPath);
        if (!d || d->path != path) {
            continue;
        }
        const char* failing = std::getenv("QN_HIDAPI_STANDIN_FAIL_OPEN");
        if (failing != nullptr && d->path == failing) {
            return nullptr;
        }
        struct stat st {};
        if (::stat(path, &st) == 0) {
            const int node = ::open(path, O_RDWR | O_CLOEXEC);
            if (node < 0) {
                return nullptr; // errno stays as open() left it, as with hidapi
            }
            ::close(node);
        }
        const int fd = connectTo(socketPath);
        if (fd < 0) {
            return nullptr;
        }
        auto* device = new hid_device_;
        device->fd = fd;
        device->description = std::move(*d);
        return device;
    }
    errno = ENOENT;
    return nullptr;
}

STANDIN_EXPORT void hid_close(hid_device* device) {
    if (device != nullptr) {
        ::close(device->fd);
        delete device;
    }
}

STANDIN_EXPORT int hid_write(hid_device* device, const unsigned char* data, size_t length) {
    if (device == nullptr || data == nullptr || length == 0) {
        return -1;
    }
    std::vector<unsigned char> packet;
    packet.push_back(static_cast<unsigned char>(wire::kWrite));
    packet.insert(packet.end(), data, data + length);
    if (::send(device->fd, packet.data(), packet.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(packet.size())) {
        return -1;
    }
    for (;;) {
        bool gone = false;
        std::vector<unsigned char> answer = receive(device->fd, kAnswerTimeoutMs, &gone);
        if (answer.empty()) {
            return -1; // gone, or the device never completed the transfer
        }
        if (answer[0] == static_cast<unsigned char>(wire::kReport)) {
            device->reports.emplace_back(answer.begin() + 1, answer.end());
        } else if (answer[0] == static_cast<unsigned char>(wire::kAck)) {
            return answer.size() >= 2 && answer[1] == wire::kAckTaken ? static_cast<int>(length)
                                                                      : -1;
        }
    }
}

STANDIN_EXPORT int hid_read_timeout(hid_device* device, unsigned char* data, size_t length,
                                    int milliseconds) {
    if (device == nullptr || data == nullptr) {
        return -1;
    }
    while (device->reports.empty()) {
        bool gone = false;
        std::vector<unsigned char> packet = receive(device->fd, milliseconds, &gone);
        if (gone) {
            return -1;
        }
        if (packet.empty()) {
            return 0;
        }
        if (packet[0] == static_cast<unsigned char>(wire::kReport)) {
            device->reports.emplace_back(packet.begin() + 1, packet.end());
        }
    }
    std::vector<unsigned char> report = std::move(device->reports.front());
    device->reports.pop_front();
    // hidraw leaves out the report ID of a device without numbered reports.
    const std::size_t size = report.empty() ? 0 : report.size() - 1;
    const std::size_t n = size < length ? size : length;
    if (n > 0) {
        std::memcpy(data, report.data() + 1, n);
    }
    return static_cast<int>(n);
}

STANDIN_EXPORT int hid_set_nonblocking(hid_device* device, int /*nonblock*/) {
    // Only hid_read would honour it; hid_read_timeout waits as long as it is told.
    return device != nullptr ? 0 : -1;
}

STANDIN_EXPORT int hid_get_serial_number_string(hid_device* device, wchar_t* string,
                                                size_t maxlen) {
    if (device == nullptr || string == nullptr || maxlen == 0) {
        return -1;
    }
    const std::wstring serial = device->description.serial.value_or(std::wstring());
    const std::size_t n = serial.size() < maxlen - 1 ? serial.size() : maxlen - 1;
    std::wmemcpy(string, serial.c_str(), n);
    string[n] = 0;
    return 0;
}

STANDIN_EXPORT const wchar_t* hid_error(hid_device* /*device*/) {
    return L"stand-in hidapi: the simulated device failed";
}

#ifdef QN_STANDIN_REPORT_DESCRIPTOR
STANDIN_EXPORT int hid_get_report_descriptor(hid_device* device, unsigned char* buffer,
                                             size_t size) {
    if (device == nullptr || buffer == nullptr) {
        return -1;
    }
    const auto& descriptor = device->description.descriptor;
    const std::size_t n = descriptor.size() < size ? descriptor.size() : size;
    std::memcpy(buffer, descriptor.data(), n);
    return static_cast<int>(n);
}
#endif
