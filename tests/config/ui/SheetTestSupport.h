// Shared pieces of the configuration sheet's widget tests: one QApplication, settings in a
// fresh temporary folder, a message box that records and answers, and the sheet services built
// on the real connection procedure against a simulated reader.
#pragma once

#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/ScriptedMessageBox.h"
#include "widgets/IMessageBox.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace veltra::test {

// An opened reader as the main window hands it to the sheet or the report.
inline OpenResult openedReader(int handle, int baudCode, std::uint32_t features) {
    OpenResult reader;
    reader.handle = handle;
    reader.baudCode = baudCode;
    reader.features = features;
    return reader;
}

inline QApplication& sheetApplication() {
    static int argc = 1;
    static char name[] = "sheet_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Veltra Tests"));
        QCoreApplication::setApplicationName(QStringLiteral("Sheet Tests"));
        return created;
    }();
    return *app;
}

// Each test: the application, empty settings, a temporary folder, the recording message box, and
// services that connect to `port` (empty: no reader answers) the way the program's connection
// procedure does, storing the baud-rate code in `storedBaud`.
class SheetTest : public ::testing::Test {
protected:
    SheetTest() {
        sheetApplication();
        // Settings go to Qt's test location, under a name of their own, emptied for every test.
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        setMessageBox(&messages);
        SheetServices& services = sheetServices();
        services = SheetServices{};
        services.connectReader = [this](QWidget*) {
            ++connects;
            if (port.empty()) {
                return OpenResult{};
            }
            ConnectionTarget target;
            target.connectionString = port;
            target.baudCode = storedBaud;
            target.timeoutMs = 500;
            OpenResult opened = openReaderConnection(target);
            if (opened.handle <= 0) {
                return OpenResult{};
            }
            opened.baudCode = storedBaud;
            return opened;
        };
        services.closeReader = [](int& handle) {
            closeReaderConnection(handle);
            handle = 0;
        };
        services.storedBaudCode = [this] { return storedBaud; };
        services.storeBaudCode = [this](int code) { storedBaud = code; };
    }
    ~SheetTest() override {
        sheetServices() = SheetServices{};
        setMessageBox(nullptr);
    }

    // Opens the simulated reader as the main window does before it opens a dialog.
    OpenResult openReader() {
        ConnectionTarget target;
        target.connectionString = port;
        target.baudCode = storedBaud;
        target.timeoutMs = 500;
        return openReaderConnection(target);
    }

    QTemporaryDir tempDir;
    ScriptedMessageBox messages;
    std::string port;
    int storedBaud = 19200;
    int connects = 0;
};

} // namespace veltra::test
