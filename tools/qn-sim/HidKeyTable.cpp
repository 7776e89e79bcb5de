#include "tools/qn-sim/HidKeyTable.h"

#include <cstdio>
#include <cstdlib>

namespace qnsim {

namespace {

// The keys of the alphanumeric block of the US layout: usage id, character without and with
// Shift. The key left of Enter is taken as the 105-key keyboard's key 0x32 (Non-US #), which
// the kernel maps to the same key code as the 104-key backslash key 0x31.
struct UsKey {
    std::uint8_t usage;
    char normal;
    char shifted;
};

constexpr UsKey kUsKeys[] = {
    {0x2C, ' ', 0},   {0x35, '`', '~'},  {0x1E, '1', '!'}, {0x1F, '2', '@'},  {0x20, '3', '#'},
    {0x21, '4', '$'}, {0x22, '5', '%'},  {0x23, '6', '^'}, {0x24, '7', '&'},  {0x25, '8', '*'},
    {0x26, '9', '('}, {0x27, '0', ')'},  {0x2D, '-', '_'}, {0x2E, '=', '+'},  {0x2F, '[', '{'},
    {0x30, ']', '}'}, {0x32, '\\', '|'}, {0x33, ';', ':'}, {0x34, '\'', '"'}, {0x36, ',', '<'},
    {0x37, '.', '>'}, {0x38, '/', '?'},
};

// Kernel key codes (linux/input-event-codes.h) of the HID usages 0x04 .. 0x38.
constexpr int kEvdevFrom04[] = {
    30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50, 49, 24, 25, 16, 19, 31, 20, // a..t
    22, 47, 17, 45, 21, 44,                                                         // u..z
    2,  3,  4,  5,  6,  7,  8,  9,  10, 11,                                         // 1..0
    28, 1,  14, 15, 57,                            // Enter, Escape, Backspace, Tab, Space
    12, 13, 26, 27, 43, 43, 39, 40, 41, 51, 52, 53 // - = [ ] \ NonUS-# ; ' ` , . /
};

} // namespace

HidKeyTable HidKeyTable::us() {
    HidKeyTable table;
    for (int i = 0; i < 26; ++i) {
        const auto usage = static_cast<std::uint8_t>(0x04 + i);
        table.set(static_cast<std::uint8_t>('a' + i), {0, usage});
        table.set(static_cast<std::uint8_t>('A' + i), {kModLeftShift, usage});
    }
    for (const UsKey& key : kUsKeys) {
        table.set(static_cast<std::uint8_t>(key.normal), {0, key.usage});
        if (key.shifted != 0) {
            table.set(static_cast<std::uint8_t>(key.shifted), {kModLeftShift, key.usage});
        }
    }
    return table;
}

std::optional<HidKey> HidKeyTable::find(std::uint8_t character) const {
    if (character < kFirst || character > kLast) {
        return std::nullopt;
    }
    const HidKey key = keys_[static_cast<std::size_t>(character - kFirst)];
    if (key.usage == 0) {
        return std::nullopt;
    }
    return key;
}

void HidKeyTable::set(std::uint8_t character, HidKey key) {
    if (character < kFirst || character > kLast) {
        return;
    }
    keys_[static_cast<std::size_t>(character - kFirst)] = key.usage == 0 ? HidKey{} : key;
}

std::string HidKeyTable::stateText() const {
    std::string out;
    char line[32];
    for (int c = kFirst; c <= kLast; ++c) {
        const HidKey key = keys_[static_cast<std::size_t>(c - kFirst)];
        if (key.usage != 0) {
            std::snprintf(line, sizeof line, "hid_key.%02X=%02X %02X\n", c, key.modifier,
                          key.usage);
            out += line;
        }
    }
    return out;
}

bool HidKeyTable::applyStateEntry(const std::string& key, const std::string& value) {
    unsigned character = 0;
    unsigned modifier = 0;
    unsigned usage = 0;
    char extra = 0;
    if (std::sscanf(key.c_str(), "hid_key.%2X%c", &character, &extra) != 1 ||
        std::sscanf(value.c_str(), "%2X %2X%c", &modifier, &usage, &extra) != 2 ||
        character < kFirst || character > kLast) {
        return false;
    }
    set(static_cast<std::uint8_t>(character),
        {static_cast<std::uint8_t>(modifier), static_cast<std::uint8_t>(usage)});
    return true;
}

int evdevKeyForUsage(std::uint8_t usage) {
    constexpr int count = sizeof kEvdevFrom04 / sizeof kEvdevFrom04[0];
    if (usage >= 0x04 && usage < 0x04 + count) {
        return kEvdevFrom04[usage - 0x04];
    }
    if (usage == 0x64) {
        return 86; // the key between left Shift and Z on 105-key keyboards
    }
    return 0;
}

} // namespace qnsim
