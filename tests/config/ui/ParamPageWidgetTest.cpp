// The serial parameter page as a technician uses it: what it shows for a reader's values, what it
// gives back, its checks with their messages and focus, and its enable rules.
#include "config/ui/CParamRegisterkarteSeriell.h"

#include "config/ConfigChecks.h"
#include "config/DeviceFeatures.h"
#include "config/ui/SheetServices.h"
#include "resources/strings/StringTable.h"
#include "tests/support/ScriptedMessageBox.h"
#include "widgets/IMessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace veltra {
namespace {

constexpr std::uint32_t kAllFeatures = feature::SerialInterface | feature::OperatingMode5 |
                                       feature::OperatingMode6 | feature::SensorInput |
                                       feature::SensorData | feature::ReaderModeSilent |
                                       feature::PowerOnMode | feature::LanConnection;

class ParamPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Settings go to a folder of the test's own, never to the technician's.
        static QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        static int argc = 1;
        static char name[] = "test_param_page";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }

    void SetUp() override {
        setMessageBox(&box_);
        storedName() = "COM1";
        sheetServices().interfaceName = [] { return storedName(); };
        sheetServices().storeInterfaceName = [](const std::string& name) { storedName() = name; };
    }
    void TearDown() override {
        setMessageBox(nullptr);
        sheetServices() = SheetServices{};
    }

    // The program's stored interface name, as the page sees it through its services.
    static std::string& storedName() {
        static std::string name;
        return name;
    }
    static void storeInterfaceName(const QString& name) { storedName() = name.toStdString(); }

    template <typename T>
    static T* child(QWidget& page, const char* name) {
        T* widget = page.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    static ReaderParameters valid() {
        ReaderParameters p = defaultReaderParameters();
        p.powerOnMode = 1;
        return p;
    }

    test::ScriptedMessageBox box_;
};

TEST_F(ParamPage, SetListsShowTheReadersRate) {
    struct Case {
        int baudValue;
        const char* rate;
        const char* parity;
        const char* stopBits;
    };
    const Case cases[] = {
        {9603, "9600", "keine", "2"},    {19201, "19200", "gerade", "1"},
        {4802, "4800", "ungerade", "1"}, {38400, "19200", "keine", "1"},
        {31250, "19200", "keine", "1"},  {115203, "19200", "keine", "2"},
    };
    for (const Case& c : cases) {
        CParamRegisterkarteSeriell page(kAllFeatures);
        ReaderParameters p = valid();
        p.baudRate = c.baudValue;
        ASSERT_TRUE(page.setParameters(p, false));
        EXPECT_EQ(child<QComboBox>(page, "setBaud")->currentText(), QLatin1String(c.rate));
        EXPECT_EQ(child<QComboBox>(page, "setParity")->currentText(), QString::fromUtf8(c.parity));
        EXPECT_EQ(child<QComboBox>(page, "setStopBits")->currentText(), QLatin1String(c.stopBits));
        ReaderParameters back;
        ASSERT_TRUE(page.takeOver(back));
        EXPECT_EQ(back, pageParameters(p)) << c.baudValue;
    }
}

TEST_F(ParamPage, CurrentInterfaceFields) {
    CParamRegisterkarteSeriell page(kAllFeatures);
    page.showCurrentInterface(9603);
    EXPECT_EQ(child<QLineEdit>(page, "current0")->text(), QStringLiteral("9600"));
    EXPECT_EQ(child<QLineEdit>(page, "current1")->text(), QStringLiteral("keine"));
    EXPECT_EQ(child<QLineEdit>(page, "current2")->text(), QStringLiteral("2"));

    // A reader read at 9600 was switched to 19200 odd parity: the page clears the new
    // settings and holds the new rate, so programming again does not switch it back.
    ReaderParameters p = valid();
    p.baudRate = 9600;
    page.setParameters(p, false);
    page.interfaceProgrammed(19202);
    ReaderParameters back;
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back.baudRate, 19202);
}

TEST_F(ParamPage, ChecksShowTheirMessageAndFocusTheField) {
    struct Case {
        const char* field;
        const char* text;
        unsigned mode;
        QString message;
    };
    const Case cases[] = {
        {"cycleTime", "12800", 3, strf(kStrIntegerRange, 100, 12700)},
        {"cycleTime", "99", 3, strf(kStrIntegerRange, 100, 12700)},
        {"timeout", "12701", 0, strf(kStrIntegerRange, 100, 12700)},
        {"timeout", "", 2, strf(kStrIntegerRange, 100, 12700)},
        {"prompt", "ab", 0, strf(kStrMaxCharacters, 1)},
    };
    for (const Case& c : cases) {
        CParamRegisterkarteSeriell page(kAllFeatures);
        ReaderParameters p = valid();
        p.operatingMode = static_cast<std::uint8_t>(c.mode);
        page.setParameters(p, false);
        auto* field = child<QLineEdit>(page, c.field);
        field->setText(QString::fromLatin1(c.text));
        box_ = {};
        ReaderParameters out;
        out.cycleTimeMs = 4711;
        EXPECT_FALSE(page.takeOver(out)) << c.field << " " << c.text;
        ASSERT_EQ(box_.shown.size(), 1u);
        EXPECT_EQ(box_.shown[0], c.message);
        EXPECT_EQ(page.focusWidget(), field) << c.field;
        EXPECT_EQ(out.cycleTimeMs, 4711) << "a failed take-over leaves the result alone";
    }
}

TEST_F(ParamPage, TcpClientAddressIsChecked) {
    CParamRegisterkarteSeriell page(feature::TcpClient);
    ReaderParameters p = valid();
    p.remoteIp = "192.168.1.20";
    p.remotePort = 10001;
    ASSERT_TRUE(page.setParameters(p, false));
    EXPECT_TRUE(child<QCheckBox>(page, "tcpActive")->isChecked());
    EXPECT_TRUE(child<QLineEdit>(page, "address")->isEnabled());
    ReaderParameters back;
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back.remoteIp, "192.168.1.20");
    EXPECT_EQ(back.remotePort, 10001);

    child<QLineEdit>(page, "address")->setText(QStringLiteral("192.168.1"));
    EXPECT_FALSE(page.takeOver(back));
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0], str(kStrInvalidServerAddress));
    EXPECT_EQ(page.focusWidget(), child<QLineEdit>(page, "address"));

    child<QLineEdit>(page, "address")->setText(QStringLiteral("192.168.1.2"));
    child<QLineEdit>(page, "port")->setText(QStringLiteral("65536"));
    box_ = {};
    EXPECT_FALSE(page.takeOver(back));
    ASSERT_EQ(box_.shown.size(), 1u);
    EXPECT_EQ(box_.shown[0], strf(kStrIntegerRange, 0, 65535));
    EXPECT_EQ(page.focusWidget(), child<QLineEdit>(page, "port"));

    // Switched off, the client gives no address and port whatever the fields hold.
    child<QCheckBox>(page, "tcpActive")->setChecked(false);
    EXPECT_FALSE(child<QLineEdit>(page, "address")->isEnabled());
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back.remoteIp, "");
    EXPECT_EQ(back.remotePort, 0);
}

TEST_F(ParamPage, RefusedReaderValuesFallBackToDefaultsButKeepTheRest) {
    CParamRegisterkarteSeriell page(kAllFeatures);
    ReaderParameters p = valid();
    p.operatingMode = 0x13;
    p.cycleTimeMs = 12800;
    p.baudRate = 9603;
    p.prompt = '!';
    p.remoteIp = "10.0.0.2";
    p.remotePort = 23;
    p.dtrMode = 1;
    EXPECT_FALSE(page.setParameters(p, true));
    ReaderParameters back;
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back.operatingMode, 0);
    EXPECT_EQ(back.cycleTimeMs, 1000);
    EXPECT_EQ(back.timeoutMs, 500);
    EXPECT_EQ(back.prompt, '?');
    EXPECT_EQ(back.baudRate, 19200);
    EXPECT_EQ(back.remoteIp, "10.0.0.2");
    EXPECT_EQ(back.remotePort, 23);
    EXPECT_EQ(back.dtrMode, 1);
    EXPECT_EQ(back.powerOnMode, 1);
    EXPECT_FALSE(page.isModified());
}

TEST_F(ParamPage, ValuesComeBackAsTheyWereRead) {
    CParamRegisterkarteSeriell page(kAllFeatures);
    ReaderParameters p;
    p.operatingMode = 0x12; // mode 2 with sensor data
    p.cycleTimeMs = 12700;
    p.timeoutMs = 100;
    p.prompt = '#';
    p.baudRate = 9601;
    p.powerOnMode = 2;
    p.dtrMode = 1;
    ASSERT_TRUE(page.setParameters(p, true));
    EXPECT_TRUE(child<QRadioButton>(page, "mode2")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(page, "sensorData")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(page, "powerOn2")->isChecked());
    ReaderParameters back;
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back, p);
}

TEST_F(ParamPage, EmptyPromptStoresQuestionMark) {
    CParamRegisterkarteSeriell page(kAllFeatures);
    page.setParameters(valid(), false);
    child<QLineEdit>(page, "prompt")->clear();
    ReaderParameters back;
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(back.prompt, '?');

    // A character the reader cannot send is not taken; one of its code page is.
    auto* prompt = child<QLineEdit>(page, "prompt");
    prompt->insert(QStringLiteral("\u2713"));
    EXPECT_TRUE(prompt->text().isEmpty());
    prompt->insert(QStringLiteral("\u00a7"));
    ASSERT_TRUE(page.takeOver(back));
    EXPECT_EQ(static_cast<unsigned char>(back.prompt), 0xA7);
}

TEST_F(ParamPage, PowerOnRadios) {
    struct Case {
        int value;
        int checked; // -1: none
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, -1}, Case{-1, -1}}) {
        CParamRegisterkarteSeriell page(kAllFeatures);
        ReaderParameters p = valid();
        p.powerOnMode = static_cast<std::int8_t>(c.value);
        page.setParameters(p, false);
        for (int i = 0; i < 3; ++i) {
            const std::string name = "powerOn" + std::to_string(i);
            EXPECT_EQ(child<QRadioButton>(page, name.c_str())->isChecked(), i == c.checked)
                << c.value;
        }
        ReaderParameters back;
        ASSERT_TRUE(page.takeOver(back));
        EXPECT_EQ(back.powerOnMode, c.checked) << "value " << c.value << " programs no other mode";
    }
    CParamRegisterkarteSeriell page(kAllFeatures);
    page.selectPowerOnMode(1);
    EXPECT_TRUE(child<QRadioButton>(page, "powerOn1")->isChecked());
    page.selectPowerOnMode(7);
    EXPECT_FALSE(child<QRadioButton>(page, "powerOn1")->isChecked());
}

TEST_F(ParamPage, UsbInterfaceLocksTheSetLists) {
    struct Case {
        QString name;
        bool enabled;
    };
    const Case cases[] = {{QStringLiteral("USB: QN-K71 Leser"), false},
                          {QStringLiteral("COM2"), true},
                          {QStringLiteral("/dev/ttyUSB0"), true}};
    for (const Case& c : cases) {
        storeInterfaceName(c.name);
        CParamRegisterkarteSeriell page(kAllFeatures);
        for (const char* list : {"setBaud", "setParity", "setStopBits"}) {
            EXPECT_EQ(child<QComboBox>(page, list)->isEnabled(), c.enabled)
                << list << " " << c.name.toStdString();
        }
    }
}

TEST_F(ParamPage, MissingInterfaceNameIsStoredAsCom1) {
    storeInterfaceName(QString());
    CParamRegisterkarteSeriell page(kAllFeatures);
    EXPECT_EQ(storedName(), "COM1");
}

TEST_F(ParamPage, ControlsFollowFeaturesAndMode) {
    CParamRegisterkarteSeriell bare(0);
    EXPECT_FALSE(child<QRadioButton>(bare, "mode2")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(bare, "mode5")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(bare, "mode6")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(bare, "powerOn0")->isEnabled());
    EXPECT_TRUE(child<QWidget>(bare, "sensorData")->isHidden());
    EXPECT_TRUE(child<QWidget>(bare, "interfaceGroup")->isHidden());
    EXPECT_TRUE(child<QWidget>(bare, "tcpGroup")->isHidden());
    EXPECT_TRUE(child<QWidget>(bare, "dtr")->isHidden());

    CParamRegisterkarteSeriell full(kAllFeatures);
    full.setParameters(valid(), true);
    EXPECT_TRUE(child<QRadioButton>(full, "mode2")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(full, "mode6")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(full, "powerOn2")->isEnabled());
    EXPECT_FALSE(child<QWidget>(full, "sensorData")->isHidden());
    EXPECT_FALSE(child<QWidget>(full, "tcpGroup")->isHidden());
    EXPECT_FALSE(child<QWidget>(full, "dtr")->isHidden());
    EXPECT_TRUE(child<QRadioButton>(full, "mode4")->isHidden());

    // Choosing mode 3 enables the cycle time instead of the timeout, and counts as a change.
    EXPECT_TRUE(child<QLineEdit>(full, "timeout")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(full, "cycleTime")->isEnabled());
    EXPECT_FALSE(full.isModified());
    child<QRadioButton>(full, "mode3")->click();
    EXPECT_FALSE(child<QLineEdit>(full, "timeout")->isEnabled());
    EXPECT_TRUE(child<QLineEdit>(full, "cycleTime")->isEnabled());
    EXPECT_TRUE(full.isModified());
    ReaderParameters back;
    ASSERT_TRUE(full.takeOver(back));
    EXPECT_EQ(back.mode(), 3u);
    full.markUnchanged();
    EXPECT_FALSE(full.isModified());
}

TEST_F(ParamPage, ButtonsOpenTheServicesDialogs) {
    int functionTests = 0;
    int reports = 0;
    sheetServices().openFunctionTest = [&](QWidget*) { ++functionTests; };
    sheetServices().openHidFunctionTest = [&](QWidget*) { ADD_FAILURE() << "not a HID reader"; };
    sheetServices().openReport = [&](QWidget*) { ++reports; };
    CParamRegisterkarteSeriell page(kAllFeatures);
    child<QPushButton>(page, "functionTest")->click();
    child<QPushButton>(page, "readContents")->click();
    EXPECT_EQ(functionTests, 1);
    EXPECT_EQ(reports, 1);
}

} // namespace
} // namespace veltra
