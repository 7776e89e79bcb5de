#include "devicelink/ftdi/FTD2xxPort.h"

#include "devicelink/DebugOutput.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace qnlink {

namespace {

// One entry point: its exported name and where its address goes.
template <typename Fn>
void resolve(void* library, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(dlsym(library, name));
    if (slot == nullptr) {
        debugOutput(std::string("Fehler: Kann ") + name + " nicht initialisieren");
    }
}

// More records than any PC has FTDI devices; a larger count from the library is not trusted.
// FT_GetDeviceInfoList writes its whole list whatever room the caller made, so such a list is
// not read at all: a shorter buffer would be overrun.
constexpr QnD2xxDword kMaxDevices = 256;

} // namespace

CFTD2xxPort::~CFTD2xxPort() {
    if (library_ != nullptr) {
        dlclose(library_);
    }
}

std::string CFTD2xxPort::libraryName() {
    const char* named = std::getenv("QN_FTD2XX_LIBRARY");
    return named != nullptr && *named != '\0' ? named : "libftd2xx.so";
}

bool CFTD2xxPort::load() {
    if (tried_) {
        return library_ != nullptr;
    }
    tried_ = true;
    const std::string name = libraryName();
    library_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        debugOutput("Fehler: Kann " + name + " nicht laden");
        return false;
    }
    resolve(library_, "FT_SetBaudRate", setBaudRate);
    resolve(library_, "FT_SetLatencyTimer", setLatencyTimer);
    resolve(library_, "FT_SetUSBParameters", setUsbParameters);
    resolve(library_, "FT_ListDevices", listDevices);
    resolve(library_, "FT_CreateDeviceInfoList", createDeviceInfoList);
    resolve(library_, "FT_GetDeviceInfoList", getDeviceInfoList);
    resolve(library_, "FT_GetDeviceInfoDetail", getDeviceInfoDetail);
    resolve(library_, "FT_ResetDevice", resetDevice);
    resolve(library_, "FT_W32_CreateFile", createFile);
    resolve(library_, "FT_W32_CloseHandle", closeHandle);
    resolve(library_, "FT_W32_ReadFile", readFile);
    resolve(library_, "FT_W32_WriteFile", writeFile);
    resolve(library_, "FT_W32_GetLastError", getLastError);
    resolve(library_, "FT_W32_GetOverlappedResult", getOverlappedResult);
    resolve(library_, "FT_W32_ClearCommBreak", clearCommBreak);
    resolve(library_, "FT_W32_ClearCommError", clearCommError);
    resolve(library_, "FT_W32_EscapeCommFunction", escapeCommFunction);
    resolve(library_, "FT_W32_GetCommModemStatus", getCommModemStatus);
    resolve(library_, "FT_W32_GetCommState", getCommState);
    resolve(library_, "FT_W32_GetCommTimeouts", getCommTimeouts);
    resolve(library_, "FT_W32_PurgeComm", purgeComm);
    resolve(library_, "FT_W32_SetCommBreak", setCommBreak);
    resolve(library_, "FT_W32_SetCommMask", setCommMask);
    resolve(library_, "FT_W32_SetCommState", setCommState);
    resolve(library_, "FT_W32_SetCommTimeouts", setCommTimeouts);
    resolve(library_, "FT_W32_SetupComm", setupComm);
    resolve(library_, "FT_W32_WaitCommEvent", waitCommEvent);
    return true;
}

std::vector<std::string> CFTD2xxPort::freeSerialNumbers() {
    std::vector<std::string> serials;
    if (!load()) {
        return serials;
    }
    if (createDeviceInfoList == nullptr) {
        debugOutput("FT_CreateDeviceInfoList ist nicht vorhanden!");
        return serials;
    }
    if (getDeviceInfoList == nullptr) {
        debugOutput("FT_GetDeviceInfoList ist nicht vorhanden!");
        return serials;
    }
    QnD2xxDword count = 0;
    if (createDeviceInfoList(&count) != QN_FT_OK || count == 0) {
        return serials;
    }
    if (count > kMaxDevices) {
        return serials;
    }
    std::vector<QnFtDeviceListInfoNode> nodes(count);
    QnD2xxDword filled = count;
    if (getDeviceInfoList(nodes.data(), &filled) != QN_FT_OK) {
        return serials;
    }
    for (QnD2xxDword i = 0; i < std::min(filled, count); ++i) {
        const QnFtDeviceListInfoNode& node = nodes[i];
        // The serial number field need not be terminated when it is full.
        const std::string serial(node.SerialNumber,
                                 strnlen(node.SerialNumber, sizeof node.SerialNumber));
        // A device that a program holds open has a handle here (this process) or the "opened"
        // flag and no readable serial number (another process).
        if (node.ftHandle == nullptr && (node.Flags & QN_FT_FLAGS_OPENED) == 0 && !serial.empty()) {
            serials.push_back(serial);
        }
    }
    return serials;
}

bool ftdiLibraryLoads() {
    CFTD2xxPort library;
    return library.load();
}

} // namespace qnlink
