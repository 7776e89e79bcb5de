#include "tests/support/FakeReaderLink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace veltra::test {
namespace {

constexpr int kDtrCommand = 0xFE;
constexpr int kRemotePort = 4001;

std::string hex(const unsigned char* data, int length) {
    std::string out;
    for (int i = 0; i < length; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", data[i]);
        out += buf;
    }
    return out;
}

bool startsWith(const std::string& entry, const char* prefix) {
    return entry.rfind(prefix, 0) == 0;
}

// The names as the device link lists them: each with its NUL, then an empty name. Names that
// do not fit are left out.
int multiString(const std::vector<std::string>& names, char* buffer, int size) {
    int used = 0;
    for (const std::string& name : names) {
        const int length = static_cast<int>(name.size()) + 1;
        if (used + length + 1 > size) {
            break;
        }
        std::memcpy(buffer + used, name.c_str(), static_cast<std::size_t>(length));
        used += length;
    }
    if (used >= size) {
        return 0;
    }
    buffer[used++] = '\0';
    return used;
}

} // namespace

std::vector<std::string> FakeReaderLink::writes() const {
    std::vector<std::string> out;
    for (const std::string& entry : log) {
        if (startsWith(entry, "write") || startsWith(entry, "password") ||
            startsWith(entry, "config") || startsWith(entry, "setBaud") ||
            startsWith(entry, "setModeStored") || startsWith(entry, "transact 254 ") ||
            startsWith(entry, "remoteHost") || startsWith(entry, "hidControlWrite")) {
            out.push_back(entry);
        }
    }
    return out;
}

std::vector<std::string> FakeReaderLink::opens() const {
    std::vector<std::string> out;
    for (const std::string& entry : log) {
        if (startsWith(entry, "open ")) {
            out.push_back(entry);
        }
    }
    return out;
}

OpenResult FakeReaderLink::openResult(std::uint32_t features) const {
    OpenResult r;
    r.handle = handle;
    r.baudCode = 19200;
    r.identity.modelName = model;
    r.features = features;
    return r;
}

int FakeReaderLink::listComPorts(char* buffer, int size) {
    return multiString(comPorts, buffer, size);
}

int FakeReaderLink::listUsbDevices(char* buffer, int size) {
    return multiString(usbDevices, buffer, size);
}

int FakeReaderLink::searchLanReaders(char* buffer, int size) {
    return multiString(lanReaders, buffer, size);
}

int FakeReaderLink::searchLanDevices(char* buffer, int size) {
    return multiString(lanReaders, buffer, size);
}

int FakeReaderLink::pingLanDevice(const char* portName) {
    return pingAnswers.count(portName) != 0 ? 1 : 0;
}

int FakeReaderLink::findUsbDevicesWithoutDriver() {
    return devicesWithoutDriver;
}

int FakeReaderLink::isCdcDriverInstalled() {
    return cdcDriverInstalled ? 1 : 0;
}

void FakeReaderLink::setWaitCallback(WaitCallback callback, void* context) {
    waitCallback = callback;
    waitContext = context;
}

int FakeReaderLink::openPort(const char* name, int baudRate, int flags, int timeoutMs) {
    log.push_back("open " + std::string(name) + " " + std::to_string(baudRate) + " " +
                  std::to_string(flags) + " " + std::to_string(timeoutMs));
    if (!portExists) {
        return kOpenFailed;
    }
    if (permissionDenied) {
        return kOpenNoPermission;
    }
    if (answersAtRates.count(baudRate) == 0 || flags != answersAtFlags) {
        return kOpenNoAnswer;
    }
    return handle;
}

int FakeReaderLink::closePort(int h) {
    log.push_back("close " + std::to_string(h));
    return 0;
}

int FakeReaderLink::lastError(int) {
    return errorCode;
}

int FakeReaderLink::portName(int, char* buffer, int size) {
    if (port.empty() || static_cast<int>(port.size()) >= size) {
        return -1;
    }
    std::copy(port.begin(), port.end(), buffer);
    buffer[port.size()] = '\0';
    return static_cast<int>(port.size());
}

int FakeReaderLink::isLanConnection(int) {
    return lanConnection ? 1 : 0;
}

int FakeReaderLink::isHidConnection(int) {
    return hidConnection ? 1 : 0;
}

int FakeReaderLink::supportsReaderMode(int) {
    log.push_back("supportsReaderMode");
    return readerMode;
}

int FakeReaderLink::readDeviceType(int, unsigned char* reply, int replySize, char* modelName,
                                   int modelNameSize) {
    log.push_back("readDeviceType " + std::to_string(replySize) + " " +
                  std::to_string(modelNameSize));
    if (identityResult < 0 || static_cast<int>(identity.size()) > replySize) {
        return -1; // the library refuses a reply that does not fit
    }
    std::memcpy(reply, identity.data(), identity.size());
    if (static_cast<int>(model.size()) < modelNameSize) {
        std::memcpy(modelName, model.c_str(), model.size() + 1);
    }
    return identityResult;
}

int FakeReaderLink::readMode(int) {
    log.push_back("readMode");
    if (modeSilentReads > 0) {
        --modeSilentReads;
        return -1;
    }
    return modeReadable ? storedMode : -1;
}

int FakeReaderLink::setMode(int, int mode) {
    log.push_back("setMode " + std::to_string(mode));
    return 0;
}

int FakeReaderLink::setModeStored(int, int mode) {
    log.push_back("setModeStored " + std::to_string(mode));
    storedMode = mode;
    return 0;
}

int FakeReaderLink::setBaudRate(int, int rate, int parity) {
    log.push_back("setBaudRate " + std::to_string(rate) + " " + std::to_string(parity));
    return 0;
}

int FakeReaderLink::setUsbInterface(int, int mode) {
    log.push_back("setUsbInterface " + std::to_string(mode));
    return 0;
}

int FakeReaderLink::resetReader(int, int byte1, int byte2) {
    log.push_back("resetReader " + std::to_string(byte1) + " " + std::to_string(byte2));
    return 0;
}

int FakeReaderLink::writeTransponderConfig(int, int index, const unsigned char* data, int length) {
    log.push_back("config " + std::to_string(index) + " " + hex(data, length));
    return 0;
}

int FakeReaderLink::writeTransponderPassword(int, const unsigned char* password, int length) {
    log.push_back("password " + hex(password, length));
    return 0;
}

int FakeReaderLink::writeTransponderPasswordEx(int, int type, const unsigned char* password,
                                               int length) {
    log.push_back("passwordEx " + std::to_string(type) + " " + hex(password, length));
    return 0;
}

int FakeReaderLink::readParameterBlock(int, int block, unsigned char* buffer, int size) {
    log.push_back("read " + std::to_string(block));
    const auto it = blocks.find(block);
    if (failingReads.count(block) != 0 || it == blocks.end() ||
        static_cast<int>(it->second.size()) > size) {
        return -1;
    }
    std::copy(it->second.begin(), it->second.end(), buffer);
    return static_cast<int>(it->second.size());
}

int FakeReaderLink::writeParameterBlock(int, int block, const unsigned char* data, int length) {
    log.push_back("write " + std::to_string(block) + ": " + hex(data, length));
    if (failingWrites.count(block) != 0) {
        return -1;
    }
    blocks[block] = Bytes(data, data + length);
    return 0;
}

int FakeReaderLink::transact(int, int command, const unsigned char* data, int length,
                             unsigned char* reply, int replySize) {
    log.push_back("transact " + std::to_string(command) + (length > 0 ? " " : "") +
                  hex(data, length));
    if (command != kDtrCommand || !dtrSupported) {
        return -1;
    }
    if (length == 1) {
        dtr = data[0];
        return 0;
    }
    if (reply != nullptr && replySize >= 1) {
        reply[0] = dtr;
    }
    return 1;
}

int FakeReaderLink::writeRaw(int, const unsigned char* data, int length) {
    log.push_back("writeRaw " + hex(data, length));
    return 0;
}

int FakeReaderLink::readReceived(int, unsigned char* buffer, int size) {
    if (received.empty() || size < 1) {
        return 0; // polls that find nothing are not logged
    }
    Bytes& piece = received.front();
    const int count = std::min(size, static_cast<int>(piece.size()));
    std::copy_n(piece.begin(), count, buffer);
    log.push_back("received " + hex(buffer, count));
    piece.erase(piece.begin(), piece.begin() + count);
    if (piece.empty()) {
        received.pop_front();
    }
    return count;
}

int FakeReaderLink::hidCommand(int, const unsigned char* data, int length, unsigned char* reply,
                               int replySize) {
    log.push_back("hidCommand " + hex(data, length));
    if (!hidConnection || length != 2 || data[0] != 0x11 || hidSilentQueries > 0 || hidGone) {
        if (hidSilentQueries > 0) {
            --hidSilentQueries;
        }
        return -1;
    }
    const auto it = hidKeys.find(data[1]);
    const std::uint16_t key = it == hidKeys.end() || it->second == 0 ? 0xFFFF : it->second;
    const unsigned char answer[4] = {0x11, data[1], static_cast<unsigned char>(key >> 8),
                                     static_cast<unsigned char>(key & 0xFF)};
    const int count = std::min(replySize, 4);
    std::copy_n(answer, count, reply);
    return count;
}

int FakeReaderLink::hidDevicePath(const char*, char* buffer, int size) {
    if (hidNode.empty() || static_cast<int>(hidNode.size()) + 1 > size) {
        return -1;
    }
    std::copy(hidNode.begin(), hidNode.end(), buffer);
    buffer[hidNode.size()] = '\0';
    return static_cast<int>(hidNode.size());
}

int FakeReaderLink::hidControlWrite(int, const unsigned char* data, int length) {
    log.push_back("hidControlWrite " + hex(data, length));
    if (!hidConnection || hidRefusals > 0) {
        if (hidRefusals > 0) {
            --hidRefusals;
        }
        return -1;
    }
    if (length == 4 && data[0] == 0x12 && data[1] == 0x1B && hidGoneAfterEscape) {
        hidGone = true;
    }
    if (length == 4 && data[0] == 0x12 && !hidKeepsTable) {
        hidKeys[data[1]] = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    }
    return 0;
}

int FakeReaderLink::lanReadRemoteHost(const char* portName, char* address, int* tcpPort) {
    log.push_back(std::string("readRemoteHost ") + portName);
    if (remoteHost.empty()) {
        return -1;
    }
    std::strncpy(address, remoteHost.c_str(), 15);
    address[15] = '\0';
    *tcpPort = kRemotePort;
    return 0;
}

int FakeReaderLink::lanWriteRemoteHost(const char* portName, const char* address, int tcpPort) {
    log.push_back(std::string("remoteHost ") + portName + " " + address + " " +
                  std::to_string(tcpPort));
    return 0;
}

int FakeReaderLink::lanReadSettings(const char* portName, char*, char*, char*, char*) {
    log.push_back(std::string("lanReadSettings ") + portName);
    return -1;
}

int FakeReaderLink::lanSetAddress(const char* portName, const char* newAddress, const char*,
                                  const char*) {
    log.push_back(std::string("lanSetAddress ") + portName + " " + newAddress);
    return -1;
}

} // namespace veltra::test
