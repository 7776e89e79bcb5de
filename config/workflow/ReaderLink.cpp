#include "config/workflow/ReaderLink.h"

#include "qnlink.h"

namespace veltra {
namespace {

static_assert(ReaderLink::kOpenFailed == QN_OPEN_FAILED);
static_assert(ReaderLink::kOpenNoAnswer == QN_OPEN_NO_ANSWER);
static_assert(ReaderLink::kOpenNoPermission == QN_OPEN_NO_PERMISSION);
static_assert(ReaderLink::kWaitBegin == QN_WAIT_BEGIN);
static_assert(ReaderLink::kWaitProgress == QN_WAIT_PROGRESS);
static_assert(ReaderLink::kWaitEnd == QN_WAIT_END);

class QnReaderLink final : public ReaderLink {
public:
    int listComPorts(char* buffer, int size) override { return QnListComPorts(buffer, size); }
    int listUsbDevices(char* buffer, int size) override { return QnListUsbDevices(buffer, size); }
    int searchLanReaders(char* buffer, int size) override {
        return QnSearchLanReaders(buffer, size);
    }
    int searchLanDevices(char* buffer, int size) override {
        return QnSearchLanDevices(buffer, size);
    }
    int pingLanDevice(const char* portName) override { return QnPingLanDevice(portName); }
    int findUsbDevicesWithoutDriver() override { return QnFindUsbDevicesWithoutDriver(); }
    int isCdcDriverInstalled() override { return QnIsCdcDriverInstalled(); }
    void setWaitCallback(WaitCallback callback, void* context) override {
        QnSetWaitCallback(callback, context);
    }

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
    int setUsbInterface(int handle, int mode) override { return QnSetUsbInterface(handle, mode); }
    int resetReader(int handle, int byte1, int byte2) override {
        return QnResetReader(handle, byte1, byte2);
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
    int writeRaw(int handle, const unsigned char* data, int length) override {
        return QnWriteRaw(handle, data, length);
    }
    int readReceived(int handle, unsigned char* buffer, int size) override {
        return QnReadReceived(handle, buffer, size);
    }
    int hidCommand(int handle, const unsigned char* data, int length, unsigned char* reply,
                   int replySize) override {
        return QnHidCommand(handle, data, length, reply, replySize);
    }
    int hidControlWrite(int handle, const unsigned char* data, int length) override {
        return QnHidControlWrite(handle, data, length);
    }
    int hidDevicePath(const char* name, char* buffer, int size) override {
        return QnHidDevicePath(name, buffer, size);
    }
    int lanReadRemoteHost(const char* portName, char* address, int* port) override {
        return QnLanReadRemoteHost(portName, address, port);
    }
    int lanWriteRemoteHost(const char* portName, const char* address, int port) override {
        return QnLanWriteRemoteHost(portName, address, port);
    }
    int lanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                        char* gateway) override {
        return QnLanReadSettings(portName, name, address, subnetMask, gateway);
    }
    int lanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                      const char* gateway) override {
        return QnLanSetAddress(portName, newAddress, subnetMask, gateway);
    }
};

} // namespace

ReaderLink& qnLink() {
    static QnReaderLink link;
    return link;
}

int deviceLinkVersion() {
    return QnGetLibraryVersion();
}

} // namespace veltra
