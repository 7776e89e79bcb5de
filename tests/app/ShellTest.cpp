// The program's windows against real settings, the real device link and the reader simulator:
// the interface dialog, the connection procedure, the power-on mode dialog and the main window's
// start, language and close rules.
#include "tests/app/AppTestSupport.h"

#include "app/DeviceLinkPortEnumerator.h"
#include "app/DeviceMonitor.h"
#include "app/MainFrame.h"
#include "app/PortSelectDlg.h"
#include "app/ReaderConfigDlg.h"
#include "app/ReaderConnection.h"
#include "config/DeviceFeatures.h"
#include "network/ui/CIPAddrSuche.h"
#include "resources/strings/StringTable.h"
#include "tests/support/FakeReaderLink.h"
#include "tests/support/NetworkLab.h"
#include "tests/support/SimProcess.h"
#include "widgets/WaitIndicator.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace veltra::test {
namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Folder holding the program's translation file (tests land next to the program).
QString programDir() {
    return QCoreApplication::applicationDirPath();
}

class PortDialogTest : public AppTest {};

TEST_F(PortDialogTest, LineFormatCombosFollowTheStoredCode) {
    struct Case {
        int code;
        const char* baud; // nullptr: no rate selected
        const char* parity;
        const char* stopBits;
    };
    const Case cases[] = {
        {9602, "9600", "ungerade", "1"}, {19203, "19200", "keine", "2"},
        {9601, "9600", "gerade", "1"},   {230400, "230400", "keine", "1"},
        {12345, nullptr, "keine", "1"},
    };
    for (const Case& c : cases) {
        store(QStringLiteral("Port/Baudrate"), c.code);
        AppSettings settings;
        FixedPorts ports;
        CPortSelectDlg dialog(settings, ports);
        if (c.baud == nullptr) {
            EXPECT_EQ(dialog.baudCombo()->currentIndex(), -1) << c.code;
        } else {
            EXPECT_EQ(dialog.baudCombo()->currentText(), QString::fromLatin1(c.baud)) << c.code;
        }
        EXPECT_EQ(dialog.parityCombo()->currentText(), QString::fromUtf8(c.parity)) << c.code;
        EXPECT_EQ(dialog.stopBitsCombo()->currentText(), QString::fromLatin1(c.stopBits)) << c.code;
    }
}

TEST_F(PortDialogTest, OkStoresTheChosenLineFormat) {
    struct Case {
        int baudIndex; // -1: no rate chosen
        int parity;
        int stopBits;
        int stored;
    };
    const Case cases[] = {
        {3, 1, 1, 19201}, // "gerade" with stop bits "2": only the parity is kept
        {3, 0, 1, 19203}, {2, 2, 0, 9602},
        {4, 0, 0, 38400}, {-1, 1, 0, 4800}, // no rate chosen: the stored code stays
    };
    for (const Case& c : cases) {
        store(QStringLiteral("Port/Baudrate"), 4800);
        AppSettings settings;
        FixedPorts ports;
        CPortSelectDlg dialog(settings, ports);
        dialog.baudCombo()->setCurrentIndex(c.baudIndex);
        dialog.parityCombo()->setCurrentIndex(c.parity);
        dialog.stopBitsCombo()->setCurrentIndex(c.stopBits);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(stored(QStringLiteral("Port/Baudrate")).toInt(), c.stored) << c.stored;
    }
}

TEST_F(PortDialogTest, SingleInterfaceIsPreselectedAndStored) {
    store(QStringLiteral("Port/Name"), QStringLiteral("COM9"));
    AppSettings settings;
    FixedPorts ports;
    ports.set(PortKind::Serial, {QStringLiteral("/dev/ttyUSB7")});
    CPortSelectDlg dialog(settings, ports);
    ASSERT_EQ(dialog.portList()->count(), 1);
    ASSERT_EQ(dialog.portList()->selectedItems().size(), 1);
    EXPECT_EQ(dialog.selection().currentName(), QStringLiteral("/dev/ttyUSB7"));
    dialog.accept();
    EXPECT_EQ(stored(QStringLiteral("Port/Name")).toString(), QStringLiteral("/dev/ttyUSB7"));
}

TEST_F(PortDialogTest, UnlistedNameWithSeveralInterfacesSelectsNothing) {
    store(QStringLiteral("Port/Name"), QStringLiteral("COM9"));
    AppSettings settings;
    FixedPorts ports;
    ports.set(PortKind::Serial, {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB7")});
    CPortSelectDlg dialog(settings, ports);
    EXPECT_TRUE(dialog.portList()->selectedItems().isEmpty());
    EXPECT_TRUE(dialog.selection().currentName().isEmpty());
    dialog.accept();
    // Without a selection the stored name stays as it was.
    EXPECT_EQ(stored(QStringLiteral("Port/Name")).toString(), QStringLiteral("COM9"));
}

TEST_F(PortDialogTest, OutOfRangeValuesAreRefusedAndTheDialogStaysOpen) {
    struct Case {
        const char* timeout;
        const char* address;
        int low;
        int high;
    };
    const Case cases[] = {
        {"9", "1", 10, 300000}, {"300001", "1", 10, 300000}, {"abc", "1", 10, 300000},
        {"300", "0", 1, 255},   {"300", "256", 1, 255},      {"300", "", 1, 255},
    };
    for (const Case& c : cases) {
        box.shown.clear();
        store(QStringLiteral("Port/Timeout"), 300);
        store(QStringLiteral("Port/Adresse"), 1);
        AppSettings settings;
        FixedPorts ports;
        CPortSelectDlg dialog(settings, ports);
        dialog.timeoutEdit()->setText(QString::fromLatin1(c.timeout));
        dialog.addressEdit()->setText(QString::fromLatin1(c.address));
        dialog.accept();
        EXPECT_NE(dialog.result(), QDialog::Accepted) << c.timeout << "/" << c.address;
        ASSERT_EQ(box.shown.size(), 1u) << c.timeout << "/" << c.address;
        EXPECT_EQ(box.shown[0], strf(70104, c.low, c.high));
        EXPECT_EQ(stored(QStringLiteral("Port/Timeout")).toInt(), 300);
        EXPECT_EQ(stored(QStringLiteral("Port/Adresse")).toInt(), 1);
    }
    // The limits themselves are accepted.
    AppSettings settings;
    FixedPorts ports;
    CPortSelectDlg dialog(settings, ports);
    dialog.timeoutEdit()->setText(QStringLiteral("300000"));
    dialog.addressEdit()->setText(QStringLiteral("255"));
    dialog.ethernetCheck()->setChecked(true);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(stored(QStringLiteral("Port/Timeout")).toInt(), 300000);
    EXPECT_EQ(stored(QStringLiteral("Port/Adresse")).toInt(), 255);
    EXPECT_EQ(stored(QStringLiteral("Port/EthernetAktiv")).toInt(), 1);
}

TEST_F(PortDialogTest, EntryKindDecidesLineControlsAndUsbModeButtons) {
    struct Case {
        const char* entry;
        bool lineControls;
        bool vcomButton;
        bool hidChecked;
        bool vcomChecked;
    };
    const Case cases[] = {
        {"/dev/ttyS0", true, false, false, false},
        {"/dev/ttyACM0 [Zem Virtual COM]", true, true, false, true},
        {"USB: 1460-0001 HID", false, true, true, false},
        {"USB: FT12AB", false, false, false, false},
        {"LAN: 10.0.0.9", false, false, false, false},
    };
    store(QStringLiteral("Port/EthernetAktiv"), 1);
    AppSettings settings;
    FixedPorts ports;
    ports.set(PortKind::Serial,
              {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyACM0 [Zem Virtual COM]")});
    ports.set(PortKind::Usb, {QStringLiteral("1460-0001 HID"), QStringLiteral("FT12AB")});
    ports.set(PortKind::Lan, {QStringLiteral("10.0.0.9")});
    CPortSelectDlg dialog(settings, ports);
    ASSERT_EQ(dialog.portList()->count(), 5);
    for (const Case& c : cases) {
        const auto found =
            dialog.portList()->findItems(QString::fromUtf8(c.entry), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << c.entry;
        dialog.portList()->setCurrentItem(found.first());
        EXPECT_EQ(dialog.baudCombo()->isEnabled(), c.lineControls) << c.entry;
        EXPECT_EQ(dialog.parityCombo()->isEnabled(), c.lineControls) << c.entry;
        EXPECT_EQ(dialog.stopBitsCombo()->isEnabled(), c.lineControls) << c.entry;
        // Both USB mode buttons go together: a reader can be switched either way.
        EXPECT_EQ(dialog.hidModeButton()->isEnabled(), c.vcomButton) << c.entry;
        EXPECT_EQ(dialog.virtualComButton()->isEnabled(), c.vcomButton) << c.entry;
        EXPECT_EQ(dialog.hidModeButton()->isChecked(), c.hidChecked) << c.entry;
        EXPECT_EQ(dialog.virtualComButton()->isChecked(), c.vcomChecked) << c.entry;
    }
}

TEST_F(PortDialogTest, PluggedInReaderAppearsWithoutUserAction) {
    AppSettings settings;
    FixedPorts ports;
    ports.set(PortKind::Serial, {QStringLiteral("/dev/ttyS0")});
    CPortSelectDlg dialog(settings, ports);
    dialog.show();
    // The kernel reports the USB device before its serial port exists.
    dialog.deviceChange(kDeviceArrival);
    EXPECT_EQ(dialog.refreshCounter(), 1);
    EXPECT_EQ(dialog.portList()->count(), 1);
    ports.set(PortKind::Serial,
              {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyACM0 [Zem Virtual COM]")});
    QElapsedTimer waited;
    waited.start();
    while (dialog.portList()->count() < 2 && waited.elapsed() < 5000) {
        QTest::qWait(50);
    }
    EXPECT_EQ(dialog.portList()->count(), 2);
    EXPECT_LE(waited.elapsed(), 5000);
    // The repeats stop after five.
    QTest::qWait(5500);
    EXPECT_EQ(dialog.refreshCounter(), 0);
}

TEST_F(PortDialogTest, DeviceEventsWaitUntilTheReaderHasAnswered) {
    AppSettings settings;
    FixedPorts ports;
    CPortSelectDlg dialog(settings, ports);
    QTest::qWait(50);
    const int before = ports.calls[0];
    // A device event delivered while the device link waits must not call into it.
    handleReaderWait(ReaderLink::kWaitBegin);
    dialog.deviceChange(kDeviceArrival);
    QTest::qWait(300);
    EXPECT_EQ(ports.calls[0], before);
    handleReaderWait(ReaderLink::kWaitEnd);
    QTest::qWait(300);
    EXPECT_GT(ports.calls[0], before);
    EXPECT_EQ(dialog.refreshCounter(), 1);
}

TEST_F(PortDialogTest, MissingDriverIsOfferedOnce) {
    AppSettings settings;
    FixedPorts ports;
    ports.missingDrivers = 3;
    CPortSelectDlg dialog(settings, ports);
    dialog.deviceChange(kDeviceArrival);
    dialog.deviceChange(kRefreshLists);
    ASSERT_EQ(box.asked.size(), 1u);
    EXPECT_EQ(box.asked[0], str(10133) + QStringLiteral("\r\n") + str(70350) +
                                QStringLiteral("\r\n") + str(10134) + QStringLiteral("\r\n") +
                                str(10135) + QStringLiteral("\r\n"));
    // The FTDI text names both ways: FTDI's library and the kernel driver's udev rule.
    for (const char* way : {"libftd2xx.so", "ftdi_sio", "71-quarnel-veltra-ftdi.rules"}) {
        EXPECT_TRUE(str(70350).contains(QLatin1String(way))) << way;
    }
    EXPECT_FALSE(CPortSelectDlg::refreshRunning());
}

TEST_F(PortDialogTest, VirtualComWithoutDriverAsksForIt) {
    store(QStringLiteral("Port/Name"), QStringLiteral("USB: 1650-0003 HID"));
    AppSettings settings;
    FixedPorts ports;
    ports.cdc = false;
    ports.set(PortKind::Usb, {QStringLiteral("1650-0003 HID")});
    CPortSelectDlg dialog(settings, ports);
    ASSERT_TRUE(dialog.virtualComButton()->isEnabled());
    dialog.virtualComButton()->click();
    ASSERT_EQ(box.asked.size(), 1u);
    EXPECT_EQ(box.asked[0],
              str(10134) + QStringLiteral("\r\n") + str(10135) + QStringLiteral("\r\n"));
    // Still a HID reader: the buttons show its mode again.
    EXPECT_TRUE(dialog.hidModeButton()->isChecked());
}

TEST_F(PortDialogTest, VirtualComSwitchesTheKeyboardReaderAndForgetsItsName) {
    struct Case {
        bool opens;
        std::vector<std::string> log;
        QString nameAfter;
    };
    const Case cases[] = {
        {true,
         {"open 1650-0003 HID 19200 0 100", "setUsbInterface 2", "resetReader 0 0", "close 10001"},
         QString()},
        // A reader that cannot be opened is left alone.
        {false, {"open 1650-0003 HID 19200 0 100"}, QStringLiteral("USB: 1650-0003 HID")},
    };
    for (const Case& c : cases) {
        store(QStringLiteral("Port/Name"), QStringLiteral("USB: 1650-0003 HID"));
        AppSettings settings;
        FixedPorts ports;
        ports.set(PortKind::Usb, {QStringLiteral("1650-0003 HID")});
        FakeReaderLink link;
        link.handle = 10001;
        link.portExists = c.opens;
        CPortSelectDlg dialog(settings, ports, nullptr, link);
        ASSERT_TRUE(dialog.virtualComButton()->isEnabled());
        dialog.virtualComButton()->click();
        EXPECT_EQ(link.log, c.log) << c.opens;
        EXPECT_EQ(dialog.selection().currentName(), c.nameAfter) << c.opens;
    }
}

TEST_F(PortDialogTest, HidModeSwitchesAVirtualComReaderAndForgetsItsName) {
    const QString entry = QStringLiteral("/dev/ttyACM0 [Zem Virtual COM]");
    store(QStringLiteral("Port/Name"), entry);
    AppSettings settings;
    FixedPorts ports;
    ports.set(PortKind::Serial, {entry});
    FakeReaderLink link;
    link.handle = 3;
    CPortSelectDlg dialog(settings, ports, nullptr, link);
    ASSERT_TRUE(dialog.hidModeButton()->isEnabled());
    dialog.hidModeButton()->click();
    EXPECT_EQ(link.log,
              (std::vector<std::string>{"open " + entry.toStdString() + " 19200 0 100",
                                        "setUsbInterface 1", "resetReader 0 0", "close 3"}));
    EXPECT_TRUE(dialog.selection().currentName().isEmpty());
}

// ---- Connection procedure against the simulator ------------------------------------------------

class ConnectionTest : public AppTest {
protected:
    QWidget window;
    FixedPorts ports;
};

TEST_F(ConnectionTest, BaudRateSearchFindsTheReaderAndStoresItsRate) {
    SimProcess sim({"--baud", "4800"});
    store(QStringLiteral("Port/Name"), q(sim.port()));
    store(QStringLiteral("Port/Baudrate"), 19200);
    AppSettings settings;
    OpenResult reader = ConnectReader({settings, ports, &window}, false);
    ASSERT_GT(reader.handle, 0);
    EXPECT_EQ(reader.baudCode, 4800);
    EXPECT_EQ(stored(QStringLiteral("Port/Baudrate")).toInt(), 4800);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0], strf(290, 4800));
    CloseReader(reader.handle);
    EXPECT_EQ(reader.handle, 0);
    sim.waitFor("mode", "2");
}

TEST_F(ConnectionTest, RefusedReadersNameTheReasonInTitleAndMessage) {
    struct Case {
        std::vector<std::string> args;
        int result;
        int text;
        bool titleNamesReader; // refused after identifying itself
    };
    const Case cases[] = {
        {{"--type", "990"}, kOpenUnsupported, 152, false},
        {{"--ident", "24"}, kOpenNoIdentity, 151, false},
        {{"--type", "040", "--version", "9"}, kOpenNoReaderMode, 205, true},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.args);
        store(QStringLiteral("Port/Name"), q(sim.port()));
        AppSettings settings;
        const OpenResult refused = OpenConfiguredReader({settings, ports, &window});
        EXPECT_EQ(refused.handle, c.result);
        if (c.titleNamesReader) {
            EXPECT_TRUE(
                window.windowTitle().endsWith(q(sim.port()) + QStringLiteral(":1  FW V1.09>")))
                << window.windowTitle().toStdString();
        } else {
            EXPECT_EQ(window.windowTitle(), str(57344) + QLatin1Char(' ') + str(c.text));
        }
        EXPECT_EQ(refused.features, 0u);
        EXPECT_TRUE(box.shown.empty());

        EXPECT_EQ(ConnectReader({settings, ports, &window}, true).handle, 0);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0], str(c.text));
        box.shown.clear();
        // The refused reader is not left in programming mode.
        sim.waitFor("mode", "2");
    }
}

TEST_F(ConnectionTest, TitleAndFeaturesOfAnAcceptedReader) {
    struct Case {
        const char* type;
        const char* version;
        const char* firmware;
        std::uint32_t mustHave;
        std::uint32_t mustLack;
    };
    const Case cases[] = {
        {"244", "7", "FW V1.07", feature::PowerOnMode | feature::NoFilter | feature::HdxFormats,
         feature::NibbleSwap | feature::LanConnection | feature::HidReader},
        // A version character outside 0-9, A-Z, a-z counts as 255 and passes every threshold.
        {"044", "#", "FW V1.255", feature::PowerOnMode | feature::DecimalByteRange, 0},
        {"044", "4", "FW V1.04", 0, feature::PowerOnMode | feature::DecimalByteRange},
    };
    for (const Case& c : cases) {
        SimProcess sim({"--type", c.type, "--version", c.version});
        store(QStringLiteral("Port/Name"), q(sim.port()));
        AppSettings settings;
        OpenResult reader = OpenConfiguredReader({settings, ports, &window});
        ASSERT_GT(reader.handle, 0) << c.type;
        const std::uint32_t features = reader.features;
        EXPECT_EQ(features & c.mustHave, c.mustHave) << c.type << c.version;
        EXPECT_EQ(features & c.mustLack, 0u) << c.type << c.version;
        EXPECT_EQ(features & feature::SerialInterface, feature::SerialInterface);
        const QString title = window.windowTitle();
        EXPECT_TRUE(title.startsWith(QStringLiteral("Quarnel Veltra V") + productVersion() +
                                     QStringLiteral(" <")))
            << title.toStdString();
        EXPECT_TRUE(title.endsWith(QLatin1Char(' ') + q(sim.port()) + QStringLiteral(":1  ") +
                                   QString::fromLatin1(c.firmware) + QLatin1Char('>')))
            << title.toStdString();
        sim.waitFor("mode", "0");
        CloseReader(reader.handle);
    }
}

// A simulated keyboard reader through the stand-in hidapi: the interface dialog lists it as
// "USB: <serial> HID", the main window's title names it with "USB:", and "Virtual Com" switches
// the reader to its virtual COM interface.
TEST_F(ConnectionTest, KeyboardReaderIsListedNamedAndSwitchedToVirtualCom) {
    const std::string state = QDir(QString::fromStdString(::testing::TempDir()))
                                  .filePath(QStringLiteral("hid-%1.txt").arg(::getpid()))
                                  .toStdString();
    std::ofstream(state) << "type=551\nusb_interface=1\n";
    SimProcess sim({"--hid", "--serial", "1650-004711", "--state", state});
    ::setenv("QN_SIM_HID_SOCKETS", sim.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    DeviceLinkPortEnumerator deviceLink;
    ASSERT_EQ(deviceLink.list(PortKind::Usb), QStringList{QStringLiteral("1650-004711 HID")});

    ports.set(PortKind::Usb, deviceLink.list(PortKind::Usb));
    store(QStringLiteral("Port/Name"), QStringLiteral("USB: 1650-004711 HID"));
    AppSettings settings;
    OpenResult reader = OpenConfiguredReader({settings, ports, &window});
    ASSERT_GT(reader.handle, 10000);
    EXPECT_NE(reader.features & feature::HidReader, 0u);
    EXPECT_TRUE(window.windowTitle().contains(QStringLiteral(" USB:1650-004711 HID")))
        << window.windowTitle().toStdString();
    CloseReader(reader.handle);

    CPortSelectDlg dialog(settings, ports);
    ASSERT_EQ(dialog.portList()->count(), 1);
    EXPECT_EQ(dialog.portList()->item(0)->text(), QStringLiteral("USB: 1650-004711 HID"));
    dialog.portList()->setCurrentRow(0);
    ASSERT_TRUE(dialog.hidModeButton()->isChecked());
    dialog.virtualComButton()->click();
    EXPECT_TRUE(sim.waitFor("usb_interface", "2"));
}

// "IP ?" in the interface dialog: the IP address search finds the simulated Ethernet reader in
// a network namespace, and the reader chosen there becomes the dialog's interface by its name.
TEST_F(ConnectionTest, IpSearchHandsTheChosenReaderToTheInterfaceDialog) {
    NetworkLab lab;
    if (!lab.create()) {
        VELTRA_SKIP_WITHOUT_NETNS(lab.reason());
    }
    lab.link("pa", "10.81.1.1/24", "m", "10.81.1.10/24");
    auto [program, args] = lab.inModuleSide("m", QN_SIM_PATH);
    args.insert(args.end(), {"--lan", "10.81.1.10", "--lan-name", "DOOR"});
    SimProcess module(program, args);
    lab.enterProgramSide();

    store(QStringLiteral("Port/EthernetAktiv"), 1);
    AppSettings settings;
    CPortSelectDlg dialog(settings, ports);
    QString listed;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* search = qobject_cast<CIPAddrSuche*>(QApplication::activeModalWidget());
        if (search == nullptr || search->list()->count() == 0) {
            return;
        }
        listed = search->list()->item(0)->text();
        search->list()->setCurrentRow(0);
        search->closeButton()->click();
    });
    chooser.start(20);
    dialog.ipButton()->click();
    chooser.stop();
    EXPECT_EQ(listed, QStringLiteral("10.81.1.10-10001"));
    EXPECT_EQ(dialog.selection().currentName(), QStringLiteral("LAN: 10.81.1.10-10001"));
}

TEST_F(ConnectionTest, PowerOnModeDialogRoundTrip) {
    SimProcess sim;
    const int handle = qnLink().openPort(sim.port().c_str(), 19200, 0, 500);
    ASSERT_GT(handle, 0);
    struct Step {
        bool allowSilent;
        int shownSelection; // what the dialog reads from the reader
        int choose;
        const char* stored; // stored_mode afterwards
    };
    const Step steps[] = {
        {true, 1, 0, "0"},  // the simulator starts with reader mode stored
        {true, 0, 2, "3"},  // reader mode without output is mode 3
        {false, 2, 1, "1"}, // read back as the third button even where it cannot be chosen
    };
    for (const Step& s : steps) {
        OpenResult reader;
        reader.handle = handle;
        reader.features = s.allowSilent ? feature::ReaderModeSilent : 0;
        CReaderConfig dialog(reader);
        EXPECT_EQ(dialog.findChildren<QRadioButton*>().at(2)->isEnabled(), s.allowSilent);
        dialog.readMode();
        EXPECT_EQ(dialog.selection(), s.shownSelection);
        dialog.select(s.choose);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(sim.value("stored_mode"), std::optional<std::string>(s.stored));
    }
    EXPECT_TRUE(box.shown.empty());
    qnLink().closePort(handle);
}

TEST_F(ConnectionTest, PowerOnModeDialogReportsReaderErrors) {
    // The first two mode requests fail: reading the mode, then the first attempt to store one.
    SimProcess sim({"--status", "05", "--fault-command", "F4", "--fault-count", "2"});
    const int handle = qnLink().openPort(sim.port().c_str(), 19200, 0, 500);
    ASSERT_GT(handle, 0);
    OpenResult reader;
    reader.handle = handle;
    reader.features = feature::ReaderModeSilent;
    CReaderConfig dialog(reader);
    dialog.readMode();
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0], str(519));
    EXPECT_EQ(dialog.selection(), -1);

    dialog.select(0);
    dialog.accept();
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1], str(139));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(sim.value("stored_mode"), std::optional<std::string>("1"));

    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(sim.value("stored_mode"), std::optional<std::string>("0"));
    qnLink().closePort(handle);
}

// ---- Main window
// ---------------------------------------------------------------------------------

class MainWindowTest : public AppTest {
protected:
    CMainFrame::Options quiet() const {
        CMainFrame::Options o;
        o.programDir = programDir();
        o.connectOnFirstShow = false;
        return o;
    }
    FixedPorts ports;
};

TEST_F(MainWindowTest, FirstStartWithEmptySettings) {
    AppSettings settings;
    // No reader answers at the default port: the interface dialog comes up and is cancelled.
    bool dialogShown = false;
    onNextModal([&](QWidget* modal) {
        dialogShown = qobject_cast<CPortSelectDlg*>(modal) != nullptr;
        static_cast<QDialog*>(modal)->reject();
    });
    CMainFrame::Options options = quiet();
    options.connectOnFirstShow = true;
    CMainFrame frame(settings, ports, options);
    frame.show();
    QElapsedTimer waited;
    waited.start();
    while (!dialogShown && waited.elapsed() < 20000) {
        QTest::qWait(20);
    }
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(frame.pos(), QPoint(0, 0));
    EXPECT_EQ(frame.language(), 0);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Quarnel Veltra"));
    EXPECT_EQ(frame.action(command::Configure)->text(), QStringLiteral("&Konfigurieren"));
    EXPECT_EQ(stored(QStringLiteral("Port/Name")).toString(), QStringLiteral("COM1"));
    EXPECT_TRUE(settings.automaticUpdateCheck());
    frame.close();
    EXPECT_EQ(stored(QStringLiteral("Settings/Sprache")).toInt(), 0);
    EXPECT_EQ(stored(QStringLiteral("Window/left")).toInt(), 0);
    EXPECT_EQ(stored(QStringLiteral("Window/top")).toInt(), 0);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(MainWindowTest, PositionIsStoredUnlessMinimised) {
    struct Case {
        bool minimise;
        QPoint stored;
    };
    const Case cases[] = {{true, QPoint(120, 80)}, {false, QPoint(200, 150)}};
    for (const Case& c : cases) {
        store(QStringLiteral("Window/left"), 120);
        store(QStringLiteral("Window/top"), 80);
        AppSettings settings;
        CMainFrame frame(settings, ports, quiet());
        EXPECT_EQ(frame.pos(), QPoint(120, 80));
        frame.show();
        frame.move(200, 150);
        if (c.minimise) {
            frame.showMinimized();
        }
        frame.close();
        EXPECT_EQ(QPoint(stored(QStringLiteral("Window/left")).toInt(),
                         stored(QStringLiteral("Window/top")).toInt()),
                  c.stored)
            << c.minimise;
    }
}

TEST_F(MainWindowTest, EnglishIsStoredAndComesBackWithoutAMessage) {
    {
        AppSettings settings;
        CMainFrame frame(settings, ports, quiet());
        frame.action(command::English)->trigger();
        EXPECT_EQ(frame.language(), 1);
        EXPECT_EQ(frame.action(command::Configure)->text(), QStringLiteral("&Configure"));
        EXPECT_TRUE(frame.action(command::English)->isChecked());
        EXPECT_FALSE(frame.action(command::German)->isChecked());
        // A dialog opened now comes up in English.
        CPortSelectDlg dialog(settings, ports, &frame);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Interface"));
        frame.close();
    }
    EXPECT_EQ(stored(QStringLiteral("Settings/Sprache")).toInt(), 1);
    // Closing switched back to German.
    EXPECT_EQ(str(70001), QStringLiteral("&Konfigurieren"));

    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    EXPECT_EQ(frame.language(), 1);
    EXPECT_EQ(frame.action(command::Configure)->text(), QStringLiteral("&Configure"));
    frame.action(command::German)->trigger();
    EXPECT_EQ(frame.action(command::Configure)->text(), QStringLiteral("&Konfigurieren"));
    EXPECT_TRUE(box.shown.empty());
    frame.close();
    EXPECT_EQ(stored(QStringLiteral("Settings/Sprache")).toInt(), 0);
}

TEST_F(MainWindowTest, MissingEnglishFileAtStartUpKeepsGermanUntilClosed) {
    store(QStringLiteral("Settings/Sprache"), 1);
    AppSettings settings;
    CMainFrame::Options options = quiet();
    options.programDir = tempPath(); // no translation file here
    CMainFrame frame(settings, ports, options);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0], str(201));
    EXPECT_EQ(frame.language(), 0);
    EXPECT_EQ(frame.action(command::Configure)->text(), QStringLiteral("&Konfigurieren"));
    EXPECT_EQ(stored(QStringLiteral("Settings/Sprache")).toInt(), 1);
    // The menu command reports the same and stays German.
    frame.action(command::English)->trigger();
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_FALSE(frame.action(command::English)->isChecked());
    EXPECT_TRUE(frame.action(command::German)->isChecked());
    frame.close();
    EXPECT_EQ(stored(QStringLiteral("Settings/Sprache")).toInt(), 0);
}

TEST_F(MainWindowTest, ToolbarOrderAndButtonSize) {
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    const std::vector<int> expected = {command::Configure,
                                       command::ReadConfiguration,
                                       0,
                                       command::Interface,
                                       0,
                                       command::About,
                                       command::Help,
                                       0,
                                       command::Exit};
    std::vector<int> seen;
    for (QAction* act : frame.commandBar()->actions()) {
        if (act->isSeparator()) {
            seen.push_back(0);
            continue;
        }
        int id = -1;
        for (int candidate : {command::Configure, command::ReadConfiguration, command::Interface,
                              command::About, command::Help, command::Exit}) {
            if (frame.action(candidate) == act) {
                id = candidate;
            }
        }
        seen.push_back(id);
        EXPECT_EQ(frame.commandBar()->widgetForAction(act)->size(), QSize(50, 50));
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(MainWindowTest, StartUpConnectionRecordsTheReaderAndEnablesItsCommands) {
    struct Case {
        const char* type;
        const char* version;
        const char* firmware;
        bool filter;
        bool startMode;
    };
    const Case cases[] = {
        {"244", "K", "1.20", false, true},
        {"044", "4", "1.04", true, false},
        {"046", "6", "1.06", true, true},
    };
    for (const Case& c : cases) {
        SimProcess sim({"--type", c.type, "--version", c.version});
        store(QStringLiteral("Port/Name"), q(sim.port()));
        AppSettings settings;
        CMainFrame::Options options = quiet();
        options.connectOnFirstShow = true;
        CMainFrame frame(settings, ports, options);
        QSignalSpy recorded(&frame, &CMainFrame::deviceIdentityRecorded);
        QSignalSpy check(&frame, &CMainFrame::firmwareCheckRequested);
        frame.show();
        ASSERT_TRUE(recorded.wait(10000)) << c.type;
        const DeviceIdentityRecord& id = frame.lastDeviceIdentity();
        EXPECT_EQ(id.connectionKind, QStringLiteral("COM"));
        EXPECT_EQ(id.typeCode, QString::fromLatin1(c.type));
        EXPECT_EQ(id.firmware, QString::fromLatin1(c.firmware));
        EXPECT_TRUE(check.wait(2000));
        // The reader is back in its operating mode, not left in programming mode.
        EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));

        for (QMenu* menu : frame.menuBar()->findChildren<QMenu*>()) {
            emit menu->aboutToShow();
        }
        EXPECT_EQ(frame.action(command::Filter)->isEnabled(), c.filter) << c.type;
        EXPECT_EQ(frame.action(command::StartMode)->isEnabled(), c.startMode) << c.type;
        EXPECT_FALSE(frame.action(command::IpAddress)->isEnabled()) << c.type;
        EXPECT_TRUE(frame.windowTitle().contains(q(sim.port()))) << c.type;
        frame.close();
    }
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(MainWindowTest, StartModeCommandProgramsThePowerOnModeAndReleasesTheReader) {
    SimProcess sim({"--type", "244", "--version", "K"});
    store(QStringLiteral("Port/Name"), q(sim.port()));
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    // Nothing known about a reader yet: the command is unavailable and does nothing.
    frame.onStartMode();
    EXPECT_EQ(sim.value("stored_mode"), std::optional<std::string>("1"));

    OpenResult reader = frame.connectWithFallback();
    ASSERT_GT(reader.handle, 0);
    CloseReader(reader.handle);
    ASSERT_TRUE(frame.action(command::StartMode)->isEnabled());
    const std::uint32_t features = frame.deviceFeatures();

    bool answered = false;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CReaderConfig*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->selection(), 1);
        dialog->select(0);
        dialog->accept();
        answered = true;
    });
    frame.action(command::StartMode)->trigger();
    EXPECT_TRUE(answered);
    EXPECT_EQ(sim.value("stored_mode"), std::optional<std::string>("0"));
    EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));
    EXPECT_EQ(frame.deviceFeatures(), features);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(MainWindowTest, InterfaceCommandShowsTheDialogUntilAReaderAnswers) {
    SimProcess sim({"--type", "244", "--version", "7"});
    ports.set(PortKind::Serial, {QStringLiteral("/dev/qn-nothing-here"), q(sim.port())});
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    QSignalSpy recorded(&frame, &CMainFrame::deviceIdentityRecorded);

    // First the technician picks a port without a reader: the dialog comes back. Then the
    // simulator's port, which answers.
    int shown = 0;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        auto* dialog = qobject_cast<CPortSelectDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->portList()->setCurrentRow(shown == 0 ? 0 : 1);
        ++shown;
        if (shown == 1) {
            onNextModal(answer);
        }
        dialog->accept();
    };
    onNextModal(answer);
    frame.action(command::Interface)->trigger();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(stored(QStringLiteral("Port/Name")).toString(), q(sim.port()));
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_EQ(frame.lastDeviceIdentity().firmware, QStringLiteral("1.07"));
    EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));
    EXPECT_TRUE(frame.windowTitle().contains(QStringLiteral("FW V1.07")));

    // Cancelling ends the command without touching the reader.
    onNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    frame.action(command::Interface)->trigger();
    EXPECT_EQ(recorded.size(), 1);
    EXPECT_TRUE(box.shown.empty());
}

} // namespace
} // namespace veltra::test
