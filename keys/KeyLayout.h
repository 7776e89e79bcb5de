// The character-to-key table of a keyboard (HID) reader, the on-screen keys it is shown and
// compared on, and its configuration-file section.
#pragma once

#include <array>
#include <cstdint>

namespace veltra {

class CIniEx;

// 128 entries indexed by PC keyboard scan code (set 1); each holds the characters typed without
// modifier, with Shift and with AltGr. 0 = no character. Nothing checks uniqueness: a character
// may stand in several fields.
struct KeyLayout {
    enum Field { Normal = 0, Shift = 1, AltGr = 2 };
    std::array<std::array<std::uint8_t, 3>, 128> entries{};

    bool operator==(const KeyLayout&) const = default;
};

// One key of the alphanumeric block: its set-1 scan code, its HID keyboard usage id, the label
// of its button (cp1252, like the table's characters) and its row (0 number row .. 3 lower row).
struct OnScreenKey {
    int scanCode;
    int usage;
    const char* label;
    int row;
};

// The 48 keys the program shows, compares and can address, row by row from the left.
extern const std::array<OnScreenKey, 48> kOnScreenKeys;

// Index into kOnScreenKeys, or -1 for a key that is not shown (scan codes 0..89 and usage ids
// 0..103 have keys; anything else gives -1).
int ScanCodeToKey(int scanCode);
int UsageToKey(int usage);

// HID modifier bytes of a key code's high byte.
constexpr std::uint8_t kModifierNone = 0x00;
constexpr std::uint8_t kModifierLeftShift = 0x02;
constexpr std::uint8_t kModifierRightShift = 0x20;
constexpr std::uint8_t kModifierRightAlt = 0x40; // AltGr

// The number of characters in which the two tables differ on the 48 on-screen keys (Normal,
// Shift and AltGr of each); each difference also goes to the trace log as "N016(q a) ".
int CountLayoutDifferences(const KeyLayout& a, const KeyLayout& b);

// The key code (modifier byte << 8 | usage id) under which the table types the character:
// the first field holding it, walking the scan codes upwards and Normal, Shift, AltGr within
// one. A scan code without an on-screen key gives usage id 0; a character not in the table 0.
std::uint16_t KeyCodeForChar(const KeyLayout& layout, std::uint8_t character);

// Reads the "HID_KEYS" section ("ScanCode016Normal", ...: the first character of each value,
// 0 for an empty one). A file without that section leaves the table alone and returns false.
bool LoadLayoutSection(const CIniEx& file, KeyLayout& layout);

// Writes all 384 keys of "HID_KEYS", empty ones included.
void SaveLayoutSection(CIniEx& file, const KeyLayout& layout);

} // namespace veltra
