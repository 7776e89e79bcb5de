// The character-to-key table of a keyboard (HID) reader and its configuration-file section.
#pragma once

#include <array>
#include <cstdint>

namespace veltra {

class CIniEx;

// 128 entries indexed by PC keyboard scan code (set 1); each holds the characters typed without
// modifier, with Shift and with AltGr. 0 = no character.
struct KeyLayout {
    enum Field { Normal = 0, Shift = 1, AltGr = 2 };
    std::array<std::array<std::uint8_t, 3>, 128> entries{};

    bool operator==(const KeyLayout&) const = default;
};

// Reads the "HID_KEYS" section ("ScanCode016Normal", ...: the first character of each value,
// 0 for an empty one). A file without that section leaves the table alone and returns false.
bool LoadLayoutSection(const CIniEx& file, KeyLayout& layout);

// Writes all 384 keys of "HID_KEYS", empty ones included.
void SaveLayoutSection(CIniEx& file, const KeyLayout& layout);

} // namespace veltra
