// qn-sim: a reader on a pseudo-terminal, for trying the configuration tool and for tests.
#include "tools/qn-sim/LanServer.h"
#include "tools/qn-sim/PtyServer.h"
#include "tools/qn-sim/ReaderModel.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const char kUsage[] =
    R"(Usage: qn-sim [options]

Behaves like a Quarnel Veltra reader on a pseudo-terminal. Prints the device path of the
terminal (e.g. /dev/pts/7) alone on the first line of standard output, then answers requests
until it receives SIGTERM or SIGINT (exit status 0).

Reader:
  --type HEX             device type code, 3 hex digits [244]
  --version C            firmware version character [K]
  --ident TEXT           text of the identification reply instead of type and version (a longer
                         text or fewer than 4 characters); the blocks still follow --type
  --mode N               operating mode after start: 0 programming, 1 reader mode,
                         2 idle, 3 reader mode without output [0]
  --state FILE           load the reader state from FILE if it exists and rewrite it whole
                         (temporary file + rename) after every change

Line:
  --framing stx|crc|both request framings answered; a reply uses the framing of its request [both]
  --address N            bus address answered, 0..255; frames to other addresses are ignored [1]
  --baud N               baud rate the reader listens at: 2400, 4800, 9600, 19200, 38400,
                         57600, 115200, 230400, 460800, 921600 or 1382400 [19200]
  --line 0|1|2|3         line format: 0 8N1, 1 8E1, 2 8O1, 3 8N2 [0]. While the client's port
                         settings (speed, parity, stop bits) differ from the reader's, everything
                         it sends is ignored, as a real reader would see only noise.
                         A pseudo-terminal drops the parity-enable flag, so there even
                         parity looks like none; odd parity and two stop bits are told apart
  --pace                 send reply bytes at the line's wire time (10 bit times per byte)
  --link PATH            also create a symbolic link PATH to the terminal (removed on exit)

Faults:
  --status HEX           answer with this non-zero status byte and no data; the request is not
                         carried out
  --fault KIND           damage the reply:
                           bad-check    the last check byte (BCC or CRC high byte) inverted
                           garbage      the bytes 5A A5 00 sent in front of the reply
                           header-only  only the header (up to LEN) sent, the rest never comes
                           silent       no reply; the request is not carried out
                           split        the reply in two halves with 40 ms between them
                         (except for silent the request is carried out)
  --fault-command HEX    apply --status/--fault only to requests with this command code [all]
  --fault-count N        apply them only to the first N matching requests [unlimited]

Reader mode (operating mode 1):
  --telegram TEXT        telegram text; \r \n \t \\ and \xHH are understood
                         [0415E3A2C7\r\n]
  --interval MS          telegram period in ms, 0 = only on the prompt character [1000]
  The prompt character (byte 2 of block 6) makes the reader send one telegram. The raw bytes
  11 (relay on), 13 (relay off) and 07 (buzzer) are recorded as relay= and buzzer_count=.
  Framed requests are still answered in reader mode.

State file: UTF-8 text, one key=value per line; bytes as two-digit upper-case hex separated by
blanks. Unknown keys and malformed values are ignored on load.
  type=244 version=K baud=19200 line=0 mode=0 stored_mode=1 dtr=0 usb_interface=2
  block1=.. to block6=..   parameter blocks; block1 in the reader's own layout (11 or 12 bytes
                           for readers without the extended parameter protocol, else 18 or 40)
  password=..              last transponder password (command 80), 4 bytes as received
  password.<type>=..       last password for a transponder type (command 88), decimal type
  transponder_config=..    data bytes of the last transponder configuration (command F1)
  relay=0|1                relay state set by the raw bytes 11/13 in reader mode
  buzzer_count=N           number of buzzer bytes 07 received in reader mode
A state file's type and version take the place of --type and --version.

Status bytes of refused requests: 01 unknown command, 02 wrong data length, 03 value not
allowed.

Ethernet reader (instead of the pseudo-terminal):
  --lan ADDRESS          be the network module of an Ethernet reader at this IPv4 address (it
                         must be one of the host's): the reader command protocol on TCP, the
                         module configuration on UDP port 30718 (also by broadcast). Prints
                         "ADDRESS-PORT" on the first line; logs each configuration datagram on
                         standard error
  --lan-port N           TCP port of the reader channel [10001]
  --lan-name TEXT        module name, up to 16 characters [QNSIM]
  --lan-type TEXT        type text of block 2; the maker's readers start with "QN-", anything
                         else is another maker's module [QN-LAN]
  --lan-dhcp             block 0 holds the address 0.0.0.0 (DHCP) while the module answers at
                         ADDRESS
  --lan-host-bits N      host bits of the subnet mask in block 0 [8]
  --lan-gateway ADDRESS  gateway in block 0 [0.0.0.0]
  --lan-move-delay MS    after a set-IP-address message, move to the new address (which must
                         be one of the host's) this much later [0]
  --lan-fault KIND       silent (no configuration answers), short (answers cut to 60 data
                         bytes), other-address (answers sent from --lan-reply-from)
  --lan-reply-from ADDR  the address of the other-address fault

  --help                 this text
)";

qnsim::PtyServer* g_server = nullptr;
qnsim::LanServer* g_lanServer = nullptr;

extern "C" void onSignal(int) {
    if (g_server != nullptr) {
        g_server->requestStop();
    }
    if (g_lanServer != nullptr) {
        g_lanServer->requestStop();
    }
}

void installSignals() {
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "qn-sim: %s\nTry 'qn-sim --help'.\n", message.c_str());
    std::exit(2);
}

long parseNumber(const std::string& option, const std::string& text, int base, long lo, long hi) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, base);
    if (text.empty() || errno != 0 || *end != '\0' || v < lo || v > hi) {
        fail("invalid value for " + option + ": '" + text + "'");
    }
    return v;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') {
            out += '\r';
        } else if (c == 'n') {
            out += '\n';
        } else if (c == 't') {
            out += '\t';
        } else if (c == 'x' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qnsim::ReaderSetup setup;
    qnsim::ServerOptions options;
    std::string statePath;
    std::string linkPath;
    qnsim::LanOptions lan;
    bool lanFace = false;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto needValue = [&]() -> std::string {
            if (hasValue) {
                return value;
            }
            if (i + 1 >= argc) {
                fail("option " + arg + " needs a value");
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--type") {
            const std::string v = needValue();
            if (v.size() != 3) {
                fail("--type needs 3 hex digits");
            }
            setup.type = static_cast<int>(parseNumber(arg, v, 16, 0, 0xFFF));
        } else if (arg == "--version") {
            const std::string v = needValue();
            if (v.size() != 1 || v[0] <= ' ' || v[0] > '~') {
                fail("--version needs one printable character");
            }
            setup.version = v[0];
        } else if (arg == "--ident") {
            setup.ident = needValue();
            if (setup.ident.empty() || setup.ident.size() > 255) {
                fail("--ident needs 1 to 255 characters");
            }
        } else if (arg == "--framing") {
            const std::string v = needValue();
            if (v == "stx") {
                options.acceptCrc = false;
            } else if (v == "crc") {
                options.acceptStx = false;
            } else if (v != "both") {
                fail("--framing must be stx, crc or both");
            }
        } else if (arg == "--address") {
            options.address = static_cast<std::uint8_t>(parseNumber(arg, needValue(), 10, 0, 255));
        } else if (arg == "--baud") {
            setup.baud = static_cast<int>(parseNumber(arg, needValue(), 10, 1, 4000000));
            if (!qnsim::isReaderBaud(setup.baud)) {
                fail("--baud must be one of 2400, 4800, 9600, 19200, 38400, 57600, 115200, "
                     "230400, 460800, 921600, 1382400");
            }
        } else if (arg == "--line") {
            setup.line = static_cast<int>(parseNumber(arg, needValue(), 10, 0, 3));
        } else if (arg == "--pace") {
            options.pace = true;
        } else if (arg == "--state") {
            statePath = needValue();
        } else if (arg == "--status") {
            options.faults.status =
                static_cast<std::uint8_t>(parseNumber(arg, needValue(), 16, 1, 255));
        } else if (arg == "--fault") {
            const std::string v = needValue();
            const auto fault = qnsim::parseFault(v);
            if (!fault) {
                fail("unknown fault kind '" + v + "'");
            }
            options.faults.fault = *fault;
        } else if (arg == "--fault-command") {
            options.faults.faultCommand =
                static_cast<std::uint8_t>(parseNumber(arg, needValue(), 16, 0, 255));
        } else if (arg == "--fault-count") {
            options.faults.faultCount = parseNumber(arg, needValue(), 10, 0, 1000000000);
        } else if (arg == "--mode") {
            setup.mode = static_cast<int>(parseNumber(arg, needValue(), 10, 0, 3));
        } else if (arg == "--telegram") {
            options.telegram = unescape(needValue());
        } else if (arg == "--interval") {
            options.intervalMs = static_cast<int>(parseNumber(arg, needValue(), 10, 0, 3600000));
        } else if (arg == "--link") {
            linkPath = needValue();
        } else if (arg == "--lan") {
            lan.address = needValue();
            lanFace = true;
        } else if (arg == "--lan-port") {
            lan.tcpPort = static_cast<int>(parseNumber(arg, needValue(), 10, 1, 65535));
        } else if (arg == "--lan-name") {
            lan.name = needValue();
            if (lan.name.size() > 16) {
                fail("--lan-name takes at most 16 characters");
            }
        } else if (arg == "--lan-type") {
            lan.typeText = needValue();
        } else if (arg == "--lan-dhcp") {
            lan.dhcp = true;
        } else if (arg == "--lan-host-bits") {
            lan.hostBits = static_cast<int>(parseNumber(arg, needValue(), 10, 0, 32));
        } else if (arg == "--lan-gateway") {
            lan.gateway = needValue();
        } else if (arg == "--lan-move-delay") {
            lan.moveDelayMs = static_cast<int>(parseNumber(arg, needValue(), 10, 0, 600000));
        } else if (arg == "--lan-fault") {
            const std::string v = needValue();
            const auto fault = qnsim::parseLanFault(v);
            if (!fault) {
                fail("unknown LAN fault kind '" + v + "'");
            }
            lan.fault = *fault;
        } else if (arg == "--lan-reply-from") {
            lan.replyFrom = needValue();
        } else {
            fail("unknown option '" + arg + "'");
        }
    }

    qnsim::StateMap state;
    const bool haveState =
        !statePath.empty() && qnsim::ReaderModel::readStateFile(statePath, &state);
    if (haveState) {
        qnsim::ReaderModel::applyIdentity(state, &setup);
    }
    qnsim::ReaderModel model(setup);
    if (haveState) {
        for (const auto& key : model.applyState(state)) {
            std::fprintf(stderr, "qn-sim: state file: ignored malformed value of '%s'\n",
                         key.c_str());
        }
    }
    if (!statePath.empty()) {
        model.setStateFile(statePath);
        std::string error;
        if (!model.saveState(&error)) {
            std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
            return 1;
        }
    }

    if (lanFace) {
        lan.readerFaults = options.faults;
        lan.acceptStx = options.acceptStx;
        lan.acceptCrc = options.acceptCrc;
        lan.busAddress = options.address;
        qnsim::LanServer server(model, lan);
        std::string error;
        if (!server.open(&error)) {
            std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
            return 1;
        }
        g_lanServer = &server;
        installSignals();
        std::printf("%s\n", server.portName().c_str());
        std::fflush(stdout);
        const bool ok = server.run(&error);
        g_lanServer = nullptr;
        if (!ok) {
            std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    qnsim::PtyServer server(model, options);
    std::string error;
    if (!server.open(&error)) {
        std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
        return 1;
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(server.slavePath().c_str(), linkPath.c_str()) != 0) {
            std::fprintf(stderr, "qn-sim: cannot create link %s: %s\n", linkPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    g_server = &server;
    installSignals();

    std::printf("%s\n", server.slavePath().c_str());
    std::fflush(stdout);

    const bool ok = server.run(&error);
    g_server = nullptr;
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
    }
    if (!ok) {
        std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
