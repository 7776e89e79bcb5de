// The keyboard reader's own character-to-key table: for each character the HID modifier byte
// and the HID usage id it types the character with. The PC programs it with set-key messages
// and reads it with query-key messages.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qnsim {

struct HidKey {
    std::uint8_t modifier = 0; // 0x02 left Shift, 0x20 right Shift, 0x40 right Alt (AltGr)
    std::uint8_t usage = 0;    // HID keyboard usage id; 0 = no key
};

class HidKeyTable {
public:
    // Characters a table holds.
    static constexpr int kFirst = 0x20;
    static constexpr int kLast = 0x7E;

    // Empty table.
    HidKeyTable() = default;
    // The US layout on a 105-key keyboard: each character on the key (and with Shift) that
    // types it there.
    static HidKeyTable us();

    // The key of a character, or empty when the table has none.
    std::optional<HidKey> find(std::uint8_t character) const;
    // Usage 0 removes the character. Characters outside 0x20..0x7E are not kept.
    void set(std::uint8_t character, HidKey key);

    // "hid_key.XX=MM UU" lines for the state file, one per assigned character.
    std::string stateText() const;
    // Takes one "hid_key.XX" state entry; false when key or value is malformed.
    bool applyStateEntry(const std::string& key, const std::string& value);

private:
    std::array<HidKey, kLast - kFirst + 1> keys_{};
};

// HID modifier bits.
constexpr std::uint8_t kModLeftCtrl = 0x01;
constexpr std::uint8_t kModLeftShift = 0x02;
constexpr std::uint8_t kModLeftAlt = 0x04;
constexpr std::uint8_t kModRightShift = 0x20;
constexpr std::uint8_t kModRightAlt = 0x40;

// HID usage ids of the keys typed for control characters.
constexpr std::uint8_t kUsageEnter = 0x28;
constexpr std::uint8_t kUsageTab = 0x2B;

// Linux input key code (evdev) of a HID keyboard usage id, as the kernel's HID input driver
// maps it; 0 for usages without one here (the alphanumeric block, Enter, Escape, Backspace,
// Tab and Space are mapped).
int evdevKeyForUsage(std::uint8_t usage);

} // namespace qnsim
