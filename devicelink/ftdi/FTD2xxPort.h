// FTDI's D2XX library, loaded at run time: the file named by the environment variable
// QN_FTD2XX_LIBRARY, else libftd2xx.so. Each object loads it on first use and releases it when
// destroyed. An entry point the library lacks stays null, and only the calls that need it fail.
#ifndef QNLINK_FTD2XXPORT_H
#define QNLINK_FTD2XXPORT_H

#include "devicelink/ftdi/D2xxTypes.h"

#include <string>
#include <vector>

namespace qnlink {

class CFTD2xxPort {
public:
    CFTD2xxPort() = default;
    ~CFTD2xxPort();
    CFTD2xxPort(const CFTD2xxPort&) = delete;
    CFTD2xxPort& operator=(const CFTD2xxPort&) = delete;

    // The file that load() opens.
    static std::string libraryName();
    // Loads the library and resolves its entry points, once. False when it cannot be loaded.
    bool load();

    // Serial numbers of the present devices that no program holds open, in the library's
    // order; devices without a serial number are left out. Empty without the library or its
    // two listing calls.
    std::vector<std::string> freeSerialNumbers();

    // The entry points, null while not loaded or when the library lacks one.
    QnFtSetBaudRate setBaudRate = nullptr;
    QnFtSetLatencyTimer setLatencyTimer = nullptr;
    QnFtSetUsbParameters setUsbParameters = nullptr;
    QnFtListDevices listDevices = nullptr;
    QnFtCreateDeviceInfoList createDeviceInfoList = nullptr;
    QnFtGetDeviceInfoList getDeviceInfoList = nullptr;
    QnFtGetDeviceInfoDetail getDeviceInfoDetail = nullptr;
    QnFtResetDevice resetDevice = nullptr;
    QnFtW32CreateFile createFile = nullptr;
    QnFtW32CloseHandle closeHandle = nullptr;
    QnFtW32ReadFile readFile = nullptr;
    QnFtW32WriteFile writeFile = nullptr;
    QnFtW32GetLastError getLastError = nullptr;
    QnFtW32GetOverlappedResult getOverlappedResult = nullptr;
    QnFtW32ClearCommBreak clearCommBreak = nullptr;
    QnFtW32ClearCommError clearCommError = nullptr;
    QnFtW32EscapeCommFunction escapeCommFunction = nullptr;
    QnFtW32GetCommModemStatus getCommModemStatus = nullptr;
    QnFtW32GetCommState getCommState = nullptr;
    QnFtW32GetCommTimeouts getCommTimeouts = nullptr;
    QnFtW32PurgeComm purgeComm = nullptr;
    QnFtW32SetCommBreak setCommBreak = nullptr;
    QnFtW32SetCommMask setCommMask = nullptr;
    QnFtW32SetCommState setCommState = nullptr;
    QnFtW32SetCommTimeouts setCommTimeouts = nullptr;
    QnFtW32SetupComm setupComm = nullptr;
    QnFtW32WaitCommEvent waitCommEvent = nullptr;

private:
    void* library_ = nullptr;
    bool tried_ = false;
};

// Whether the D2XX library can be loaded at all.
bool ftdiLibraryLoads();

} // namespace qnlink

#endif
