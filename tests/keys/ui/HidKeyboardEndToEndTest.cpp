// A keyboard reader end to end, on a real X server with the computer's layout set to German,
// French or US: the simulated reader (a US key table, reached through the stand-in hidapi)
// first types a telegram into the HID function test as it comes; the configuration sheet
// reads it, the layout question counts the differences and takes the computer's layout on
// "Ja", "Programmieren" programs that layout (traced, read back); then the reader types the
// same telegram again and the text box holds exactly it.
#include "config/DeviceFeatures.h"
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderConnector.h"
#include "keys/ui/CFunktionTestHID.h"
#include "keys/ui/CLayoutErrorDlg.h"
#include "keys/ui/CParamRegisterkarteHID.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TraceCapture.h"
#include "tests/support/VirtualDisplay.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace veltra::test {
namespace {

// Characters whose keys move between the US, German and French layouts.
const QString kTelegram = QStringLiteral("zZyY#\\@<>|");

template <typename Predicate>
bool processEventsUntil(Predicate done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// What the reader types into the function test's text box.
QString typedIntoFunctionTest(SimProcess& sim) {
    CFunktionTestHID dialog;
    dialog.show();
    dialog.activateWindow();
    dialog.raise();
    if (!processEventsUntil([&] {
            return dialog.isActiveWindow() && QApplication::focusWidget() == dialog.textBox();
        })) {
        ADD_FAILURE() << "the function test did not get the keyboard focus";
        return {};
    }
    EXPECT_TRUE(sim.typeText(kTelegram.toStdString()));
    processEventsUntil([&] { return dialog.textBox()->toPlainText().size() >= kTelegram.size(); });
    processEventsUntil([] { return false; }, 100); // nothing more arrives
    return dialog.textBox()->toPlainText();
}

class HidKeyboardEndToEnd : public ::testing::TestWithParam<const char*> {};

TEST_P(HidKeyboardEndToEnd, LayoutSyncMakesTheReaderTypeWhatItReads) {
    if (!virtualDisplayAvailable()) {
        GTEST_SKIP() << "Xvfb or setxkbmap is not installed (scripts/setup.sh installs both)";
    }
    const std::string layout = GetParam();
    VirtualDisplay display;
    ASSERT_TRUE(display.ready());
    ASSERT_TRUE(display.setLayout(layout));
    ::setenv("DISPLAY", display.name().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    TraceCapture trace; // before the application: it sets the runtime folder

    static int argc = 1;
    static char name[] = "hid_keyboard_end_to_end";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Veltra Tests"));
    QCoreApplication::setApplicationName(QStringLiteral("HID End To End"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    ScriptedMessageBox messages;
    setMessageBox(&messages);

    SimProcess sim({"--hid", "--type-into-display", "--serial", "1650-004711"});
    ::setenv("QN_SIM_HID_SOCKETS", sim.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    ConnectionTarget target;
    target.connectionString = "1650-004711 HID";
    target.kind = InterfaceKind::Hid;
    target.timeoutMs = 500;
    sheetServices() = SheetServices{};
    sheetServices().connectReader = [&](QWidget*) { return openReaderConnection(target); };
    sheetServices().closeReader = [](int& handle) {
        closeReaderConnection(handle);
        handle = 0;
    };

    // The US table on a US computer types right; on the others it types the wrong characters.
    const QString before = typedIntoFunctionTest(sim);
    if (layout == "us") {
        EXPECT_EQ(before, kTelegram);
    } else {
        EXPECT_NE(before, kTelegram);
        EXPECT_EQ(before.size(), kTelegram.size()) << before.toStdString();
    }

    const OpenResult opened = openReaderConnection(target);
    ASSERT_GT(opened.handle, 0);
    ASSERT_NE(opened.features & feature::HidReader, 0u);
    QString question;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<CLayoutErrorDlg*>(QApplication::activeModalWidget())) {
            question = dialog->messageText();
            dialog->yesButton()->click();
        }
    });
    answer.start(20);
    CSeriellEinstellDlg sheet(nullptr, opened);
    ASSERT_TRUE(sheet.readReader());
    answer.stop();
    ASSERT_NE(sheet.hidParameterPage(), nullptr);
    if (layout != "us") {
        EXPECT_TRUE(question.contains(QStringLiteral(" Stellen "))) << question.toStdString();
    }

    ASSERT_TRUE(sheet.programReader())
        << (messages.shown.empty() ? std::string() : messages.shown.back().toStdString());
    const std::string traced = trace.all();
    EXPECT_NE(traced.find("Tastenbelegung gelesen"), std::string::npos) << traced;
    EXPECT_NE(traced.find("Tastenbelegung speichern"), std::string::npos) << traced;

    EXPECT_EQ(typedIntoFunctionTest(sim), kTelegram);
    setMessageBox(nullptr);
    sheetServices() = SheetServices{};
}

INSTANTIATE_TEST_SUITE_P(Layouts, HidKeyboardEndToEnd, ::testing::Values("de", "fr", "us"));

} // namespace
} // namespace veltra::test
