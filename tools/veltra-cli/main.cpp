// veltra-cli: identify, save, program and the power-on mode of a reader, and the update check,
// from a shell.
#include "config/workflow/FilterSettings.h"
#include "config/workflow/ProfileFilterSettings.h"
#include "resources/strings/InstalledFiles.h"
#include "resources/strings/StringTable.h"
#include "tools/veltra-cli/CliCommands.h"

#include <QCoreApplication>
#include <QTranslator>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kStrLanguageNotLoaded = 201;
constexpr int kStrAnswerPrompt = 74119;

// Asks on the terminal; without one the answer is No.
bool askOnTerminal(const std::string& question) {
    if (::isatty(STDIN_FILENO) == 0) {
        return false;
    }
    std::cerr << question << veltra::str(kStrAnswerPrompt).toStdString() << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) {
        return false;
    }
    return line == "j" || line == "J" || line == "ja" || line == "Ja" || line == "y" ||
           line == "Y" || line == "yes" || line == "Yes";
}

// The station stops taking readers on Ctrl-C or SIGTERM and finishes those in progress.
std::atomic<bool> g_stop{false};

extern "C" void onStopSignal(int) {
    g_stop.store(true);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zem Applikationen"));
    QCoreApplication::setApplicationName(QStringLiteral("Quarnel Veltra"));

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    if (args.size() == 1 && args.front() == "--version") {
        std::cout << "veltra-cli " << VELTRA_VERSION << '\n';
        return 0;
    }
    // The language comes first, so that every later message is in it.
    QTranslator english;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--lang" && args[i + 1] == "en") {
            const QString file = veltra::findDataFile(QCoreApplication::applicationDirPath(),
                                                      QStringLiteral("Quarnel-VeltraEng.qm"));
            if (english.load(file)) {
                QCoreApplication::installTranslator(&english);
            } else {
                std::cerr << veltra::str(kStrLanguageNotLoaded)
                                 .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                 .toStdString()
                          << '\n';
            }
        }
    }

    const veltra::CliParse parse = veltra::parseCliArguments(args);
    if (!parse.options) {
        std::cerr << parse.error << '\n';
        return veltra::kExitUsage;
    }
    // Filter values are only read from the program's settings, never written.
    const veltra::ProfileFilterSettings filters;
    veltra::CliEnvironment env{veltra::qnLink(), filters, std::cout, std::cerr, askOnTerminal};
    if (parse.options->command == "station") {
        env.outIsTerminal = ::isatty(STDOUT_FILENO) != 0;
        winsize size{};
        if (env.outIsTerminal && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
            env.terminalWidth = size.ws_col;
        }
        struct sigaction stop {};
        stop.sa_handler = onStopSignal;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGINT, &stop, nullptr);
        sigaction(SIGTERM, &stop, nullptr);
        env.stopRequested = [] { return g_stop.load(); };
    }
    return veltra::runCliCommand(*parse.options, env);
}
