// What the configuration sheet and its pages need from the program around them: the connection
// procedure with its messages, the stored interface baud rate, and the dialogs that the pages'
// "Funktionstest" and "Inhalt lesen" buttons open. The program installs the real ones at start;
// widget tests install their own.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <functional>
#include <string>

class QWidget;

namespace veltra {

struct SheetServices {
    // Opens the stored interface like every main-window command, showing its messages. Returns
    // the opened reader (programming mode, owned by the caller) with the baud-rate code of the
    // interface and its DeviceFeatures, or a value with handle 0.
    std::function<OpenResult(QWidget* parent)> connectReader;
    // Operating mode 2, then close; the handle becomes 0.
    std::function<void(int& handle)> closeReader;
    // The stored interface baud-rate code ("Port"/"Baudrate") and storing a new one.
    std::function<int()> storedBaudCode;
    std::function<void(int baudCode)> storeBaudCode;
    // The stored interface name ("Port"/"Name", e.g. "COM3", "USB: 1319-0042 HID") and storing one.
    std::function<std::string()> interfaceName;
    std::function<void(const std::string& name)> storeInterfaceName;
    // The function test of a serial reader and of a USB HID reader, modal.
    std::function<void(QWidget* parent)> openFunctionTest;
    std::function<void(QWidget* parent)> openHidFunctionTest;
    // The configuration report ("Inhalt eines programmierten Gerätes lesen"), modal, with a
    // connection of its own.
    std::function<void(QWidget* parent)> openReport;
};

// The services in use. Empty functions mean the service is not there: callers then do nothing.
SheetServices& sheetServices();

} // namespace veltra
