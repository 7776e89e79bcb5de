#include "tests/fuzz/hid_reports/FuzzHidLibrary.h"

#include "devicelink/hid/HidApi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kPath = "/dev/hidraw-fuzz";

struct Reader {
    bool descriptorFails = false;
    bool keyboardFirst = false;
    std::vector<std::uint8_t> descriptor;
    bool hasSerial = false;
    std::wstring serial;
    std::vector<std::vector<std::uint8_t>> reports;
    std::size_t nextReport = 0;
};

Reader g_reader;
int g_device; // its address is the open device

std::vector<std::uint8_t> take(const std::uint8_t* data, std::size_t size, std::size_t& at,
                               std::size_t count) {
    const std::size_t n = std::min(count, size - at);
    std::vector<std::uint8_t> bytes(data + at, data + at + n);
    at += n;
    return bytes;
}

hid_device_info* entry(unsigned short usagePage, unsigned short usage, hid_device_info* next) {
    auto* info = new hid_device_info{};
    info->path = strdup(kPath);
    info->vendor_id = 0x16C0;
    info->product_id = 0x2913;
    info->serial_number = g_reader.hasSerial ? wcsdup(g_reader.serial.c_str()) : nullptr;
    info->usage_page = usagePage;
    info->usage = usage;
    info->next = next;
    return info;
}

} // namespace

EXPORT void qnFuzzHidSetReader(const std::uint8_t* data, std::size_t size) {
    g_reader = Reader{};
    std::size_t at = 0;
    if (at < size) {
        g_reader.descriptorFails = (data[at] & 1) != 0;
        g_reader.keyboardFirst = (data[at] & 2) != 0;
        ++at;
    }
    if (at < size) {
        const std::size_t length = data[at++];
        g_reader.descriptor = take(data, size, at, length);
    }
    if (at < size) {
        const std::size_t length = data[at++];
        g_reader.hasSerial = length != 255;
        for (std::size_t i = 0; g_reader.hasSerial && i < length && at + 2 <= size; ++i, at += 2) {
            g_reader.serial += static_cast<wchar_t>(data[at] | data[at + 1] << 8);
        }
    }
    while (at < size) {
        const std::size_t length = data[at++];
        g_reader.reports.push_back(take(data, size, at, length));
    }
}

EXPORT const wchar_t* qnFuzzHidSerial() {
    return g_reader.hasSerial ? g_reader.serial.c_str() : nullptr;
}

EXPORT int hid_init() {
    return 0;
}

EXPORT int hid_exit() {
    return 0;
}

EXPORT hid_device_info* hid_enumerate(unsigned short, unsigned short) {
    hid_device_info* channel = entry(0xFF00, 0x01, nullptr);
    hid_device_info* keyboard = entry(0x01, 0x06, nullptr);
    if (g_reader.keyboardFirst) {
        keyboard->next = channel;
        return keyboard;
    }
    channel->next = keyboard;
    return channel;
}

EXPORT void hid_free_enumeration(hid_device_info* list) {
    while (list != nullptr) {
        hid_device_info* next = list->next;
        free(list->path);
        free(list->serial_number);
        delete list;
        list = next;
    }
}

EXPORT hid_device* hid_open_path(const char* path) {
    return std::strcmp(path, kPath) == 0 ? reinterpret_cast<hid_device*>(&g_device) : nullptr;
}

EXPORT void hid_close(hid_device*) {}

EXPORT int hid_write(hid_device*, const unsigned char*, std::size_t length) {
    return static_cast<int>(length);
}

EXPORT int hid_read_timeout(hid_device*, unsigned char* data, std::size_t length, int) {
    if (g_reader.nextReport >= g_reader.reports.size()) {
        return -1; // unplugged
    }
    const auto& report = g_reader.reports[g_reader.nextReport++];
    const std::size_t n = std::min(report.size(), length);
    std::copy_n(report.begin(), n, data);
    return static_cast<int>(n);
}

EXPORT int hid_set_nonblocking(hid_device*, int) {
    return 0;
}

EXPORT int hid_get_serial_number_string(hid_device*, wchar_t* text, std::size_t length) {
    if (length == 0) {
        return -1;
    }
    const std::wstring serial = g_reader.serial.substr(0, length - 1);
    std::wmemcpy(text, serial.c_str(), serial.size() + 1);
    return 0;
}

EXPORT const wchar_t* hid_error(hid_device*) {
    return L"fuzz";
}

EXPORT int hid_get_report_descriptor(hid_device*, unsigned char* data, std::size_t length) {
    if (g_reader.descriptorFails) {
        return -1;
    }
    const std::size_t n = std::min(g_reader.descriptor.size(), length);
    std::copy_n(g_reader.descriptor.begin(), n, data);
    return static_cast<int>(n);
}
