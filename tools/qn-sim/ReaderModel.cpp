#include "tools/qn-sim/ReaderModel.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace qnsim {

namespace {

constexpr std::size_t kMaxSequenceBlock = 100; // longest sequence block a reader takes
constexpr std::size_t kParameterBlockSize = 4;

int family(int type) {
    return type & 0xFF0;
}

bool oneOf(int value, std::initializer_list<int> list) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

int versionNumber(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 36;
    }
    return 255;
}

// One data output in the current block-1 layout (18 bytes).
Bytes dataRecord(std::uint8_t transponderType, std::uint8_t firstRegister) {
    return Bytes{transponderType,
                 firstRegister,
                 0xFF,
                 0xFF,
                 0xFF, // registers 2..4 unused
                 0xFF, // fixed filler
                 0x00, // byte order as read
                 0x00, // hexadecimal display
                 10,   // characters output
                 5,    // last used byte
                 1,    // first used byte
                 0x00,
                 0x00, // no type identifiers
                 0x00, // Manchester RF/64
                 0xFF,
                 0xFF,
                 0xFF,
                 0xFF}; // all bytes of each block active
}

bool parseInt(const std::string& text, int base, int lo, int hi, int* out) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, base);
    if (end == nullptr || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

} // namespace

int baudForCode(int code) {
    static constexpr int rates[] = {2400,   4800,   9600,   19200,  38400,  57600,
                                    115200, 230400, 460800, 921600, 1382400};
    if (code < 0 || code >= static_cast<int>(std::size(rates))) {
        return 0;
    }
    return rates[code];
}

bool isReaderBaud(int baud) {
    for (int code = 0; baudForCode(code) != 0; ++code) {
        if (baudForCode(code) == baud) {
            return true;
        }
    }
    return false;
}

ReaderModel::ReaderModel(const ReaderSetup& setup)
    : setup_(setup), baud_(setup.baud), line_(setup.line), mode_(setup.mode) {
    for (int n = 1; n <= 6; ++n) {
        blocks_[static_cast<std::size_t>(n - 1)] = defaultBlock(n, setup);
    }
}

bool hasExtendedProtocol(int type) {
    return oneOf(family(type),
                 {0x050, 0x240, 0x250, 0x280, 0x290, 0x520, 0x530, 0x540, 0x550, 0x560, 0x570}) ||
           oneOf(type, {0x231, 0x273});
}

bool hasExtraBlock1Byte(int type, char version) {
    if (hasExtendedProtocol(type)) {
        return false;
    }
    const int f = family(type);
    return (oneOf(f, {0x020, 0x060}) && versionNumber(version) >= 7) ||
           oneOf(f, {0x040, 0x100, 0x210}) || oneOf(type, {0x039, 0x081, 0x271});
}

bool hasTwoDataOutputs(int type) {
    return oneOf(family(type), {0x050, 0x240, 0x250, 0x540, 0x550, 0x560, 0x570});
}

std::size_t block1SizeFor(int type, char version) {
    if (hasExtendedProtocol(type)) {
        return hasTwoDataOutputs(type) ? 40 : 18;
    }
    return hasExtraBlock1Byte(type, version) ? 12 : 11;
}

bool ReaderModel::extendedProtocol() const {
    return hasExtendedProtocol(setup_.type);
}
bool ReaderModel::extraBlock1Byte() const {
    return hasExtraBlock1Byte(setup_.type, setup_.version);
}
bool ReaderModel::twoDataOutputs() const {
    return hasTwoDataOutputs(setup_.type);
}
std::size_t ReaderModel::block1Size() const {
    return block1SizeFor(setup_.type, setup_.version);
}

Bytes ReaderModel::defaultBlock(int n, const ReaderSetup& setup) {
    switch (n) {
    case 1: {
        const Bytes first = dataRecord(0x00, 0x01); // fixed format "Unique"
        if (hasExtendedProtocol(setup.type)) {
            if (!hasTwoDataOutputs(setup.type)) {
                return first;
            }
            Bytes b = first;
            b.insert(b.end(), {0x00, 0x00});
            const Bytes second = dataRecord(0x00, 0xFF); // second output: nothing selected
            b.insert(b.end(), second.begin(), second.end());
            b.insert(b.end(), {0x00, 0x00});
            return b;
        }
        // Older layout: 0x0A, transponder byte (0 = fixed format), format code and the
        // registers, display, length, two fixed 5s, and the used-bytes nibble where present.
        Bytes b{0x0A, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 10, 0x05, 0x05};
        if (hasExtraBlock1Byte(setup.type, setup.version)) {
            b.push_back(0x50);
        }
        return b;
    }
    case 2:
        return Bytes{0xFF}; // prefix: empty
    case 3:
        return Bytes{0x0D, 0x0A, 0xFF}; // suffix: CR LF
    case 4:
        return Bytes{0xFF}; // separator: empty
    case 5:
        return Bytes{0xFF}; // pull-off: empty
    case 6:
        return Bytes{0x00, 10, '?', 5}; // mode 0, cycle 1000 ms, prompt '?', timeout 500 ms
    default:
        return {};
    }
}

std::uint8_t ReaderModel::promptCharacter() const {
    const Bytes& b6 = blocks_[5];
    return b6.size() >= 3 ? b6[2] : static_cast<std::uint8_t>('?');
}

Reply ReaderModel::writeBlock(int n, const Bytes& data) {
    Bytes& block = blocks_[static_cast<std::size_t>(n - 1)];
    if (n == 1) {
        const std::size_t size = block1Size();
        if (extendedProtocol() && twoDataOutputs() && data.size() == 18) {
            // Only the first output was sent: it replaces the first record, the second stays.
            block.resize(size);
            std::copy(data.begin(), data.end(), block.begin());
        } else if (data.size() == size) {
            block = data;
        } else {
            return {kStatusBadLength, {}};
        }
    } else if (n == 6) {
        if (data.size() != kParameterBlockSize) {
            return {kStatusBadLength, {}};
        }
        block = data;
    } else {
        if (data.empty() || data.size() > kMaxSequenceBlock) {
            return {kStatusBadLength, {}};
        }
        block = data;
    }
    if (setup_.alterBlock == n && !block.empty()) {
        // A faulty memory cell: the write is acknowledged, but the stored block differs.
        block.back() = static_cast<std::uint8_t>(block.back() ^ 0x01);
    }
    changed();
    return {};
}

Reply ReaderModel::handle(const Request& request) {
    const Bytes& d = request.data;
    const std::uint8_t cmd = request.command;
    if (cmd >= 0x81 && cmd <= 0x86) {
        return writeBlock(cmd - 0x80, d);
    }
    if (cmd >= 0x89 && cmd <= 0x8E) {
        return {kStatusOk, blocks_[static_cast<std::size_t>(cmd - 0x89)]};
    }
    switch (cmd) {
    case 0xF0: {
        if (!setup_.ident.empty()) {
            return {kStatusOk, Bytes(setup_.ident.begin(), setup_.ident.end())};
        }
        char text[8];
        std::snprintf(text, sizeof text, "%03X%c", setup_.type & 0xFFF, setup_.version);
        return {kStatusOk, Bytes(text, text + 4)};
    }
    case 0xF1:
        if (d.empty()) {
            return {kStatusBadLength, {}};
        }
        transponderConfig_ = d;
        changed();
        return {};
    case 0xF2: {
        if (d.size() != 1) {
            return {kStatusBadLength, {}};
        }
        const int rate = baudForCode(d[0] & 0x0F);
        const int parity = d[0] >> 4;
        if (rate == 0 || parity > 3) {
            return {kStatusBadValue, {}};
        }
        baud_ = rate;
        line_ = parity;
        changed();
        return {};
    }
    case 0xF4: {
        if (d.empty()) {
            return {kStatusOk, Bytes{static_cast<std::uint8_t>(0x80 | storedMode_)}};
        }
        if (d.size() != 1) {
            return {kStatusBadLength, {}};
        }
        const int value = d[0];
        if (!oneOf(value, {0, 1, 2, 3, 0x80, 0x81, 0x83})) {
            return {kStatusBadValue, {}};
        }
        mode_ = value & 0x7F;
        if ((value & 0x80) != 0) {
            storedMode_ = mode_;
        }
        changed();
        return {};
    }
    case 0xF6:
        if (d.size() != 2) {
            return {kStatusBadLength, {}};
        }
        // A reset restarts the reader in its power-on mode.
        mode_ = storedMode_;
        changed();
        return {};
    case 0xFE:
        if (d.empty()) {
            return {kStatusOk, Bytes{static_cast<std::uint8_t>(dtr_), 0x00}};
        }
        if (d.size() != 1) {
            return {kStatusBadLength, {}};
        }
        if (d[0] > 1) {
            return {kStatusBadValue, {}};
        }
        dtr_ = d[0];
        changed();
        return {};
    case 0xFF:
        if (d.size() != 1) {
            return {kStatusBadLength, {}};
        }
        if (d[0] != 1 && d[0] != 2) {
            return {kStatusBadValue, {}};
        }
        usbInterface_ = d[0];
        changed();
        return {};
    case 0x80:
        if (d.size() != 4) {
            return {kStatusBadLength, {}};
        }
        password_ = d;
        changed();
        return {};
    case 0x88:
        if (d.size() != 5) {
            return {kStatusBadLength, {}};
        }
        typedPasswords_[d[0]] = Bytes(d.begin() + 1, d.end());
        changed();
        return {};
    default:
        return {kStatusUnknownCommand, {}};
    }
}

bool ReaderModel::isReaderModeInput(std::uint8_t byte) const {
    if (mode_ != 1 && mode_ != 3) {
        return false;
    }
    return byte == 0x11 || byte == 0x13 || byte == 0x07 || byte == promptCharacter();
}

ReaderModel::Input ReaderModel::readerModeByte(std::uint8_t byte) {
    if (!isReaderModeInput(byte)) {
        return Input::Ignored;
    }
    switch (byte) {
    case 0x11:
        relay_ = 1;
        changed();
        return Input::Taken;
    case 0x13:
        relay_ = 0;
        changed();
        return Input::Taken;
    case 0x07:
        ++buzzerCount_;
        changed();
        return Input::Taken;
    default:
        // The prompt asks for one telegram; a reader without output only takes it.
        return mode_ == 1 ? Input::Prompt : Input::Taken;
    }
}

void ReaderModel::changed() {
    if (statePath_.empty()) {
        return;
    }
    std::string error;
    if (!saveState(&error)) {
        saveError_ = error;
        std::fprintf(stderr, "qn-sim: %s\n", error.c_str());
    }
}

std::string ReaderModel::formatHex(const Bytes& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += cell;
    }
    return out;
}

std::optional<Bytes> ReaderModel::parseHex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        int v = 0;
        if (token.size() > 2 || !parseInt(token, 16, 0, 255, &v)) {
            return std::nullopt;
        }
        if (out.size() >= 255) {
            return std::nullopt; // no block is longer than one frame can carry
        }
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

std::string ReaderModel::stateText() const {
    std::ostringstream out;
    char type[8];
    std::snprintf(type, sizeof type, "%03X", setup_.type & 0xFFF);
    out << "type=" << type << '\n';
    out << "version=" << setup_.version << '\n';
    out << "baud=" << baud_ << '\n';
    out << "line=" << line_ << '\n';
    out << "mode=" << mode_ << '\n';
    out << "stored_mode=" << storedMode_ << '\n';
    out << "dtr=" << dtr_ << '\n';
    out << "usb_interface=" << usbInterface_ << '\n';
    for (int n = 1; n <= 6; ++n) {
        out << "block" << n << '=' << formatHex(blocks_[static_cast<std::size_t>(n - 1)]) << '\n';
    }
    if (password_) {
        out << "password=" << formatHex(*password_) << '\n';
    }
    for (const auto& [type_byte, pw] : typedPasswords_) {
        out << "password." << type_byte << '=' << formatHex(pw) << '\n';
    }
    if (transponderConfig_) {
        out << "transponder_config=" << formatHex(*transponderConfig_) << '\n';
    }
    out << "relay=" << relay_ << '\n';
    out << "buzzer_count=" << buzzerCount_ << '\n';
    if (extraState_) {
        out << extraState_();
    }
    return out.str();
}

bool ReaderModel::saveState(std::string* error) const {
    // Written whole to a temporary file beside the target, then renamed over it, so a reader
    // of the file never sees half a state.
    const std::string tmp = statePath_ + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = "cannot write " + tmp;
            return false;
        }
        out << stateText();
        out.flush();
        if (!out) {
            *error = "cannot write " + tmp;
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), statePath_.c_str()) != 0) {
        *error = "cannot replace " + statePath_;
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

StateMap ReaderModel::parseStateText(const std::string& text) {
    StateMap map;
    std::istringstream in(text);
    std::string lineText;
    while (std::getline(in, lineText)) {
        if (!lineText.empty() && lineText.back() == '\r') {
            lineText.pop_back();
        }
        const auto eq = lineText.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        map[lineText.substr(0, eq)] = lineText.substr(eq + 1);
    }
    return map;
}

bool ReaderModel::readStateFile(const std::string& path, StateMap* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    *out = parseStateText(text.str());
    return true;
}

void ReaderModel::applyIdentity(const StateMap& state, ReaderSetup* setup) {
    int v = 0;
    if (auto it = state.find("type");
        it != state.end() && it->second.size() <= 3 && parseInt(it->second, 16, 0, 0xFFF, &v)) {
        setup->type = v;
    }
    if (auto it = state.find("version"); it != state.end() && it->second.size() == 1 &&
                                         it->second[0] > ' ' && it->second[0] <= '~') {
        setup->version = it->second[0];
    }
}

std::vector<std::string> ReaderModel::applyState(const StateMap& state) {
    std::vector<std::string> skipped;
    auto intKey = [&](const char* key, int lo, int hi, int* target,
                      std::initializer_list<int> allowed = {}) {
        auto it = state.find(key);
        if (it == state.end()) {
            return;
        }
        int v = 0;
        if (!parseInt(it->second, 10, lo, hi, &v) || (allowed.size() != 0 && !oneOf(v, allowed))) {
            skipped.push_back(key);
            return;
        }
        *target = v;
    };
    ReaderSetup identity = setup_;
    applyIdentity(state, &identity);
    if (identity.type != setup_.type || identity.version != setup_.version) {
        setup_.type = identity.type;
        setup_.version = identity.version;
        for (int n = 1; n <= 6; ++n) {
            blocks_[static_cast<std::size_t>(n - 1)] = defaultBlock(n, setup_);
        }
    }
    int baud = baud_;
    intKey("baud", 1, 4000000, &baud);
    if (isReaderBaud(baud)) {
        baud_ = baud;
    } else {
        skipped.push_back("baud");
    }
    intKey("line", 0, 3, &line_);
    intKey("mode", 0, 3, &mode_);
    intKey("stored_mode", 0, 3, &storedMode_);
    intKey("dtr", 0, 1, &dtr_);
    intKey("usb_interface", 1, 2, &usbInterface_);
    intKey("relay", 0, 1, &relay_);
    intKey("buzzer_count", 0, 1000000000, &buzzerCount_);
    for (int n = 1; n <= 6; ++n) {
        const std::string key = "block" + std::to_string(n);
        auto it = state.find(key);
        if (it == state.end()) {
            continue;
        }
        auto bytes = parseHex(it->second);
        if (!bytes || bytes->empty()) {
            skipped.push_back(key);
            continue;
        }
        blocks_[static_cast<std::size_t>(n - 1)] = *bytes;
    }
    for (const auto& [key, value] : state) {
        std::optional<Bytes> bytes;
        if (key == "password" || key == "transponder_config" || key.rfind("password.", 0) == 0) {
            bytes = parseHex(value);
            if (!bytes) {
                skipped.push_back(key);
                continue;
            }
        }
        if (key == "password") {
            password_ = *bytes;
        } else if (key == "transponder_config") {
            transponderConfig_ = *bytes;
        } else if (key.rfind("password.", 0) == 0) {
            int typeByte = 0;
            if (!parseInt(key.substr(9), 10, 0, 255, &typeByte)) {
                skipped.push_back(key);
                continue;
            }
            typedPasswords_[typeByte] = *bytes;
        }
    }
    return skipped;
}

} // namespace qnsim
