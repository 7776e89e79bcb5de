// Pictures of the configuration sheet, every page in turn, and of the configuration report, as
// they show a simulated reader. Run under Xvfb:
//   xvfb-run -a sheet-shots OUTDIR            (100 %)
//   QT_SCALE_FACTOR=2 xvfb-run -a sheet-shots OUTDIR   (200 %)
// Writes OUTDIR/sheet-<n>.png per page and OUTDIR/report.png.
#include "config/ui/CSeriellEinstellDlg.h"
#include "config/ui/CTestDlg.h"
#include "config/ui/SheetServices.h"
#include "config/workflow/ReaderConnector.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: sheet-shots OUTDIR\n", stderr);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    veltra::test::SimProcess sim({"--type", "244"});
    veltra::ConnectionTarget target;
    target.connectionString = sim.port();
    target.timeoutMs = 500;
    veltra::sheetServices().connectReader = [&target](QWidget*) {
        veltra::OpenResult opened = veltra::openReaderConnection(target);
        opened.baudCode = 19200;
        return opened.handle > 0 ? opened : veltra::OpenResult{};
    };

    const veltra::OpenResult opened = veltra::openReaderConnection(target);
    if (opened.handle <= 0) {
        std::fputs("the simulated reader did not answer\n", stderr);
        return 1;
    }
    int written = 0;
    {
        veltra::OpenResult reader = opened;
        reader.baudCode = 19200;
        veltra::CSeriellEinstellDlg sheet(nullptr, reader);
        sheet.readReader();
        sheet.show();
        for (int i = 0; i < sheet.tabs()->count(); ++i) {
            sheet.tabs()->setCurrentIndex(i);
            sheet.adjustSize();
            app.processEvents();
            const QString file = QStringLiteral("%1/sheet-%2.png").arg(outDir).arg(i + 1);
            written += sheet.grab().save(file) ? 1 : 0;
        }
    }
    {
        veltra::OpenResult noReader;
        noReader.baudCode = 19200;
        noReader.features = opened.features;
        veltra::CTestDlg report(nullptr, noReader);
        report.readContent();
        report.show();
        app.processEvents();
        written += report.grab().save(outDir + QStringLiteral("/report.png")) ? 1 : 0;
    }
    std::printf("%d pictures in %s\n", written, qPrintable(outDir));
    return 0;
}
