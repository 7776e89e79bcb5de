// The reader itself, independent of the link it is reached over: its identity, the six
// parameter blocks, the operating and power-on modes, the line settings and the single values
// that commands set. It takes one decoded request and gives the reply, and it keeps its state
// in a text file so that tests can see what was programmed.
#pragma once

#include "tools/qn-sim/SimFrame.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qnsim {

// Status bytes the reader answers with when it refuses a request.
constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusUnknownCommand = 0x01;
constexpr std::uint8_t kStatusBadLength = 0x02;
constexpr std::uint8_t kStatusBadValue = 0x03;

struct Reply {
    std::uint8_t status = kStatusOk;
    Bytes data;
};

// What the reader is when it is switched on, before a state file is applied.
struct ReaderSetup {
    int type = 0x244;   // device type code, 0x000..0xFFF
    char version = 'K'; // firmware minor version character
    std::string ident;  // replaces type + version in the identification reply when not empty
    int baud = 19200;   // line speed the reader listens at
    int line = 0;       // 0 8N1, 1 8E1, 2 8O1, 3 8N2
    int mode = 0;       // operating mode after start
    int alterBlock = 0; // 1..6: a write to this block is stored with its last byte changed
};

using StateMap = std::map<std::string, std::string>;

class ReaderModel {
public:
    explicit ReaderModel(const ReaderSetup& setup);

    // Capabilities that follow from the type code and firmware version.
    bool extendedProtocol() const;
    bool extraBlock1Byte() const;
    bool twoDataOutputs() const;
    // Size of block 1 in the reader's own layout: 40 or 18 for readers with the extended
    // parameter protocol, 12 or 11 for older readers.
    std::size_t block1Size() const;

    // Answers one request addressed to this reader. Changes are saved to the state file, if
    // one is set, before this returns.
    Reply handle(const Request& request);

    enum class Input { Ignored, Taken, Prompt };
    // A raw byte that arrived outside a frame while the reader is in reader mode: relay on/off,
    // buzzer or the prompt character. Prompt means one telegram is due.
    Input readerModeByte(std::uint8_t byte);
    bool isReaderModeInput(std::uint8_t byte) const;

    int mode() const { return mode_; }
    int baud() const { return baud_; }
    int line() const { return line_; }
    const Bytes& block(int n) const { return blocks_.at(static_cast<std::size_t>(n - 1)); }
    std::uint8_t promptCharacter() const;

    // State file. setStateFile() names the file that is rewritten after every change;
    // applyState() takes the values of a parsed file (unknown keys and malformed values are
    // skipped, see the returned list).
    void setStateFile(std::string path) { statePath_ = std::move(path); }
    // Lines a face of the simulator adds to the state file (the HID face's key table and
    // counters); extraStateChanged() saves the file after they changed.
    void setExtraState(std::function<std::string()> lines) { extraState_ = std::move(lines); }
    void extraStateChanged() { changed(); }
    std::vector<std::string> applyState(const StateMap& state);
    std::string stateText() const;
    bool saveState(std::string* error) const;
    const std::string& lastSaveError() const { return saveError_; }

    static StateMap parseStateText(const std::string& text);
    // Reads a state file; false when it cannot be read (a missing file included).
    static bool readStateFile(const std::string& path, StateMap* out);
    // type and version from a state file take the place of those of the command line, since
    // the defaults of the blocks depend on them.
    static void applyIdentity(const StateMap& state, ReaderSetup* setup);

    static Bytes defaultBlock(int n, const ReaderSetup& setup);
    static std::optional<Bytes> parseHex(const std::string& text);
    static std::string formatHex(const Bytes& bytes);

private:
    Reply writeBlock(int n, const Bytes& data);
    void changed();

    ReaderSetup setup_;
    int baud_;
    int line_;
    int mode_;
    int storedMode_ = 1;
    int dtr_ = 0;
    int usbInterface_ = 2;
    std::array<Bytes, 6> blocks_;
    std::optional<Bytes> password_;
    std::map<int, Bytes> typedPasswords_;
    std::optional<Bytes> transponderConfig_;
    int relay_ = 0;
    int buzzerCount_ = 0;
    std::string statePath_;
    std::string saveError_;
    std::function<std::string()> extraState_;
};

// Capabilities that follow from a type code and firmware version character.
bool hasExtendedProtocol(int type);
bool hasExtraBlock1Byte(int type, char version);
bool hasTwoDataOutputs(int type);
std::size_t block1SizeFor(int type, char version);

// Baud code of the baud-rate command (bits 0..3) to the rate, or 0 for a code without one.
int baudForCode(int code);
// Whether a reader can run at this rate (one of the rates of the baud codes).
bool isReaderBaud(int baud);

} // namespace qnsim
