#include "keys/KeySequence.h"

#include "config/ini/CIniEx.h"

#include <cstdio>

namespace veltra {
namespace {

constexpr KeyName kKeyNames[] = {
    {0x00, "NUL"},    {0x01, "SOH"},
    {0x02, "STX"},    {0x03, "ETX"},
    {0x04, "EOT"},    {0x05, "ENQ"},
    {0x06, "ACK"},    {0x07, "BEL (Buzzer)"},
    {0x08, "BS"},     {0x09, "HT (Tab)"},
    {0x0A, "LF"},     {0x0B, "VT"},
    {0x0C, "FF"},     {0x0D, "CR (Enter)"},
    {0x0E, "SO"},     {0x0F, "SI"},
    {0x10, "DLE"},    {0x11, "DC1 (RelaisOn)"},
    {0x12, "DC2"},    {0x13, "DC3 (RelaisOff)"},
    {0x14, "DC4"},    {0x15, "NAK"},
    {0x16, "SYN"},    {0x17, "ETB"},
    {0x18, "CAN"},    {0x19, "EM"},
    {0x1A, "SUB"},    {0x1B, "ESC"},
    {0x1C, "FS"},     {0x1D, "GS"},
    {0x1E, "RS"},     {0x1F, "US"},
    {0x20, "SP"},     {0x7F, "DEL"},
    {0x80, "F1"},     {0x81, "F2"},
    {0x82, "F3"},     {0x83, "F4"},
    {0x84, "F5"},     {0x85, "F6"},
    {0x86, "F7"},     {0x87, "F8"},
    {0x88, "F9"},     {0x89, "F10"},
    {0x8A, "F11"},    {0x8B, "F12"},
    {0x8C, "Shift+"}, {0x8D, "Control+"},
    {0x8E, "Alt+"},   {0x8F, "Wait 100"},
};

const char* tableName(std::uint8_t code) {
    for (const KeyName& entry : kKeyNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

// The editor list: named codes by their names, the printable characters as themselves, except
// that the apostrophe shows as an acute accent (cp1252 0xB4), the backslash is followed by a
// blank and the grave accent shows as an apostrophe.
std::array<std::string, kEditorCodeCount> buildEditorList() {
    std::array<std::string, kEditorCodeCount> list;
    for (std::size_t code = 0; code < kEditorCodeCount; ++code) {
        list[code] = CodeName(static_cast<std::uint8_t>(code));
    }
    list[0x27] = "\xB4";
    list[0x5C] = "\\ ";
    list[0x60] = "'";
    return list;
}

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiUpper(a[i]) != asciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

std::string asciiKey(std::size_t index) {
    return "Ascii" + std::to_string(index);
}

} // namespace

std::span<const KeyName> KeyNameTable() {
    return kKeyNames;
}

std::string CodeName(std::uint8_t code) {
    if (const char* name = tableName(code)) {
        return name;
    }
    return std::string(1, static_cast<char>(code));
}

std::uint8_t HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return 0xFF;
}

std::span<const std::string> editorCodeList() {
    static const std::array<std::string, kEditorCodeCount> list = buildEditorList();
    return list;
}

ASCII makeAscii(std::uint8_t code) {
    return ASCII{code, CodeName(code)};
}

std::optional<ASCII> ParseEntry(std::string_view text, std::span<const std::string> codeList) {
    if (text.size() == 1) {
        const auto code = static_cast<std::uint8_t>(text[0]);
        return ASCII{code, code == ' ' ? std::string("SP") : std::string(text)};
    }
    if (text.size() == 2) {
        const std::uint8_t high = HexDigitValue(text[0]);
        const std::uint8_t low = HexDigitValue(text[1]);
        if (high != 0xFF && low != 0xFF) {
            return makeAscii(static_cast<std::uint8_t>(high * 16 + low));
        }
    }
    const std::size_t count = std::min(codeList.size(), std::size_t{256});
    for (std::size_t position = 0; position < count; ++position) {
        if (!text.empty() && equalIgnoringCase(codeList[position], text)) {
            return ASCII{static_cast<std::uint8_t>(position), codeList[position]};
        }
    }
    return std::nullopt;
}

std::string rowText(const ASCII& element) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%02X H     ", element.code);
    return prefix + element.name;
}

void AppendCodes(const CAsciiArray& sequence, std::vector<std::uint8_t>& buffer) {
    for (const ASCII& element : sequence) {
        buffer.push_back(element.code);
    }
    buffer.push_back(kSequenceTerminator);
}

CAsciiArray sequenceFromBlock(std::span<const std::uint8_t> block) {
    CAsciiArray sequence;
    if (block.size() < 2) {
        return sequence;
    }
    sequence.reserve(block.size() - 1);
    for (std::size_t i = 0; i + 1 < block.size(); ++i) {
        sequence.push_back(makeAscii(block[i]));
    }
    return sequence;
}

bool LoadFromBytes(CAsciiArray& target, const std::uint8_t* bytes, int length) {
    if (length < 0 || (bytes == nullptr && length > 0)) {
        return false;
    }
    target = sequenceFromBlock(
        std::span<const std::uint8_t>(bytes, bytes == nullptr ? 0 : std::size_t(length)));
    return true;
}

SequenceLoadResult LoadSequenceSection(const CIniEx& file, std::string_view section,
                                       CAsciiArray& target) {
    const int count = file.readInt(section, "Count", 0);
    if (count > static_cast<int>(kMaxSequenceCodes)) {
        return SequenceLoadResult::TooManyCodes;
    }
    CAsciiArray sequence;
    for (int i = 0; i < count; ++i) {
        const std::string value = file.readString(section, asciiKey(std::size_t(i)), "0");
        // The low byte of the number: 300 is 0x2C, -1 is 0xFF.
        const auto code = static_cast<std::uint8_t>(CIniEx::parseLeadingInt(value) & 0xFF);
        sequence.push_back(makeAscii(code));
    }
    target = std::move(sequence);
    return SequenceLoadResult::Loaded;
}

void SaveSequenceSection(CIniEx& file, std::string_view section, const CAsciiArray& sequence) {
    file.writeInt(section, "Count", static_cast<int>(sequence.size()));
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        file.writeInt(section, asciiKey(i), sequence[i].code);
    }
}

} // namespace veltra
