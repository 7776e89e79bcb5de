// A reader behind the device link, kept in memory, for the tests of everything above the link.
// It answers the identification only at the rates it listens at, reports the identity it is
// given, keeps its parameter blocks, power-on mode and DTR mode, fails single reads and writes
// on request, and logs every exchange in the order it arrives.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace veltra::test {

class FakeReaderLink : public ReaderLink {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Opening.
    bool portExists = true; // false: every open fails as for a missing port
    std::set<int> answersAtRates{19200};
    int answersAtFlags = 0;
    int handle = 7; // what an open that is answered returns

    // The connection and the reader's identity.
    std::string identity = "244K"; // type code and version character
    int identityResult = 4;        // what readDeviceType returns; -1 for no identity
    std::string model = "QN-V4 A";
    int readerMode = 1; // supportsReaderMode
    bool hidConnection = false;
    bool lanConnection = false;
    std::string port = "/dev/pts/9"; // portName; empty: the call fails
    std::string hidNode;             // hidDevicePath; empty: the call fails
    bool permissionDenied = false;   // openPort gives kOpenNoPermission
    int errorCode = 0;               // lastError

    // What the reader stores. A block that is missing or failing cannot be read.
    std::map<int, Bytes> blocks;
    std::set<int> failingReads;
    std::set<int> failingWrites;
    int storedMode = 1;
    bool modeReadable = true;
    bool dtrSupported = false;
    std::uint8_t dtr = 0;
    std::string remoteHost; // empty: the module gives no remote host

    // A keyboard reader's control channel (only on a HID connection): its character table,
    // character -> key code (modifier byte << 8 | usage id). A character without an entry is
    // answered 0xFF 0xFF, so is one set to key code 0. Set-key messages (0x12) change it.
    std::map<std::uint8_t, std::uint16_t> hidKeys;
    int hidSilentQueries = 0;        // this many queries get no answer (-1) first
    int hidRefusals = 0;             // this many control writes are refused (-1) first
    bool hidKeepsTable = false;      // takes set-key messages but keeps its table
    bool hidGoneAfterEscape = false; // answers nothing once it took ESC (0x12 0x1B ...)
    int modeSilentReads = 0;         // this many readMode calls get no answer (-1) first

    // Reader mode: the pieces the reader sends on its own, one piece per readReceived.
    std::deque<Bytes> received;

    // This computer's interfaces.
    std::vector<std::string> comPorts;
    std::vector<std::string> usbDevices;
    std::vector<std::string> lanReaders;
    std::set<std::string> pingAnswers;
    int devicesWithoutDriver = 0;
    bool cdcDriverInstalled = true;
    WaitCallback waitCallback = nullptr;
    void* waitContext = nullptr;

    bool hidGone = false; // set once a reader with hidGoneAfterEscape took ESC

    // Every exchange, e.g. "open COM3:1 19200 0 300", "setMode 0", "read 6", "write 2: 0D 0A".
    std::vector<std::string> log;

    // The log entries that changed the reader.
    std::vector<std::string> writes() const;
    // The log entries of opens.
    std::vector<std::string> opens() const;
    // What the connection procedure gives for this reader: its handle at 19200 baud, its model
    // and `features`.
    OpenResult openResult(std::uint32_t features) const;

    int listComPorts(char* buffer, int size) override;
    int listUsbDevices(char* buffer, int size) override;
    int searchLanReaders(char* buffer, int size) override;
    int searchLanDevices(char* buffer, int size) override;
    int pingLanDevice(const char* portName) override;
    int findUsbDevicesWithoutDriver() override;
    int isCdcDriverInstalled() override;
    void setWaitCallback(WaitCallback callback, void* context) override;

    int openPort(const char* name, int baudRate, int flags, int timeoutMs) override;
    int closePort(int handle) override;
    int lastError(int handle) override;
    int portName(int handle, char* buffer, int size) override;
    int isLanConnection(int handle) override;
    int isHidConnection(int handle) override;
    int supportsReaderMode(int handle) override;
    int readDeviceType(int handle, unsigned char* reply, int replySize, char* modelName,
                       int modelNameSize) override;
    int readMode(int handle) override;
    int setMode(int handle, int mode) override;
    int setModeStored(int handle, int mode) override;
    int setBaudRate(int handle, int baudRate, int parity) override;
    int setUsbInterface(int handle, int mode) override;
    int resetReader(int handle, int byte1, int byte2) override;
    int writeTransponderConfig(int handle, int index, const unsigned char* data,
                               int length) override;
    int writeTransponderPassword(int handle, const unsigned char* password, int length) override;
    int writeTransponderPasswordEx(int handle, int transponderType, const unsigned char* password,
                                   int length) override;
    int readParameterBlock(int handle, int block, unsigned char* buffer, int size) override;
    int writeParameterBlock(int handle, int block, const unsigned char* data, int length) override;
    int transact(int handle, int command, const unsigned char* data, int length,
                 unsigned char* reply, int replySize) override;
    int writeRaw(int handle, const unsigned char* data, int length) override;
    int readReceived(int handle, unsigned char* buffer, int size) override;
    int hidCommand(int handle, const unsigned char* data, int length, unsigned char* reply,
                   int replySize) override;
    int hidControlWrite(int handle, const unsigned char* data, int length) override;
    int hidDevicePath(const char* name, char* buffer, int size) override;
    int lanReadRemoteHost(const char* portName, char* address, int* port) override;
    // Not scripted: logged, and -1 (the Ethernet tests use the real library in namespaces).
    int lanReadSettings(const char* portName, char* name, char* address, char* subnetMask,
                        char* gateway) override;
    int lanSetAddress(const char* portName, const char* newAddress, const char* subnetMask,
                      const char* gateway) override;
    int lanWriteRemoteHost(const char* portName, const char* address, int port) override;
};

} // namespace veltra::test
