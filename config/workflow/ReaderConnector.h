// Opening a configured reader: the widget- and settings-free core of the program's connection
// procedure. It opens the link, searches the baud rate of a serial reader that does not answer,
// puts the reader into programming mode, reads its identity, refuses readers the program does
// not configure and computes the DeviceFeatures word. Settings, windows and messages are the
// caller's business.
#pragma once

#include "config/workflow/ReaderLink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltra {

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

// Result codes of openReaderConnection besides a handle.
inline constexpr int kOpenFailed = 0;        // the interface could not be opened
inline constexpr int kOpenNoIdentity = -2;   // the reader gave no usable identity (string 151)
inline constexpr int kOpenUnsupported = -3;  // device type not configured here (string 152)
inline constexpr int kOpenNoReaderMode = -5; // the reader has no reader mode (string 205)
inline constexpr int kOpenNoPermission = -6; // the user may not use the device

// An opened reader as one value: the connection procedure returns it, and the dialogs and
// commands that work on the reader receive it. A handle of 0 means no reader; such a dialog opens
// its own connection when it needs one.
struct OpenResult {
    int handle = 0;             // > 0, or kOpenFailed / kOpenNoIdentity / kOpenUnsupported /
                                // kOpenNoReaderMode / kOpenNoPermission
    int baudCode = 0;           // the code that answered (differs after a baud-rate search)
    bool baudCorrected = false; // the caller stores baudCode and shows string 290
    ReaderIdentity identity;    // filled once the reader has identified itself
    std::string deviceNode;     // kOpenNoPermission: the device the user may not use
    bool serialPort = false;    // kOpenNoPermission: that device is a serial port
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
// the caller, who ends it with closeReaderConnection.
OpenResult openReaderConnection(const ConnectionTarget& target);
OpenResult openReaderConnection(ReaderLink& link, const ConnectionTarget& target);

// Ends a connection: operating mode 2, then close. A handle of 0 or less does nothing.
void closeReaderConnection(int handle);
void closeReaderConnection(ReaderLink& link, int handle);

// The message of a failed open in the current language, with the program's "\r\n" line breaks:
// the refusal of the reader, the device the user may not use (with the udev rule for a USB
// device, the dialout group for a serial port), or the port that does not open.
std::string openFailureMessage(const OpenResult& result, const std::string& port);

// The firmware text "FW V1.xx" of a version number, in the current language.
std::string firmwareText(unsigned version);

} // namespace veltra
