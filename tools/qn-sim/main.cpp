// qn-sim: a reader on a pseudo-terminal, for trying the configuration tool and for tests.
#include "tools/qn-sim/HidServer.h"
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
until it receives SIGTERM or SIGINT (exit status 0). With --hid it is a USB HID keyboard
reader instead, reached through the stand-in hidapi library, and prints its socket path.

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
  --alter-block N        a write to block N (1..6) is acknowledged, but the block is stored
                         with its last byte changed (bit 0 inverted), as by a faulty memory

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

USB HID keyboard reader (vendor 16C0, product 2913):
  --hid                  be a HID reader on a Unix socket (SOCK_SEQPACKET) instead of a
                         terminal; the stand-in hidapi (libqn-hidapi-standin.so) finds it through
                         QN_SIM_HID_SOCKETS. The command protocol travels in data reports;
                         --baud, --line, --pace and --link do not apply
  --socket PATH          socket path [a fresh temporary folder]/reader.sock
  --serial TEXT          USB serial number string, UTF-8 [1650-000001]
  --no-serial            no serial number string (listed as "1319-???? HID")
  --report-length IN,OUT input and output report length, report ID included, 3..4096 and
                         3..64 [9,9]
  --hid-path PATH        device path hidapi reports [qn-sim:<socket path>]. When PATH names an
                         existing file, the stand-in opens the device only if it can open that
                         file for reading and writing, as hidapi opens a hidraw node
  --hid-fault KIND       (may be repeated)
                           query-ff     answer every key query with FF FF
                           refuse-set   drop set-key messages (the key table stays as it is)
                           wrong-echo   answer key queries with 13 instead of 11 first
                           no-mode      stall the output report of the mode message, so the
                                        write fails and the device link refuses to open (-18)
                           long-length  full data reports carry a length byte larger than the
                                        report
  --type-into-display    type reader-mode telegrams into the X display in DISPLAY through
                         XTest, key by key from the key table (CR as Return, TAB as Tab, LF and
                         characters without a key left out)
  --type-text TEXT       type TEXT once after start (with --type-into-display); \r \t \xHH
                         are understood. A client can also send a text to type (SimProcess::
                         typeText)
  Control messages: 10 v mode message (v recorded as hid_mode); 11 c key query, answered
  11 c modifier usage (FF FF: no key); 12 c modifier usage sets the key of c (usage 0 removes
  it). The key table starts as the US layout (Shift = modifier 02).
  State file: hid_mode=v (once a mode message came), hid_queries=N, hid_sets=N (set-key
  messages received, also refused ones), hid_round_trips=N (output reports received),
  hid_typed=N (telegrams and texts typed), hid_key.CC=MM UU for every character CC (hex) the
  table has a key for. These are written 5 ms after they change (once for a burst of
  messages), other changes at once. hid_key entries of a state file replace the US table.
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
qnsim::HidServer* g_hidServer = nullptr;
qnsim::LanServer* g_lanServer = nullptr;

extern "C" void onSignal(int) {
    if (g_server != nullptr) {
        g_server->requestStop();
    }
    if (g_hidServer != nullptr) {
        g_hidServer->requestStop();
    }
    if (g_lanServer != nullptr) {
        g_lanServer->requestStop();
    }
}

void installSignalHandlers() {
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

// The HID face: the key table from the state file when it holds one, else the US layout.
int runHid(qnsim::ReaderModel& model, const qnsim::ServerOptions& options,
           const qnsim::HidOptions& hid, const qnsim::StateMap& state) {
    qnsim::HidKeyTable table = qnsim::HidKeyTable::us();
    bool tableLoaded = false;
    for (const auto& [key, value] : state) {
        if (key.rfind("hid_key.", 0) != 0) {
            continue;
        }
        if (!tableLoaded) {
            table = qnsim::HidKeyTable();
            tableLoaded = true;
        }
        if (!table.applyStateEntry(key, value)) {
            std::fprintf(stderr, "qn-sim: state file: ignored malformed value of '%s'\n",
                         key.c_str());
        }
    }
    qnsim::HidServer server(model, options, hid, table);
    std::string error;
    if (!server.open(&error)) {
        std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
        return 1;
    }
    model.extraStateChanged();
    g_hidServer = &server;
    installSignalHandlers();
    std::printf("%s\n", server.socketPath().c_str());
    std::fflush(stdout);
    const bool ok = server.run(&error);
    g_hidServer = nullptr;
    if (!ok) {
        std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qnsim::ReaderSetup setup;
    qnsim::ServerOptions options;
    std::string statePath;
    std::string linkPath;
    bool hidFace = false;
    qnsim::HidOptions hid;
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
        } else if (arg == "--alter-block") {
            setup.alterBlock = static_cast<int>(parseNumber(arg, needValue(), 10, 1, 6));
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
        } else if (arg == "--hid") {
            hidFace = true;
        } else if (arg == "--socket") {
            hid.socketPath = needValue();
        } else if (arg == "--serial") {
            hid.serial = needValue();
            if (hid.serial->empty() || hid.serial->find('\n') != std::string::npos) {
                fail("--serial needs a text of one line; --no-serial for none");
            }
        } else if (arg == "--no-serial") {
            hid.serial.reset();
        } else if (arg == "--report-length") {
            const std::string v = needValue();
            const auto comma = v.find(',');
            if (comma == std::string::npos) {
                fail("--report-length needs IN,OUT");
            }
            hid.inputLength = static_cast<int>(parseNumber(arg, v.substr(0, comma), 10, 3, 4096));
            hid.outputLength = static_cast<int>(parseNumber(arg, v.substr(comma + 1), 10, 3, 64));
        } else if (arg == "--hid-path") {
            hid.devicePath = needValue();
        } else if (arg == "--hid-fault") {
            const std::string v = needValue();
            if (v == "query-ff") {
                hid.queryAllFF = true;
            } else if (v == "refuse-set") {
                hid.refuseSet = true;
            } else if (v == "wrong-echo") {
                hid.wrongEcho = true;
            } else if (v == "no-mode") {
                hid.noMode = true;
            } else if (v == "long-length") {
                hid.longLength = true;
            } else {
                fail("unknown HID fault kind '" + v + "'");
            }
        } else if (arg == "--type-into-display") {
            hid.typeIntoDisplay = true;
        } else if (arg == "--type-text") {
            hid.typeText = unescape(needValue());
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

    if (hidFace) {
        return runHid(model, options, hid, haveState ? state : qnsim::StateMap{});
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
        installSignalHandlers();
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
    installSignalHandlers();

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
