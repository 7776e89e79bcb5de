// The program's one way to the device link. Windows, the workflow and veltra-cli reach readers,
// port lists and the wait callback only through ReaderLink; qnLink() is the device link itself,
// and tests hand in a link of their own.
#pragma once

namespace veltra {

// The operations of the device link, one to one. qnLink() forwards each to the Qn operation of
// the same name. Every byte that comes back is untrusted: sizes are always passed with the
// buffers.
class ReaderLink {
public:
    // openPort results other than a handle.
    static constexpr int kOpenFailed = -1;        // the link cannot be opened
    static constexpr int kOpenNoAnswer = -15;     // the reader did not answer the identification
    static constexpr int kOpenNoPermission = -13; // the user may not use the reader's device node

    // Phases of the wait callback.
    static constexpr int kWaitBegin = 0;
    static constexpr int kWaitProgress = 1;
    static constexpr int kWaitEnd = 2;
    // Called on the waiting thread while an exchange waits for a reader's reply; it must not
    // call into the link.
    using WaitCallback = void (*)(int phase, void* context);

    // setUsbInterface modes.
    static constexpr int kUsbKeyboard = 1;   // the reader works as a USB keyboard (HID)
    static constexpr int kUsbVirtualCom = 2; // the reader works as a USB virtual COM port

    virtual ~ReaderLink() = default;

    // Interfaces on this computer. The lists are NUL-separated names ended by an empty one;
    // the result is the number of bytes used.
    virtual int listComPorts(char* buffer, int size) = 0;
    virtual int listUsbDevices(char* buffer, int size) = 0;
    virtual int searchLanReaders(char* buffer, int size) = 0;
    virtual int searchLanDevices(char* buffer, int size) = 0;
    virtual int pingLanDevice(const char* portName) = 0;
    virtual int findUsbDevicesWithoutDriver() = 0;
    virtual int isCdcDriverInstalled() = 0;
    virtual void setWaitCallback(WaitCallback callback, void* context) = 0;

    virtual int openPort(const char* portName, int baudRate, int flags, int timeoutMs) = 0;
    virtual int closePort(int handle) = 0;
    virtual int lastError(int handle) = 0;
    virtual int portName(int handle, char* buffer, int size) = 0;
    virtual int isLanConnection(int handle) = 0;
    virtual int isHidConnection(int handle) = 0;
    virtual int supportsReaderMode(int handle) = 0;
    virtual int readDeviceType(int handle, unsigned char* reply, int replySize, char* modelName,
                               int modelNameSize) = 0;
    virtual int readMode(int handle) = 0;
    virtual int setMode(int handle, int mode) = 0;
    virtual int setModeStored(int handle, int mode) = 0;
    virtual int setBaudRate(int handle, int baudRate, int parity) = 0;
    virtual int setUsbInterface(int handle, int mode) = 0;
    virtual int resetReader(int handle, int byte1, int byte2) = 0;
    virtual int writeTransponderConfig(int handle, int index, const unsigned char* data,
                                       int length) = 0;
    virtual int writeTransponderPassword(int handle, const unsigned char* password, int length) = 0;
    virtual int writeTransponderPasswordEx(int handle, int transponderType,
                                           const unsigned char* password, int length) = 0;
    // block is 1..6; anything else fails with -1.
    virtual int readParameterBlock(int handle, int block, unsigned char* buffer, int size) = 0;
    virtual int writeParameterBlock(int handle, int block, const unsigned char* data,
                                    int length) = 0;
    virtual int transact(int handle, int command, const unsigned char* data, int length,
                         unsigned char* reply, int replySize) = 0;
    // Reader mode: bytes sent unframed, and what the reader sent on its own since the last call.
    virtual int writeRaw(int handle, const unsigned char* data, int length) = 0;
    virtual int readReceived(int handle, unsigned char* buffer, int size) = 0;
    // The HID control channel of a keyboard reader: a control message with its answer (the
    // answer's length, or -1 without a usable answer), and one without an answer (0 when the
    // reader took it, else -1). Other connections have no control channel: -1.
    virtual int hidCommand(int handle, const unsigned char* data, int length, unsigned char* reply,
                           int replySize) = 0;
    virtual int hidControlWrite(int handle, const unsigned char* data, int length) = 0;
    // The device node of a HID reader by its name (for the permission message); its length,
    // or -1 when there is none.
    virtual int hidDevicePath(const char* name, char* buffer, int size) = 0;
    virtual int lanReadRemoteHost(const char* portName, char* address, int* port) = 0;
    virtual int lanWriteRemoteHost(const char* portName, const char* address, int port) = 0;
    // Network settings of an Ethernet reader's module (each text buffer 32 bytes).
    virtual int lanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                                char* gateway) = 0;
    virtual int lanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                              const char* gateway) = 0;
};

// The device link itself (the Qn operations of the loaded library).
ReaderLink& qnLink();

// The device link library's version times 100 (441 for 4.41).
int deviceLinkVersion();

} // namespace veltra
