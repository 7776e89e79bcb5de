// Opening a configured reader: the widget- and settings-free core of the program's connection
// procedure. It opens the link, searches the baud rate of a serial reader that does not answer,
// puts the reader into programming mode, reads its identity, refuses readers the program does
// not configure and computes the DeviceFeatures word. Settings, windows and messages are the
// caller's business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltra {

// The reader operations of the device link, one to one. The program talks to readers only
// through these; qnLink() forwards each to the Qn operation of the same name. Every byte that
// comes back is untrusted: sizes are always passed with the buffers.
class ReaderLink {
public:
    virtual ~ReaderLink() = default;

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
    virtual int lanReadRemoteHost(const char* portName, char* address, int* port) = 0;
    virtual int lanWriteRemoteHost(const char* portName, const char* address, int port) = 0;
};

// The device link itself (the Qn operations of the loaded library).
ReaderLink& qnLink();

enum class InterfaceKind {
    Serial,          // RS-232 port, FTDI device or a foreign USB serial adapter
    MakerVirtualCom, // the reader's own USB virtual COM port
    Hid,             // USB HID keyboard reader ("USB: " entries)
    Lan              // Ethernet reader ("LAN: " entries)
};

struct ConnectionTarget {
    std::string connectionString; // what QnOpenPort receives, with ":address"
    InterfaceKind kind = InterfaceKind::Serial;
    int baudCode = 19200; // baud rate plus line-format code in the last two decimal digits
    int timeoutMs = 300;
};

struct ReaderIdentity {
    unsigned typeCode = 0; // three hex digits
    unsigned version = 0;  // firmware minor number, 255 for an invalid version character
    std::string typeText;  // the type code as the reader sent it, e.g. "244"
    std::string modelName; // the library's model name, at most 30 characters
};

// Result codes of openConfiguredReader besides a handle.
inline constexpr int kOpenFailed = 0;        // the interface could not be opened
inline constexpr int kOpenNoIdentity = -2;   // the reader gave no usable identity (string 151)
inline constexpr int kOpenUnsupported = -3;  // device type not configured here (string 152)
inline constexpr int kOpenNoReaderMode = -5; // the reader has no reader mode (string 205)

struct OpenResult {
    int handle = 0;             // > 0, or kOpenFailed / kOpenNoIdentity / kOpenUnsupported /
                                // kOpenNoReaderMode
    int baudCode = 0;           // the code that answered (differs after a baud-rate search)
    bool baudCorrected = false; // the caller stores baudCode and shows string 290
    ReaderIdentity identity;    // filled once the reader has identified itself
    std::uint32_t features = 0; // DeviceFeatures; only meaningful with a handle
};

// The rates the connection procedure tries, in order, when a serial reader does not answer at
// the stored code: the rest of the cycle 2400, 4800, 9600, 19200, 38400, starting after the
// stored code. Empty for a code outside the cycle (higher rates or a line-format digit).
std::vector<int> baudSearchOrder(int baudCode);

// The DeviceFeatures word of an accepted reader: the interface bits and the device-type bits.
std::uint32_t connectionFeatures(InterfaceKind kind, const std::string& connectionString,
                                 unsigned typeCode, unsigned version);

// Opens, searches the baud rate, sets programming mode, identifies, refuses unsupported
// readers and computes the features. A returned handle is in programming mode and belongs to
// the caller, who ends it with closeReader.
OpenResult openConfiguredReader(const ConnectionTarget& target);
OpenResult openConfiguredReader(ReaderLink& link, const ConnectionTarget& target);

// Ends a connection: operating mode 2, then close. A handle of 0 or less does nothing.
void closeReader(int handle);
void closeReader(ReaderLink& link, int handle);

// The firmware text "FW V1.xx" of a version number, in the current language.
std::string firmwareText(unsigned version);

} // namespace veltra
