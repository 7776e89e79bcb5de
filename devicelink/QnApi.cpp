// The exported Qn operations: thin functions over the module object and its connections.
#include "qnlink.h"

#include "devicelink/MultiString.h"
#include "devicelink/Ping.h"
#include "devicelink/SdkApp.h"
#include "devicelink/UsbDeviceList.h"
#include "devicelink/ftdi/FTD2xxPort.h"
#include "devicelink/hid/HidEnumeration.h"
#include "devicelink/serial/SerialEnumeration.h"
#include "devicelink/tcp/LanOperations.h"

#include <cstring>
#include <string>
#include <vector>

using qnlink::CQN_LF_SDKApp;
using qnlink::CQN_RW_Port;

namespace {

constexpr int kLibraryVersion = 441;

// Runs op on the connection of handle, or returns -1 for an unknown handle.
template <typename Op>
int withPort(int handle, Op&& op) {
    const auto port = CQN_LF_SDKApp::instance().find(handle);
    if (!port) {
        return -1;
    }
    return op(*port);
}

} // namespace

extern "C" {

int QnGetLibraryVersion(void) {
    return kLibraryVersion;
}

int QnListComPorts(char* buffer, int size) {
    return qnlink::writeMultiString(qnlink::listSerialPorts(), buffer, size);
}

int QnListUsbDevices(char* buffer, int size) {
    qnlink::UsbDeviceList list;
    qnlink::addFtdiReaders(list);
    // The HID readers follow the FTDI readers.
    for (const std::string& hid : qnlink::listHidReaderNames()) {
        list.add(hid);
    }
    return qnlink::writeMultiString(list.names(), buffer, size);
}

int QnHidDevicePath(const char* name, char* buffer, int size) {
    if (name == nullptr) {
        return -1;
    }
    const qnlink::PortName parsed = qnlink::parsePortName(name);
    if (parsed.kind != qnlink::LinkKind::Hid) {
        return -1;
    }
    const std::string path = qnlink::hidReaderPath(parsed.name);
    if (path.empty() || buffer == nullptr || size < 0 ||
        path.size() + 1 > static_cast<std::size_t>(size)) {
        return -1;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<int>(path.size());
}

int QnFindUsbDevicesWithoutDriver(void) {
    return qnlink::usbDevicesWithoutDriver(qnlink::ftdiLibraryLoads());
}

int QnIsCdcDriverInstalled(void) {
    return qnlink::cdcDriverAvailable() ? 1 : 0;
}

int QnOpenPort(const char* portName, int baudRate, int flags, int timeoutMs) {
    return CQN_LF_SDKApp::instance().openPort(portName, baudRate, flags, timeoutMs);
}

int QnClosePort(int handle) {
    return CQN_LF_SDKApp::instance().closePort(handle);
}

int QnGetLastError(int handle) {
    const auto port = CQN_LF_SDKApp::instance().find(handle);
    return port ? port->lastError() : QN_ERR_UNKNOWN_HANDLE;
}

int QnGetPortName(int handle, char* buffer, int size) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.getPortName(buffer, size); });
}

int QnIsLanConnection(int handle) {
    return withPort(handle,
                    [](CQN_RW_Port& p) { return p.kind() == qnlink::LinkKind::Tcp ? 1 : 0; });
}

int QnIsHidConnection(int handle) {
    return withPort(handle,
                    [](CQN_RW_Port& p) { return p.kind() == qnlink::LinkKind::Hid ? 1 : 0; });
}

int QnSupportsReaderMode(int handle) {
    return withPort(
        handle, [](CQN_RW_Port& p) { return qnlink::supportsReaderMode(p.identity().typeCode); });
}

int QnReadDeviceType(int handle, unsigned char* reply, int replySize, char* modelName,
                     int modelNameSize) {
    return withPort(handle, [&](CQN_RW_Port& p) {
        return p.readDeviceType(reply, replySize, modelName, modelNameSize);
    });
}

int QnReadMode(int handle) {
    return withPort(handle, [](CQN_RW_Port& p) { return p.readMode(); });
}

int QnSetMode(int handle, int mode) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.setMode(mode); });
}

int QnSetModeStored(int handle, int mode) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.setModeStored(mode); });
}

int QnSetBaudRate(int handle, int baudRate, int parity) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.setBaudRate(baudRate, parity); });
}

int QnSetUsbInterface(int handle, int mode) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.setUsbInterface(mode); });
}

int QnResetReader(int handle, int byte1, int byte2) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.resetReader(byte1, byte2); });
}

int QnWriteTransponderConfig(int handle, int index, const unsigned char* data, int length) {
    return withPort(handle,
                    [&](CQN_RW_Port& p) { return p.writeTransponderConfig(index, data, length); });
}

int QnWriteTransponderPassword(int handle, const unsigned char* password, int length) {
    return withPort(handle,
                    [&](CQN_RW_Port& p) { return p.writeTransponderPassword(password, length); });
}

int QnWriteTransponderPasswordEx(int handle, int transponderType, const unsigned char* password,
                                 int length) {
    return withPort(handle, [&](CQN_RW_Port& p) {
        return p.writeTransponderPasswordEx(transponderType, password, length);
    });
}

#define QN_BLOCK_OPERATIONS(n)                                                                     \
    int QnReadParameterBlock##n(int handle, unsigned char* buffer, int size) {                     \
        return withPort(handle,                                                                    \
                        [&](CQN_RW_Port& p) { return p.readParameterBlock(n, buffer, size); });    \
    }                                                                                              \
    int QnWriteParameterBlock##n(int handle, const unsigned char* data, int length) {              \
        return withPort(handle,                                                                    \
                        [&](CQN_RW_Port& p) { return p.writeParameterBlock(n, data, length); });   \
    }

QN_BLOCK_OPERATIONS(1)
QN_BLOCK_OPERATIONS(2)
QN_BLOCK_OPERATIONS(3)
QN_BLOCK_OPERATIONS(4)
QN_BLOCK_OPERATIONS(5)
QN_BLOCK_OPERATIONS(6)

#undef QN_BLOCK_OPERATIONS

int QnTransact(int handle, int command, const unsigned char* data, int length, unsigned char* reply,
               int replySize) {
    return withPort(handle, [&](CQN_RW_Port& p) {
        return p.transact(command, data, length, reply, replySize);
    });
}

int QnWriteRaw(int handle, const unsigned char* data, int length) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.writeRaw(data, length); });
}

int QnReadReceived(int handle, unsigned char* buffer, int size) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.readReceived(buffer, size); });
}

// ---- HID control channel: only HID connections have one ----

int QnHidCommand(int handle, const unsigned char* data, int length, unsigned char* reply,
                 int replySize) {
    return withPort(handle,
                    [&](CQN_RW_Port& p) { return p.hidCommand(data, length, reply, replySize); });
}

int QnHidControlWrite(int handle, const unsigned char* data, int length) {
    return withPort(handle, [&](CQN_RW_Port& p) { return p.hidControlWrite(data, length); });
}

// ---- Ethernet readers: the module configuration over UDP and the ping ----

int QnSearchLanReaders(char* buffer, int size) {
    return qnlink::lanSearch(true, buffer, size);
}

int QnSearchLanDevices(char* buffer, int size) {
    return qnlink::lanSearch(false, buffer, size);
}

int QnPingLanDevice(const char* portName) {
    return qnlink::pingLanDevice(portName);
}

int QnLanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                      char* gateway) {
    return qnlink::lanReadSettings(portName, name, address, subnetMask, gateway);
}

int QnLanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                    const char* gateway) {
    return qnlink::lanSetAddress(portName, newAddress, subnetMask, gateway);
}

int QnLanReadRemoteHost(const char* portName, char* address, int* port) {
    return qnlink::lanReadRemoteHost(portName, address, port);
}

int QnLanWriteRemoteHost(const char* portName, const char* address, int port) {
    return qnlink::lanWriteRemoteHost(portName, address, port);
}

void QnSetWaitCallback(QnWaitCallback callback, void* context) {
    qnlink::setWaitCallback(callback, context);
}

} // extern "C"
