#include "keys/KeyLayout.h"

#include "config/ini/CIniEx.h"
#include "keys/TraceLog.h"

#include <cstdio>
#include <string>

namespace veltra {

// Scan codes of set 1 paired with the usage ids of the HID keyboard page, as a PC keyboard's
// alphanumeric block has them.
const std::array<OnScreenKey, 48> kOnScreenKeys = {{
    // number row
    {41, 0x35, "\xB0", 0},
    {2, 0x1E, "1", 0},
    {3, 0x1F, "2", 0},
    {4, 0x20, "3", 0},
    {5, 0x21, "4", 0},
    {6, 0x22, "5", 0},
    {7, 0x23, "6", 0},
    {8, 0x24, "7", 0},
    {9, 0x25, "8", 0},
    {10, 0x26, "9", 0},
    {11, 0x27, "0", 0},
    {12, 0x2D, "-", 0},
    {13, 0x2E, "=", 0},
    // upper row
    {16, 0x14, "Q", 1},
    {17, 0x1A, "W", 1},
    {18, 0x08, "E", 1},
    {19, 0x15, "R", 1},
    {20, 0x17, "T", 1},
    {21, 0x1C, "Y", 1},
    {22, 0x18, "U", 1},
    {23, 0x0C, "I", 1},
    {24, 0x12, "O", 1},
    {25, 0x13, "P", 1},
    {26, 0x2F, "[", 1},
    {27, 0x30, "]", 1},
    {43, 0x32, "#", 1},
    // home row
    {30, 0x04, "A", 2},
    {31, 0x16, "S", 2},
    {32, 0x07, "D", 2},
    {33, 0x09, "F", 2},
    {34, 0x0A, "G", 2},
    {35, 0x0B, "H", 2},
    {36, 0x0D, "J", 2},
    {37, 0x0E, "K", 2},
    {38, 0x0F, "L", 2},
    {39, 0x33, ";", 2},
    {40, 0x34, "'", 2},
    // lower row
    {86, 0x64, "<", 3},
    {44, 0x1D, "Z", 3},
    {45, 0x1B, "X", 3},
    {46, 0x06, "C", 3},
    {47, 0x19, "V", 3},
    {48, 0x05, "B", 3},
    {49, 0x11, "N", 3},
    {50, 0x10, "M", 3},
    {51, 0x36, ",", 3},
    {52, 0x37, ".", 3},
    {53, 0x38, "/", 3},
}};

namespace {

constexpr int kScanCodeKeys = 90; // scan codes 0..89 may have an on-screen key
constexpr int kUsageKeys = 104;   // usage ids 0..103 may have an on-screen key

constexpr const char* kSection = "HID_KEYS";
constexpr const char* kFieldNames[3] = {"Normal", "Shift", "AltGr"};

std::string keyName(std::size_t scanCode, int field) {
    char name[32];
    std::snprintf(name, sizeof name, "ScanCode%03zu%s", scanCode, kFieldNames[field]);
    return name;
}

// Both lookups built once from kOnScreenKeys, so the pairing lives in one table.
struct KeyIndex {
    std::array<int, kScanCodeKeys> byScanCode;
    std::array<int, kUsageKeys> byUsage;
    KeyIndex() {
        byScanCode.fill(-1);
        byUsage.fill(-1);
        for (std::size_t i = 0; i < kOnScreenKeys.size(); ++i) {
            byScanCode[std::size_t(kOnScreenKeys[i].scanCode)] = int(i);
            byUsage[std::size_t(kOnScreenKeys[i].usage)] = int(i);
        }
    }
};

const KeyIndex& keyIndex() {
    static const KeyIndex index;
    return index;
}

} // namespace

int ScanCodeToKey(int scanCode) {
    if (scanCode < 0 || scanCode >= kScanCodeKeys) {
        return -1;
    }
    return keyIndex().byScanCode[std::size_t(scanCode)];
}

int UsageToKey(int usage) {
    if (usage < 0 || usage >= kUsageKeys) {
        return -1;
    }
    return keyIndex().byUsage[std::size_t(usage)];
}

int CountLayoutDifferences(const KeyLayout& a, const KeyLayout& b) {
    static constexpr char kFieldLetters[3] = {'N', 'S', 'A'};
    int count = 0;
    for (std::size_t scan = 0; scan < a.entries.size(); ++scan) {
        if (ScanCodeToKey(int(scan)) < 0) {
            continue; // keys that are not shown are never compared
        }
        for (std::size_t field = 0; field < 3; ++field) {
            const std::uint8_t ca = a.entries[scan][field];
            const std::uint8_t cb = b.entries[scan][field];
            if (ca != cb) {
                ++count;
                TracePrintf("%c%03d(%c %c) ", kFieldLetters[field], int(scan), ca, cb);
            }
        }
    }
    return count;
}

std::uint16_t KeyCodeForChar(const KeyLayout& layout, std::uint8_t character) {
    static constexpr std::uint16_t kModifiers[3] = {kModifierNone << 8, kModifierLeftShift << 8,
                                                    kModifierRightAlt << 8};
    if (character == 0) {
        return 0; // 0 marks an empty field, it is no character
    }
    for (std::size_t scan = 0; scan < layout.entries.size(); ++scan) {
        for (std::size_t field = 0; field < 3; ++field) {
            if (layout.entries[scan][field] != character) {
                continue;
            }
            const int key = ScanCodeToKey(int(scan));
            const int usage = key < 0 ? 0 : kOnScreenKeys[std::size_t(key)].usage;
            return std::uint16_t(kModifiers[field] | usage);
        }
    }
    return 0;
}

bool LoadLayoutSection(const CIniEx& file, KeyLayout& layout) {
    if (!file.hasSection(kSection)) {
        return false;
    }
    for (std::size_t scan = 0; scan < layout.entries.size(); ++scan) {
        for (int field = 0; field < 3; ++field) {
            const std::string value = file.readString(kSection, keyName(scan, field), "");
            layout.entries[scan][std::size_t(field)] =
                value.empty() ? 0 : static_cast<std::uint8_t>(value[0]);
        }
    }
    return true;
}

void SaveLayoutSection(CIniEx& file, const KeyLayout& layout) {
    for (std::size_t scan = 0; scan < layout.entries.size(); ++scan) {
        for (int field = 0; field < 3; ++field) {
            const std::uint8_t c = layout.entries[scan][std::size_t(field)];
            file.writeString(kSection, keyName(scan, field),
                             c == 0 ? std::string() : std::string(1, static_cast<char>(c)));
        }
    }
}

} // namespace veltra
