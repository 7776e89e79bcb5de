// The rules of the serial parameter page without its widgets: which "Setzen" entries a stored
// "Baudrate" value selects and which value the entries give back, which controls a reader's
// features enable or show, and the checks the page runs when its values are taken over. The
// page (config/ui) and veltra-cli use the same rules.
#pragma once

#include "config/ConfigChecks.h"
#include "config/ReaderConfiguration.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace veltra {

// The rates of the "Setzen" list, in list order.
inline constexpr std::array<int, 8> kSetBaudRates{2400,  4800,  9600,   19200,
                                                  38400, 57600, 115200, 230400};
// Entries of the parity list ("keine", "gerade", "ungerade") and the stop-bit list ("1", "2").
inline constexpr int kParityEntries = 3;
inline constexpr int kStopBitEntries = 2;

// What the three "Setzen" lists select; -1 selects nothing.
struct InterfaceSelection {
    int baudIndex = -1;
    int parityIndex = -1;
    int stopBitsIndex = -1;

    bool operator==(const InterfaceSelection&) const = default;
};

// Selection index that leaves a list as it is.
inline constexpr int kKeepSelection = -2;

// The list entries a stored "Baudrate" value selects: 2400, 4800 and 9600 their own entries,
// every other rate "19200" (the reader is switched to it when programmed, as the lists show
// beforehand). A value whose line-format remainder has bit 7 set (a negative value) leaves the
// parity and stop-bit lists as they are (kKeepSelection).
InterfaceSelection interfaceSelectionFor(int baudValue);

// The "Baudrate" value the lists give back. Without a rate entry the page's previous value
// rounded down to a multiple of 100 is used; without parity and stop-bit entries the previous
// serial format code is kept.
int baudValueFor(const InterfaceSelection& selection, int previousValue);

// Index of a rate in the "Setzen" list, -1 when it is not listed.
int setBaudIndexOf(int rate);

// The stored interface name that locks the "Setzen" lists: a USB reader's virtual port cannot
// be switched to another rate by the tool.
bool interfaceLocksSerialSettings(std::string_view interfaceName);

// Enable and visibility state of the page's controls.
struct ParamPageControls {
    bool mode2Enabled = false;
    bool mode5Enabled = false;
    bool mode6Enabled = false;
    bool programmingModeEnabled = false;  // "Programmiermodus" and "Lesermodus"
    bool silentReaderModeEnabled = false; // "Lesermodus ohne Ausgabe"
    bool sensorDataVisible = false;
    bool timeoutEnabled = false;
    bool cycleTimeEnabled = false;
    bool interfaceGroupVisible = false;
    bool setListsEnabled = false;
    bool tcpGroupVisible = false;
    bool tcpFieldsEnabled = false;
    bool dtrVisible = false;

    bool operator==(const ParamPageControls&) const = default;
};

struct ParamPageState {
    std::uint32_t features = 0;
    bool dtrSupported = false;
    unsigned mode = 0; // operating mode 0..6
    bool tcpClientActive = false;
    std::string interfaceName; // stored "Port"/"Name"
};

ParamPageControls paramPageControls(const ParamPageState& state);

// The parameters as the page takes them over: the rate as the "Setzen" list shows it (see
// interfaceSelectionFor; the serial format code stays), the power-on mode only as a page
// index 0..2 (anything else selects no radio and is not programmed), the DTR mode as 0 or 1.
ReaderParameters pageParameters(const ReaderParameters& parameters);

// The parameters as the page accepts them from a reader or a file: pageParameters when they
// pass the checks, else the page's defaults for mode, sensor data, prompt, cycle time, timeout
// and rate (TCP client, DTR and power-on mode stay as delivered).
ReaderParameters acceptedParameters(const ReaderParameters& parameters);

// The page's checks of a parameter set in the page's order: prompt length, cycle time, timeout,
// then the server address and port while the TCP client is on (a remote address is set).
CheckResult checkParameterValues(const ReaderParameters& parameters);

// The TCP client's server: a dotted IPv4 address (kStrInvalidServerAddress, ServerAddress) and
// a port of 0..65535 (kStrIntegerRange, ServerPort).
CheckResult checkServer(std::string_view address, int port);
inline constexpr int kMaxServerPort = 65535;

// The prompt character as the page's field shows it (no character for 0).
std::string promptText(char prompt);
// The prompt character the field gives back: its first character, "?" when it is empty.
char promptFrom(std::string_view text);

// A dotted IPv4 address: four decimal parts of 0..255 with at most three digits each. The page
// refuses any other server address while "TCP Client aktiv" is checked, so the reader is never
// handed an address it cannot connect to.
bool isIpv4Address(std::string_view text);
inline constexpr int kStrInvalidServerAddress = 75340;

} // namespace veltra
