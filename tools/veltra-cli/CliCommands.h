// veltra-cli: the configuration tool's reader functions from a shell, on the same model and
// workflow code as the desktop program. Every message is one of the program's texts.
#pragma once

#include "config/workflow/ReaderConnector.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace veltra {

class FilterSettings;

enum class CliAnswer { Ask, Yes, No };

struct CliOptions {
    std::string command; // identify, report, save, program, mode, check-update, station
    std::string port;
    // station: every --port given, or --watch (the folder of --watch-dir, else
    // /dev/serial/by-id), --count (0: no limit) and --log.
    std::vector<std::string> ports;
    bool watch = false;
    std::string watchDir;
    int count = 0;
    std::string logPath;
    int baudCode = 19200;
    int timeoutMs = 300;
    std::optional<InterfaceKind> kind; // derived from the port name when absent
    std::string file;
    CliAnswer answer = CliAnswer::Ask;
    std::optional<int> setMode;
    std::string language = "de";
    bool verbose = false;
    bool help = false;
    // lan search | lan show NAME | lan set NAME --address A|dhcp [--mask M] [--gateway G]
    // [--name N]
    std::string lanCommand;
    std::string lanTarget;
    std::string lanAddress;
    std::string lanMask;
    std::string lanGateway;
    std::string lanName;
};

struct CliParse {
    std::optional<CliOptions> options;
    std::string error; // a usage message when options is empty
};

CliParse parseCliArguments(const std::vector<std::string>& args);

// The interface a library port name stands for: "HID" in the name is a USB HID reader, a
// dotted address or "[name]" an Ethernet reader, anything else a serial port.
InterfaceKind interfaceKindFor(const std::string& port);

// The full --help text in the current language.
std::string cliHelpText();

struct CliEnvironment {
    ReaderLink& link;
    const FilterSettings& filters;
    std::ostream& out;
    std::ostream& err;
    // Yes/No question for CliAnswer::Ask; no function answers No.
    std::function<bool(const std::string&)> ask;
    // station: whether `out` is a terminal and its width (progress lines rewritten in place),
    // and whether the user asked to stop (the readers in progress are finished first).
    bool outIsTerminal = false;
    int terminalWidth = 0;
    std::function<bool()> stopRequested;
};

// Runs one command; returns the exit status (0 success, 1 failure, 2 usage; check-update: 3 when
// an update is listed).
int runCliCommand(const CliOptions& options, CliEnvironment& env);

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUpdateListed = 3;

} // namespace veltra
