#include "ReaderConnector.h"

#include "keys/KeySequence.h"

#include "DeviceFeatures.h"
#include "ReaderConfiguration.h"
#include "StringTable.h"

#include "qnlink.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace veltra {
namespace {

class QnReaderLink final : public ReaderLink {
public:
    int openPort(const char* portName, int baudRate, int flags, int timeoutMs) override {
        return QnOpenPort(portName, baudRate, flags, timeoutMs);
    }
    int closePort(int handle) override { return QnClosePort(handle); }
    int lastError(int handle) override { return QnGetLastError(handle); }
    int portName(int handle, char* buffer, int size) override {
        return QnGetPortName(handle, buffer, size);
    }
    int isLanConnection(int handle) override { return QnIsLanConnection(handle); }
    int isHidConnection(int handle) override { return QnIsHidConnection(handle); }
    int supportsReaderMode(int handle) override { return QnSupportsReaderMode(handle); }
    int readDeviceType(int handle, unsigned char* reply, int replySize, char* modelName,
                       int modelNameSize) override {
        return QnReadDeviceType(handle, reply, replySize, modelName, modelNameSize);
    }
    int readMode(int handle) override { return QnReadMode(handle); }
    int setMode(int handle, int mode) override { return QnSetMode(handle, mode); }
    int setModeStored(int handle, int mode) override { return QnSetModeStored(handle, mode); }
    int setBaudRate(int handle, int baudRate, int parity) override {
        return QnSetBaudRate(handle, baudRate, parity);
    }
    int writeTransponderConfig(int handle, int index, const unsigned char* data,
                               int length) override {
        return QnWriteTransponderConfig(handle, index, data, length);
    }
    int writeTransponderPassword(int handle, const unsigned char* password, int length) override {
        return QnWriteTransponderPassword(handle, password, length);
    }
    int writeTransponderPasswordEx(int handle, int transponderType, const unsigned char* password,
                                   int length) override {
        return QnWriteTransponderPasswordEx(handle, transponderType, password, length);
    }
    int readParameterBlock(int handle, int block, unsigned char* buffer, int size) override {
        switch (block) {
        case 1:
            return QnReadParameterBlock1(handle, buffer, size);
        case 2:
            return QnReadParameterBlock2(handle, buffer, size);
        case 3:
            return QnReadParameterBlock3(handle, buffer, size);
        case 4:
            return QnReadParameterBlock4(handle, buffer, size);
        case 5:
            return QnReadParameterBlock5(handle, buffer, size);
        case 6:
            return QnReadParameterBlock6(handle, buffer, size);
        default:
            return -1;
        }
    }
    int writeParameterBlock(int handle, int block, const unsigned char* data, int length) override {
        switch (block) {
        case 1:
            return QnWriteParameterBlock1(handle, data, length);
        case 2:
            return QnWriteParameterBlock2(handle, data, length);
        case 3:
            return QnWriteParameterBlock3(handle, data, length);
        case 4:
            return QnWriteParameterBlock4(handle, data, length);
        case 5:
            return QnWriteParameterBlock5(handle, data, length);
        case 6:
            return QnWriteParameterBlock6(handle, data, length);
        default:
            return -1;
        }
    }
    int transact(int handle, int command, const unsigned char* data, int length,
                 unsigned char* reply, int replySize) override {
        return QnTransact(handle, command, data, length, reply, replySize);
    }
    int lanReadRemoteHost(const char* portName, char* address, int* port) override {
        return QnLanReadRemoteHost(portName, address, port);
    }
    int lanWriteRemoteHost(const char* portName, const char* address, int port) override {
        return QnLanWriteRemoteHost(portName, address, port);
    }
};

constexpr std::array<int, 5> kBaudCycle{2400, 4800, 9600, 19200, 38400};

// Size of the model-name buffer: 30 characters and the terminating NUL.
constexpr int kModelNameSize = 31;

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

ReaderLink& qnLink() {
    static QnReaderLink link;
    return link;
}

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

void closeReader(ReaderLink& link, int handle) {
    if (handle <= 0) {
        return;
    }
    link.setMode(handle, 2);
    link.closePort(handle);
}

void closeReader(int handle) {
    closeReader(qnLink(), handle);
}

OpenResult openConfiguredReader(ReaderLink& link, const ConnectionTarget& target) {
    OpenResult result;
    result.baudCode = target.baudCode;
    const char* name = target.connectionString.c_str();

    int handle = 0;
    if (isSerialKind(target.kind)) {
        // The code's last two digits select the line format; the library takes the plain rate
        // and the format as flags, so a reader stored as 9601 is reached at 9600 8E1.
        handle = link.openPort(name, rateOfCode(target.baudCode), lineFormatOfCode(target.baudCode),
                               target.timeoutMs);
        if (handle == QN_OPEN_NO_ANSWER) {
            for (int rate : baudSearchOrder(target.baudCode)) {
                handle = link.openPort(name, rate, 0, target.timeoutMs);
                if (handle > 0) {
                    result.baudCode = rate;
                    result.baudCorrected = true;
                    break;
                }
                if (handle != QN_OPEN_NO_ANSWER) {
                    // The port itself went away; further rates cannot help.
                    break;
                }
            }
        }
    } else {
        handle = link.openPort(name, 19200, 0, target.timeoutMs);
    }
    if (handle <= 0) {
        result.handle = kOpenFailed;
        return result;
    }

    link.setMode(handle, 0);

    std::array<unsigned char, 4> reply{};
    std::array<char, kModelNameSize> model{};
    const int length = link.readDeviceType(handle, reply.data(), static_cast<int>(reply.size()),
                                           model.data(), static_cast<int>(model.size()));
    const auto digit = [&reply](std::size_t i) {
        return HexDigitValue(static_cast<char>(reply[i]));
    };
    // A usable identity is exactly three hex digits and a version character.
    const bool usable = length == 4 && digit(0) != 0xFF && digit(1) != 0xFF && digit(2) != 0xFF;
    if (!usable) {
        closeReader(link, handle);
        result.handle = kOpenNoIdentity;
        return result;
    }
    model.back() = '\0';
    ReaderIdentity& id = result.identity;
    id.typeCode = static_cast<unsigned>(digit(0) * 256 + digit(1) * 16 + digit(2));
    id.version = versionNumber(static_cast<char>(reply[3]));
    id.typeText.assign(reinterpret_cast<const char*>(reply.data()), 3);
    id.modelName = model.data();

    if (!isSupportedFamily(id.typeCode)) {
        closeReader(link, handle);
        result.handle = kOpenUnsupported;
        return result;
    }

    const std::uint32_t features =
        connectionFeatures(target.kind, target.connectionString, id.typeCode, id.version);

    const int readerMode = link.supportsReaderMode(handle);
    if (readerMode == 0) {
        closeReader(link, handle);
        result.handle = kOpenNoReaderMode;
        return result;
    }
    if (readerMode < 0) {
        // The library no longer knows the handle: the connection is gone.
        closeReader(link, handle);
        result.handle = kOpenNoIdentity;
        return result;
    }
    result.handle = handle;
    result.features = features;
    return result;
}

OpenResult openConfiguredReader(const ConnectionTarget& target) {
    return openConfiguredReader(qnLink(), target);
}

std::string firmwareText(unsigned version) {
    return strf(167, 1, static_cast<int>(version)).toStdString();
}

} // namespace veltra
