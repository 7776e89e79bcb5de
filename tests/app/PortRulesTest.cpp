// The rules behind the interface list and the settings: merging port lists, reading device-link
// lists, name kinds, connection strings, baud-rate codes, corrections of the stored interface,
// command enabling and the stored defaults.
#include "tests/app/AppTestSupport.h"

#include "app/MainFrame.h"
#include "app/PortNames.h"
#include "app/PortSelection.h"
#include "app/VeltraApp.h"
#include "config/DeviceFeatures.h"

namespace veltra::test {
namespace {

QStringList names(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* n : list) {
        out.append(QString::fromUtf8(n));
    }
    return out;
}

TEST(PortRules, MergePortListFollowsTheFreshListAndReportsChanges) {
    struct Case {
        const char* what;
        QStringList cache;
        QStringList fresh;
        bool changed;
    };
    const Case cases[] = {
        {"same list", names({"a", "b"}), names({"a", "b"}), false},
        {"both empty", {}, {}, false},
        {"first fill", {}, names({"a", "b"}), true},
        {"appended at the end", names({"a", "b"}), names({"a", "b", "c"}), true},
        {"surplus removed", names({"a", "b", "c"}), names({"a", "b"}), true},
        {"all gone", names({"a"}), {}, true},
        {"replaced in the middle", names({"a", "b", "c"}), names({"a", "x"}), true},
        {"replaced at the start, rest kept equal", names({"a", "b", "c"}), names({"x", "b", "c"}),
         true},
        {"inserted in front", names({"b", "c"}), names({"a", "b", "c"}), true},
    };
    for (const Case& c : cases) {
        QStringList cache = c.cache;
        EXPECT_EQ(MergePortList(c.fresh, cache), c.changed) << c.what;
        EXPECT_EQ(cache, c.fresh) << c.what;
    }
}

TEST(PortRules, MultiStringIsReadWithinItsBuffer) {
    struct Case {
        const char* what;
        std::vector<char> bytes;
        QStringList expected;
    };
    const Case cases[] = {
        {"two names", {'C', 'O', 'M', '1', 0, 'X', 0, 0}, names({"COM1", "X"})},
        {"empty list", {0}, {}},
        {"nothing after the empty name counts", {'A', 0, 0, 'B', 0, 0}, names({"A"})},
        {"name without its NUL is dropped", {'A', 0, 'B', 'C'}, names({"A"})},
        {"final NUL missing", {'A', 0, 'B', 0}, names({"A", "B"})},
        {"no bytes", {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseMultiString(c.bytes.data(), static_cast<int>(c.bytes.size())), c.expected)
            << c.what;
    }
    EXPECT_TRUE(parseMultiString(nullptr, 10).isEmpty());
}

TEST(PortRules, KindsOfUsbReaderByName) {
    struct Case {
        const char* name;
        bool makerVirtualCom;
        bool knownHid;
    };
    const Case cases[] = {
        {"COM3 [Zem Virtual COM]", true, false},
        {"COM12 [Vanta-8 Virtual COM Port]", true, false},
        {"/dev/ttyACM0 [Zem Virtual COM]", true, false},
        {"COM3", false, false},
        {"COM [Zem Virtual COM]", false, false},
        {"/dev/ttyUSB0 [FTDI adapter]", false, false},
        {"USB: COM3 [Zem Virtual COM]", false, false},
        {"USB: 1460-0001 HID", false, true},
        {"USB: 2005-77 HID", false, true},
        {"USB: 9999-01 HID", false, false},
        {"USB: 1460-0001", false, false},
        // Both parts are looked for after the first character.
        {"1460-0001 HID", false, false},
        {"H", false, false},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(IsMakerVirtualCom(name), c.makerVirtualCom) << c.name;
        EXPECT_EQ(IsKnownHidReader(name), c.knownHid) << c.name;
    }
}

TEST(PortRules, ConnectionStringDropsThePrefixAndAddsTheAddress) {
    struct Case {
        const char* name;
        int address;
        const char* expected;
    };
    const Case cases[] = {
        {"COM3", 1, "COM3:1"},
        {"LAN: 192.168.0.20-10001", 1, "192.168.0.20-10001:1"},
        {"USB: 1460-01 HID", 7, "1460-01 HID:7"},
        {"Bluetooth: Reader", 2, "Reader:2"},
        {"/dev/pts/3", 255, "/dev/pts/3:255"},
        {"USB:no blank", 1, "USB:no blank:1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildConnectionString(QString::fromUtf8(c.name), c.address),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
}

TEST(PortRules, BaudRateCodeAndLineFormat) {
    struct Decode {
        int code;
        int baud;
        int parity;
        int stopBits;
    };
    const Decode decodes[] = {
        {9602, 9600, 2, 1},   {19203, 19200, 0, 2}, {9601, 9600, 1, 1},
        {19200, 19200, 0, 1}, {19250, 19200, 0, 1}, {115200, 115200, 0, 1},
    };
    for (const Decode& d : decodes) {
        const LineFormat f = decodeBaudCode(d.code);
        EXPECT_EQ(f.baudRate, d.baud) << d.code;
        EXPECT_EQ(f.parity, d.parity) << d.code;
        EXPECT_EQ(f.stopBits, d.stopBits) << d.code;
    }
    struct Encode {
        int baud;
        int parity;
        int stopBits;
        int code;
    };
    const Encode encodes[] = {
        {19200, 1, 2, 19201}, // even parity wins, the second stop bit is not coded
        {19200, 0, 2, 19203}, {9600, 2, 1, 9602}, {38400, 0, 1, 38400}, {2400, 2, 2, 2402},
    };
    for (const Encode& e : encodes) {
        EXPECT_EQ(encodeBaudCode(e.baud, e.parity, e.stopBits), e.code) << e.code;
    }
}

class PortSelectionTest : public AppTest {};

TEST_F(PortSelectionTest, StoredNameIsCorrectedWhenTheDeviceIsGone) {
    struct Case {
        const char* what;
        const char* stored;
        bool ethernet;
        QStringList usb;
        QStringList lan;
        bool pingAnswers;
        const char* expected;
        InterfaceKind kind;
    };
    const Case cases[] = {
        {"empty becomes COM1", "", false, {}, {}, false, "COM1", InterfaceKind::Serial},
        {"USB reader still there",
         "USB: B HID",
         false,
         names({"A HID", "B HID"}),
         {},
         false,
         "USB: B HID",
         InterfaceKind::Hid},
        {"USB reader gone, first one taken",
         "USB: C HID",
         false,
         names({"A HID", "B HID"}),
         {},
         false,
         "USB: A HID",
         InterfaceKind::Hid},
        {"no USB reader at all", "USB: C HID", false, {}, {}, false, "", InterfaceKind::Serial},
        {"network reader answers the ping",
         "LAN: 10.0.0.5",
         true,
         {},
         {},
         true,
         "LAN: 10.0.0.5",
         InterfaceKind::Lan},
        {"network reader replaced by the first found",
         "LAN: 10.0.0.5",
         true,
         {},
         names({"10.0.0.9", "10.0.0.7"}),
         false,
         "LAN: 10.0.0.9",
         InterfaceKind::Lan},
        {"no network reader found",
         "LAN: 10.0.0.5",
         true,
         {},
         {},
         false,
         "",
         InterfaceKind::Serial},
        {"Ethernet off: LAN name kept and treated as serial",
         "LAN: 10.0.0.5",
         false,
         {},
         names({"10.0.0.9"}),
         false,
         "LAN: 10.0.0.5",
         InterfaceKind::Serial},
        {"maker virtual COM port",
         "/dev/ttyACM0 [Zem Virtual COM]",
         false,
         {},
         {},
         false,
         "/dev/ttyACM0 [Zem Virtual COM]",
         InterfaceKind::MakerVirtualCom},
    };
    for (const Case& c : cases) {
        store(QStringLiteral("Port/Name"), QString::fromUtf8(c.stored));
        store(QStringLiteral("Port/EthernetAktiv"), c.ethernet ? 1 : 0);
        FixedPorts ports;
        ports.set(PortKind::Usb, c.usb);
        ports.set(PortKind::Lan, c.lan);
        if (c.pingAnswers) {
            ports.answering.insert(QStringLiteral("10.0.0.5"));
        }
        AppSettings settings;
        const PortSelection selection(settings, ports);
        EXPECT_EQ(selection.currentName(), QString::fromUtf8(c.expected)) << c.what;
        EXPECT_EQ(stored(QStringLiteral("Port/Name")).toString(), QString::fromUtf8(c.expected))
            << c.what;
        EXPECT_EQ(selection.target().kind, c.kind) << c.what;
    }
}

TEST_F(PortSelectionTest, ListOrderAndPrefixes) {
    store(QStringLiteral("Port/EthernetAktiv"), 1);
    FixedPorts ports;
    ports.set(PortKind::Serial, names({"\\\\.\\COM3", "/dev/ttyUSB0"}));
    ports.set(PortKind::Usb, names({"1460-01 HID"}));
    ports.set(PortKind::Lan, names({"10.0.0.9"}));
    AppSettings settings;
    PortSelection selection(settings, ports);
    for (PortKind kind : {PortKind::Lan, PortKind::Usb, PortKind::Serial}) {
        selection.MergePortList(kind);
    }
    EXPECT_EQ(selection.listEntries(),
              names({"COM3", "/dev/ttyUSB0", "USB: 1460-01 HID", "LAN: 10.0.0.9"}));
}

TEST_F(PortSelectionTest, DefaultsAndUnreadableValues) {
    {
        AppSettings settings;
        EXPECT_EQ(settings.language(), 0);
        EXPECT_EQ(settings.windowPosition(), QPoint(0, 0));
        EXPECT_TRUE(settings.automaticUpdateCheck());
        EXPECT_EQ(settings.portName(), QString());
        EXPECT_EQ(settings.baudCode(), 19200);
        EXPECT_EQ(settings.timeoutMs(), 300);
        EXPECT_EQ(settings.deviceAddress(), 1);
        EXPECT_FALSE(settings.ethernetActive());
    }
    // Values edited by hand that are no numbers read as absent.
    store(QStringLiteral("Port/Baudrate"), QStringLiteral("fast"));
    store(QStringLiteral("Port/Timeout"), QStringLiteral("12x"));
    store(QStringLiteral("Update/Version"), 0);
    AppSettings settings;
    EXPECT_EQ(settings.baudCode(), 19200);
    EXPECT_EQ(settings.timeoutMs(), 300);
    EXPECT_FALSE(settings.automaticUpdateCheck());
}

TEST(CommandRules, EnablingByDeviceFeatures) {
    struct Case {
        std::uint32_t features;
        bool filter;
        bool ipAddress;
        bool startMode;
    };
    const Case cases[] = {
        {0, true, false, false},
        {feature::SecondDataPage, false, false, false},
        {feature::LanConnection, true, true, false},
        {feature::PowerOnMode, true, false, true},
        {0x800020E6u, false, false, true}, // a 0x240 family reader
        {0xFFFFFFFFu, false, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commandEnabled(command::Filter, c.features), c.filter) << c.features;
        EXPECT_EQ(commandEnabled(command::IpAddress, c.features), c.ipAddress) << c.features;
        EXPECT_EQ(commandEnabled(command::StartMode, c.features), c.startMode) << c.features;
        EXPECT_TRUE(commandEnabled(command::Configure, c.features));
    }
}

TEST(CommandLineRules, PortOptionAndConfigurationFile) {
    struct Case {
        QStringList arguments;
        bool ok;
        const char* port;
        const char* file;
    };
    const QString program = QStringLiteral("quarnel-veltra");
    const Case cases[] = {
        {{program}, true, "", ""},
        {{program, QStringLiteral("--port"), QStringLiteral("/dev/pts/7")}, true, "/dev/pts/7", ""},
        {{program, QStringLiteral("--port=COM3")}, true, "COM3", ""},
        {{program, QStringLiteral("--port"), QStringLiteral("USB: 1460-01 HID")},
         true,
         "USB: 1460-01 HID",
         ""},
        {{program, QStringLiteral("--port")}, false, "", ""},
        {{program, QStringLiteral("--port"), QStringLiteral("  ")}, false, "", ""},
        {{program, QStringLiteral("--colour")}, false, "", ""},
        {{program, QStringLiteral("-colour"), QStringLiteral("--port=COM2")}, false, "", ""},
        // Qt's own options are left to Qt, their values are no file names.
        {{program, QStringLiteral("-platform"), QStringLiteral("offscreen"),
          QStringLiteral("--port"), QStringLiteral("COM4")},
         true,
         "COM4",
         ""},
        {{program, QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("-reverse"),
          QStringLiteral("/home/t/Leser 7.mkr")},
         true,
         "",
         "/home/t/Leser 7.mkr"},
        {{program, QStringLiteral("--port=COM1"), QStringLiteral("a.mkr")}, true, "COM1", "a.mkr"},
        {{program, QStringLiteral("a.mkr"), QStringLiteral("b.mkr")}, false, "", ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.ok, c.ok) << c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(line.port, QString::fromUtf8(c.port));
        EXPECT_EQ(line.mkrFile, QString::fromUtf8(c.file));
        EXPECT_EQ(line.error.isEmpty(), c.ok);
        EXPECT_FALSE(line.help);
        EXPECT_FALSE(line.version);
    }
    const CommandLine help = parseCommandLine({program, QStringLiteral("--help")});
    EXPECT_TRUE(help.help);
    EXPECT_TRUE(help.error.contains(QStringLiteral("--port")));
    EXPECT_TRUE(parseCommandLine({program, QStringLiteral("--version")}).version);
}

} // namespace
} // namespace veltra::test
