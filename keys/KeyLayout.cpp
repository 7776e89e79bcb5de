#include "keys/KeyLayout.h"

#include "config/ini/CIniEx.h"

#include <cstdio>
#include <string>

namespace veltra {
namespace {

constexpr const char* kSection = "HID_KEYS";
constexpr const char* kFieldNames[3] = {"Normal", "Shift", "AltGr"};

std::string keyName(std::size_t scanCode, int field) {
    char name[32];
    std::snprintf(name, sizeof name, "ScanCode%03zu%s", scanCode, kFieldNames[field]);
    return name;
}

} // namespace

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
