#include "devicelink/hid/HidEnumeration.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qnlink {

namespace {

constexpr const char* kNameWithoutSerial = "1319-????";
constexpr const char* kNameSuffix = " HID";
// The serial number is read into 50 bytes of UTF-16: 24 characters and the terminator.
constexpr std::size_t kMaxSerialCharacters = 24;
constexpr unsigned short kUsagePageGenericDesktop = 0x01;
constexpr unsigned short kUsageKeyboard = 0x06;

} // namespace

bool isAcceptedHidReader(unsigned short vendor, unsigned short product) {
    if (vendor == 0x16C0) {
        return product == 0x2913;
    }
    if (vendor == 0x1C40) {
        return product == 0x05AB || product == 0x05AD || product == 0x05AE || product == 0x05AF;
    }
    return false;
}

std::string hidReaderName(const wchar_t* serial) {
    std::string text;
    for (const wchar_t* c = serial; c != nullptr && *c != 0 && text.size() < kMaxSerialCharacters;
         ++c) {
        const auto code = static_cast<unsigned long>(*c);
        text += code > 0xFF ? '?' : static_cast<char>(code);
    }
    if (text.empty()) {
        text = kNameWithoutSerial;
    }
    return text + kNameSuffix;
}

std::vector<HidReader> presentHidReaders(HidApi& api) {
    std::vector<HidReader> readers;
    hid_device_info* all = api.enumerate(0, 0);
    for (const hid_device_info* info = all; info != nullptr; info = info->next) {
        if (!isAcceptedHidReader(info->vendor_id, info->product_id) || info->path == nullptr) {
            continue;
        }
        if (info->usage_page == kUsagePageGenericDesktop && info->usage == kUsageKeyboard) {
            continue;
        }
        readers.push_back({hidReaderName(info->serial_number), info->path});
    }
    if (all != nullptr) {
        api.freeEnumeration(all);
    }
    return readers;
}

std::vector<std::string> listHidReaderNames() {
    std::vector<std::string> names;
    const auto api = HidApi::current();
    if (!api) {
        return names;
    }
    for (const HidReader& reader : presentHidReaders(*api)) {
        if (std::find(names.begin(), names.end(), reader.name) == names.end()) {
            names.push_back(reader.name);
        }
    }
    return names;
}

std::string hidReaderPath(const std::string& name) {
    const auto api = HidApi::current();
    if (!api) {
        return {};
    }
    for (const HidReader& reader : presentHidReaders(*api)) {
        if (reader.name == name) {
            return reader.path;
        }
    }
    return {};
}

std::optional<ReportLengths> reportLengthsFromSysfs(const std::string& devicePath) {
    namespace fs = std::filesystem;
    const fs::path node(devicePath);
    if (node.parent_path() != "/dev" || node.filename().string().rfind("hidraw", 0) != 0) {
        return std::nullopt;
    }
    const char* root = std::getenv("QN_SYSFS_ROOT");
    const fs::path sysfs = (root != nullptr && *root != '\0') ? fs::path(root) : fs::path("/sys");
    std::ifstream in(sysfs / "class" / "hidraw" / node.filename() / "device" / "report_descriptor",
                     std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char buffer[4096];
    // A descriptor is at most 4096 bytes long (HID_MAX_DESCRIPTOR_SIZE of the kernel).
    in.read(buffer, sizeof buffer);
    bytes.assign(buffer, buffer + in.gcount());
    return reportLengthsFromDescriptor(bytes.data(), bytes.size());
}

} // namespace qnlink
