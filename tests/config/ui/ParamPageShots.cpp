// Saves pictures of the parameter page and a sequence page for a look at their layout:
//   veltra-page-shots <folder>
// Run under a display server (xvfb-run -a), once with QT_SCALE_FACTOR=2 for high-density screens.
#include "config/DeviceFeatures.h"
#include "config/ui/CParamRegisterkarteSeriell.h"
#include "keys/ui/CSuffixRegisterkarteSeriell.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: veltra-page-shots <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    using namespace veltra;

    auto save = [&](QWidget& page, const QString& name) {
        QTabWidget sheet;
        sheet.addTab(&page, page.windowTitle());
        sheet.show();
        QApplication::processEvents();
        const QString path =
            folder.filePath(name + QStringLiteral("-x") + scale + QStringLiteral(".png"));
        const bool ok = sheet.grab().save(path);
        sheet.removeTab(0);
        page.setParent(nullptr);
        std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
        return ok;
    };

    CParamRegisterkarteSeriell param(feature::SerialInterface | feature::OperatingMode5 |
                                     feature::OperatingMode6 | feature::TcpClient |
                                     feature::SensorData | feature::PowerOnMode |
                                     feature::ReaderModeSilent);
    param.setWindowTitle(CParamRegisterkarteSeriell::caption());
    ReaderParameters p = defaultReaderParameters();
    p.baudRate = 9603;
    p.powerOnMode = 1;
    p.remoteIp = "192.168.0.10";
    p.remotePort = 10001;
    param.setParameters(p, true);
    param.showCurrentInterface(19200);

    CSuffixRegisterkarteSeriell suffix;
    suffix.setBlock({0x0D, 0x0A, 0x41, 0x1B, 0xFF});

    const bool ok =
        save(param, QStringLiteral("param-page")) && save(suffix, QStringLiteral("suffix-page"));
    return ok ? 0 : 1;
}
