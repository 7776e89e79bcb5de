#include "config/workflow/ReaderConnector.h"

#include "keys/KeySequence.h"

#include "config/DeviceFeatures.h"
#include "config/ReaderConfiguration.h"
#include "config/workflow/ReaderReads.h"
#include "resources/strings/StringTable.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace veltra {
namespace {

constexpr std::array<int, 5> kBaudCycle{2400, 4800, 9600, 19200, 38400};

// A baud-rate code is the rate plus a line-format code in its last two decimal digits: 0 8N1,
// 1 8E1, 2 8O1, 3 8N2; remainders of 4 and more count as 0.
int rateOfCode(int baudCode) {
    return baudCode - baudCode % 100;
}

int lineFormatOfCode(int baudCode) {
    const int format = baudCode % 100;
    return format >= 0 && format <= 3 ? format : 0;
}

bool isSerialKind(InterfaceKind kind) {
    return kind == InterfaceKind::Serial || kind == InterfaceKind::MakerVirtualCom;
}

} // namespace

std::vector<int> baudSearchOrder(int baudCode) {
    const auto it = std::find(kBaudCycle.begin(), kBaudCycle.end(), baudCode);
    if (it == kBaudCycle.end()) {
        return {};
    }
    std::vector<int> order;
    const auto start = static_cast<std::size_t>(it - kBaudCycle.begin());
    for (std::size_t i = 1; i < kBaudCycle.size(); ++i) {
        order.push_back(kBaudCycle[(start + i) % kBaudCycle.size()]);
    }
    return order;
}

std::uint32_t connectionFeatures(InterfaceKind kind, const std::string& connectionString,
                                 unsigned typeCode, unsigned version) {
    std::uint32_t features = 0;
    if (kind == InterfaceKind::Serial) {
        features |= feature::SerialInterface;
    }
    features |= deviceTypeFeatures(typeCode, version);
    // A HID reader's name contains "HID"; a serial device path may too (a by-id name made from
    // the maker's product text) and is still a serial port.
    if (!connectionString.starts_with("/dev/") &&
        connectionString.find("HID") != std::string::npos) {
        features |= feature::HidReader;
    }
    if (kind == InterfaceKind::Lan) {
        features |= feature::LanConnection;
    }
    return features;
}

void closeReaderConnection(ReaderLink& link, int handle) {
    if (handle <= 0) {
        return;
    }
    link.setMode(handle, 2);
    link.closePort(handle);
}

void closeReaderConnection(int handle) {
    closeReaderConnection(qnLink(), handle);
}

OpenResult openReaderConnection(ReaderLink& link, const ConnectionTarget& target) {
    OpenResult result;
    result.baudCode = target.baudCode;
    const char* name = target.connectionString.c_str();

    int handle = 0;
    if (isSerialKind(target.kind)) {
        // The code's last two digits select the line format; the library takes the plain rate
        // and the format as flags, so a reader stored as 9601 is reached at 9600 8E1.
        handle = link.openPort(name, rateOfCode(target.baudCode), lineFormatOfCode(target.baudCode),
                               target.timeoutMs);
        if (handle == ReaderLink::kOpenNoAnswer) {
            for (int rate : baudSearchOrder(target.baudCode)) {
                handle = link.openPort(name, rate, 0, target.timeoutMs);
                if (handle > 0) {
                    result.baudCode = rate;
                    result.baudCorrected = true;
                    break;
                }
                if (handle != ReaderLink::kOpenNoAnswer) {
                    // The port itself went away; further rates cannot help.
                    break;
                }
            }
        }
    } else {
        handle = link.openPort(name, 19200, 0, target.timeoutMs);
    }
    if (handle == ReaderLink::kOpenNoPermission) {
        // The reader is there, but its device node is closed to this user: say which node, so
        // that the message can name it and the fix.
        std::array<char, 256> node{};
        const int length = link.hidDevicePath(name, node.data(), static_cast<int>(node.size()));
        result.deviceNode = length > 0 ? std::string(node.data(), static_cast<std::size_t>(length))
                                       : target.connectionString;
        // Only HID readers have a node of their own to name; anything else is a serial port,
        // whose fix is another one.
        result.serialPort = length <= 0 && isSerialKind(target.kind);
        if (result.serialPort) {
            // The port without the reader's address ("/dev/ttyS0:1" names /dev/ttyS0).
            const std::size_t colon = result.deviceNode.rfind(':');
            if (colon != std::string::npos && colon + 1 < result.deviceNode.size() &&
                result.deviceNode.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
                result.deviceNode.erase(colon);
            }
        }
        result.handle = kOpenNoPermission;
        return result;
    }
    if (handle <= 0) {
        result.handle = kOpenFailed;
        return result;
    }

    link.setMode(handle, 0);

    const DeviceTypeReply type = readDeviceType(link, handle);
    const auto& reply = type.identity;
    const auto digit = [&reply](std::size_t i) {
        return HexDigitValue(static_cast<char>(reply[i]));
    };
    // A usable identity is exactly three hex digits and a version character.
    const bool usable =
        type.length == 4 && digit(0) != 0xFF && digit(1) != 0xFF && digit(2) != 0xFF;
    if (!usable) {
        closeReaderConnection(link, handle);
        result.handle = kOpenNoIdentity;
        return result;
    }
    ReaderIdentity& id = result.identity;
    id.typeCode = static_cast<unsigned>(digit(0) * 256 + digit(1) * 16 + digit(2));
    id.version = versionNumber(static_cast<char>(reply[3]));
    id.typeText.assign(reinterpret_cast<const char*>(reply.data()), 3);
    id.modelName = type.modelName;

    if (!isSupportedFamily(id.typeCode)) {
        closeReaderConnection(link, handle);
        result.handle = kOpenUnsupported;
        return result;
    }

    const std::uint32_t features =
        connectionFeatures(target.kind, target.connectionString, id.typeCode, id.version);

    const int readerMode = link.supportsReaderMode(handle);
    if (readerMode == 0) {
        closeReaderConnection(link, handle);
        result.handle = kOpenNoReaderMode;
        return result;
    }
    if (readerMode < 0) {
        // The library no longer knows the handle: the connection is gone.
        closeReaderConnection(link, handle);
        result.handle = kOpenNoIdentity;
        return result;
    }
    result.handle = handle;
    result.features = features;
    return result;
}

OpenResult openReaderConnection(const ConnectionTarget& target) {
    return openReaderConnection(qnLink(), target);
}

std::string openFailureMessage(const OpenResult& result, const std::string& port) {
    switch (result.handle) {
    case kOpenNoIdentity:
        return str(151).toStdString();
    case kOpenUnsupported:
        return str(152).toStdString();
    case kOpenNoReaderMode:
        return str(205).toStdString();
    case kOpenNoPermission:
        return strf(result.serialPort ? 10141 : 10140, result.deviceNode.c_str()).toStdString();
    default:
        return strf(74110, port.c_str()).toStdString();
    }
}

std::string firmwareText(unsigned version) {
    return strf(167, 1, static_cast<int>(version)).toStdString();
}

} // namespace veltra
