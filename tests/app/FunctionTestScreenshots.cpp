// Pictures of the function test (against the simulator, with a telegram on screen and the relay
// button shown) and of the filter dialog, for checking the layouts at any scale:
//
//   xvfb-run -a env QT_SCALE_FACTOR=2 build/bin/functest-screenshots OUTDIR suffix

#include "app/AppSettings.h"
#include "app/CFilterParameterDlg.h"
#include "app/CFunktionTestDlg.h"
#include "app/PortEnumerator.h"
#include "config/workflow/FilterSettings.h"
#include "config/workflow/MemoryFilterSettings.h"
#include "tests/support/SimProcess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

class NoPorts final : public veltra::PortEnumerator {
public:
    QStringList list(veltra::PortKind /*kind*/) override { return {}; }
    bool ping(const QString& /*name*/) override { return false; }
    int devicesWithoutDriver() override { return 0; }
    bool cdcDriverInstalled() override { return true; }
};

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

bool save(QWidget& widget, const QString& path) {
    settle(200);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: functest-screenshots OUTDIR [suffix]\n");
        return 2;
    }
    const QString dir = args.at(1);
    const QString suffix = args.size() > 2 ? args.at(2) : QString();

    // Settings of their own, so that the user's are neither read nor changed.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    veltra::test::SimProcess sim({"--type", "551", "--interval", "400"});
    veltra::AppSettings settings;
    settings.setPortName(QString::fromStdString(sim.port()));
    settings.setBaudCode(19200);
    settings.sync();
    NoPorts ports;

    bool ok = true;
    {
        veltra::CFunktionTestDlg dialog({settings, ports, nullptr});
        if (!dialog.initDialog()) {
            std::fprintf(stderr, "the function test found no reader\n");
            return 1;
        }
        dialog.show();
        QElapsedTimer clock;
        clock.start();
        while (dialog.telegram().count() < 2 && clock.elapsed() < 5000) {
            settle(20);
        }
        ok =
            save(dialog, dir + QStringLiteral("/functest") + suffix + QStringLiteral(".png")) && ok;
        dialog.accept();
    }
    {
        veltra::MemoryFilterSettings filters;
        filters.setValue("Q5", "4b");
        veltra::CFilterParameterDlg dialog(filters);
        dialog.show();
        ok = save(dialog, dir + QStringLiteral("/filter") + suffix + QStringLiteral(".png")) && ok;
    }
    return ok ? 0 : 1;
}
