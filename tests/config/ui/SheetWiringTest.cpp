// "Konfigurieren" and "Konfiguration lesen" of the main window against the reader simulator:
// the main window connects, hands its connection to the sheet or the report, and nothing stays
// open afterwards. The pages' "Inhalt lesen" opens the report through the program's services.
#include "app/MainFrame.h"
#include "app/SheetServicesInstall.h"
#include "config/DeviceFeatures.h"
#include "config/ui/CParamRegisterkarteSeriell.h"
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/CTestDlg.h"
#include "config/ui/SheetServices.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/SimProcess.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace veltra::test {
namespace {

class SheetWiringTest : public AppTest {
protected:
    void TearDown() override {
        sheetServices() = SheetServices{};
        AppTest::TearDown();
    }
    CMainFrame::Options quiet() const {
        CMainFrame::Options o;
        o.programDir = QCoreApplication::applicationDirPath();
        o.connectOnFirstShow = false;
        return o;
    }
    FixedPorts ports;
};

TEST_F(SheetWiringTest, MainWindowCommandsOpenTheSheetAndTheReport) {
    SimProcess sim({"--type", "244"});
    store(QStringLiteral("Port/Name"), QString::fromStdString(sim.port()));
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    installSheetServices(settings, ports, &frame);

    QString sheetTitle;
    int sheetTabs = 0;
    onNextModal([&](QWidget* modal) {
        if (auto* sheet = qobject_cast<CSeriellEinstellDlg*>(modal)) {
            sheetTitle = sheet->windowTitle();
            sheetTabs = sheet->tabs()->count();
            sheet->cancelButton()->click();
        } else {
            modal->close();
        }
    });
    frame.action(command::Configure)->trigger();
    EXPECT_TRUE(sheetTitle.startsWith(QStringLiteral("Programmierung eingeben <")))
        << sheetTitle.toStdString();
    EXPECT_EQ(sheetTabs, 7); // parameters, prefix, two data pages, suffix, pull-off, separator
    EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));

    QString report;
    onNextModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<CTestDlg*>(modal)) {
            report = dialog->reportText();
            dialog->closeButton()->click();
        } else {
            modal->close();
        }
    });
    frame.action(command::ReadConfiguration)->trigger();
    EXPECT_TRUE(report.contains(QStringLiteral(" Suffix            : 0D 0A")))
        << report.toStdString();
    EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));
    EXPECT_TRUE(box.shown.empty());

    // A page's "Inhalt lesen" opens the report with a connection of its own.
    ASSERT_TRUE(sheetServices().openReport);
    report.clear();
    onNextModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<CTestDlg*>(modal)) {
            report = dialog->reportText();
            dialog->reject();
        } else {
            modal->close();
        }
    });
    sheetServices().openReport(&frame);
    EXPECT_TRUE(report.contains(QStringLiteral("Zykluszeit")));
}

TEST_F(SheetWiringTest, AConfigurationFileOpensInTheSheetAfterConnecting) {
    // A file opened from the desktop or named on the command line: connected, read, then the
    // file loaded as "Laden" loads it.
    SimProcess sim({"--type", "244"});
    store(QStringLiteral("Port/Name"), QString::fromStdString(sim.port()));
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    installSheetServices(settings, ports, &frame);

    const QString file = tempPath() + QStringLiteral("/Leser 7.mkr");
    {
        const OpenResult reader = sheetServices().connectReader(&frame);
        ASSERT_GT(reader.handle, 0);
        CSeriellEinstellDlg sheet(&frame, reader);
        ASSERT_TRUE(sheet.readReader());
        ASSERT_TRUE(sheet.model().saveFile(file.toStdString()).written);
    }
    QFile mkr(file);
    ASSERT_TRUE(mkr.open(QIODevice::ReadOnly));
    QString text = QString::fromLatin1(mkr.readAll());
    mkr.close();
    text.replace(QRegularExpression(QStringLiteral("Zykluszeit=\\d+")),
                 QStringLiteral("Zykluszeit=2500"));
    ASSERT_TRUE(mkr.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mkr.write(text.toLatin1());
    mkr.close();

    QString title;
    int cycleTime = 0;
    onNextModal([&](QWidget* modal) {
        if (auto* sheet = qobject_cast<CSeriellEinstellDlg*>(modal)) {
            title = sheet->windowTitle();
            cycleTime = sheet->parameterPage()->parameters().cycleTimeMs;
            sheet->cancelButton()->click();
        } else {
            modal->close();
        }
    });
    frame.openConfigurationFile(file);
    EXPECT_TRUE(title.contains(QStringLiteral("Leser 7.mkr"))) << title.toStdString();
    EXPECT_EQ(cycleTime, 2500);
    EXPECT_TRUE(box.shown.empty()) << box.shown.front().toStdString();
    EXPECT_EQ(sim.value("mode"), std::optional<std::string>("2"));
}

TEST_F(SheetWiringTest, ProgrammingStoresANewBaudRateAsTheInterfaceSetting) {
    SimProcess sim({"--type", "244"});
    store(QStringLiteral("Port/Name"), QString::fromStdString(sim.port()));
    AppSettings settings;
    CMainFrame frame(settings, ports, quiet());
    installSheetServices(settings, ports, &frame);

    const OpenResult reader = sheetServices().connectReader(&frame);
    ASSERT_GT(reader.handle, 0);
    CSeriellEinstellDlg sheet(&frame, reader);
    ASSERT_TRUE(sheet.readReader());
    ASSERT_EQ(reader.features & feature::LanConnection, 0u); // a serial reader changes its rate
    ReaderParameters parameters = sheet.parameterPage()->parameters();
    parameters.baudRate = 9600;
    sheet.parameterPage()->setParameters(parameters, false);
    ASSERT_TRUE(sheet.programReader())
        << (box.shown.empty() ? std::string() : box.shown.back().toStdString());
    EXPECT_EQ(sim.value("baud"), std::optional<std::string>("9600"));
    EXPECT_EQ(stored(QStringLiteral("Port/Baudrate")).toInt(), 9600);
}

} // namespace
} // namespace veltra::test
