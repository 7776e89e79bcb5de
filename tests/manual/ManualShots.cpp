// The pictures of the user manual and of the desktop's software centre, taken from the real
// windows as they show a simulated reader (qn-sim on a pseudo-terminal):
//   veltra-manual-shots QN_SIM OUTDIR [TRANSLATION.qm]
// With a translation file the windows speak its language. The build runs this under the
// offscreen platform, so the manual always shows today's windows. Writes OUTDIR/main.png,
// interface.png, sheet-parameters.png, sheet-data.png, report.png and functiontest.png.
#include "app/AppSettings.h"
#include "app/CFunktionTestDlg.h"
#include "app/MainFrame.h"
#include "app/PortEnumerator.h"
#include "app/PortSelectDlg.h"
#include "config/ui/CDatenRegisterkarteSeriell.h"
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/CTestDlg.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <cstdio>

namespace {

// The ports a technician's computer might list: two serial ports and a USB reader.
class ShownPorts final : public veltra::PortEnumerator {
public:
    explicit ShownPorts(QString simulated) : simulated_(std::move(simulated)) {}
    QStringList list(veltra::PortKind kind) override {
        if (kind == veltra::PortKind::Serial) {
            return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyACM0"), simulated_};
        }
        return {};
    }
    bool ping(const QString& /*name*/) override { return false; }
    int devicesWithoutDriver() override { return 0; }
    bool cdcDriverInstalled() override { return true; }

private:
    QString simulated_;
};

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool save(QWidget& widget, const QDir& out, const char* name) {
    settle(100);
    const QString path = out.filePath(QString::fromLatin1(name));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: veltra-manual-shots QN_SIM OUTDIR [TRANSLATION.qm]\n", stderr);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());
    QTranslator translation;
    if (argc > 3) {
        if (!translation.load(QString::fromLocal8Bit(argv[3]))) {
            std::fprintf(stderr, "cannot load %s\n", argv[3]);
            return 1;
        }
        QCoreApplication::installTranslator(&translation);
    }
    // Settings of their own, so that the user's are neither read nor changed.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    veltra::test::SimProcess sim(argv[1], {"--type", "551", "--interval", "400"});
    const QString port = QString::fromStdString(sim.port());
    veltra::AppSettings settings;
    settings.setPortName(port);
    settings.setBaudCode(19200);
    settings.sync();
    ShownPorts ports(port);

    veltra::ConnectionTarget target;
    target.connectionString = sim.port();
    target.timeoutMs = 500;
    veltra::sheetServices().connectReader = [&target](QWidget*) {
        veltra::OpenResult opened = veltra::openReaderConnection(target);
        opened.baudCode = 19200;
        return opened.handle > 0 ? opened : veltra::OpenResult{};
    };

    bool ok = true;
    veltra::CMainFrame::Options options;
    options.connectOnFirstShow = false;
    veltra::CMainFrame frame(settings, ports, options);
    frame.show();
    ok = save(frame, out, "main.png") && ok;
    {
        veltra::CPortSelectDlg dialog(settings, ports, &frame);
        dialog.show();
        ok = save(dialog, out, "interface.png") && ok;
    }
    {
        veltra::OpenResult reader = veltra::openReaderConnection(target);
        if (reader.handle <= 0) {
            std::fputs("the simulated reader did not answer\n", stderr);
            return 1;
        }
        reader.baudCode = 19200;
        const std::uint32_t features = reader.features;
        {
            veltra::CSeriellEinstellDlg sheet(&frame, reader);
            sheet.readReader();
            sheet.show();
            sheet.tabs()->setCurrentIndex(0);
            ok = save(sheet, out, "sheet-parameters.png") && ok;
            sheet.tabs()->setCurrentWidget(sheet.dataPage(0));
            ok = save(sheet, out, "sheet-data.png") && ok;
        }
        veltra::OpenResult noReader;
        noReader.baudCode = 19200;
        noReader.features = features;
        veltra::CTestDlg report(&frame, noReader);
        report.readContent();
        report.show();
        ok = save(report, out, "report.png") && ok;
    }
    {
        veltra::CFunktionTestDlg dialog({settings, ports, &frame});
        if (!dialog.initDialog()) {
            std::fputs("the function test found no reader\n", stderr);
            return 1;
        }
        dialog.show();
        QElapsedTimer clock;
        clock.start();
        while (dialog.telegram().count() < 2 && clock.elapsed() < 5000) {
            settle(20);
        }
        ok = save(dialog, out, "functiontest.png") && ok;
        dialog.accept();
    }
    return ok ? 0 : 1;
}
