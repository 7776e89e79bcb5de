#include "app/VeltraApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const veltra::CommandLine line = veltra::parseCommandLine(arguments);
    if (line.help) {
        std::fputs(line.error.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("quarnel-veltra %s\n", VELTRA_VERSION);
        return 0;
    }
    if (!line.ok) {
        std::fprintf(stderr, "quarnel-veltra: %s\n", line.error.toLocal8Bit().constData());
        return 2;
    }
    veltra::CVeltraApp app(argc, argv);
    if (!app.initInstance(line)) {
        return 1;
    }
    return veltra::CVeltraApp::exec();
}
