#include "config/workflow/FilterSettings.h"

#include <array>
#include <cctype>

namespace veltra {
namespace {

constexpr std::array<FilterEntry, 6> kEntries{{{"Hitag1", "Hitag1", "4A"},
                                               {"Hitag2", "Hitag2", "4A"},
                                               {"HitagS", "HitagS", "4A"},
                                               {"Q5", "Q5 (ATA5555)", "4B"},
                                               {"Titan", "Titan (EM4450)", "42"},
                                               {"EM4569", "EM4569", "40"}}};

} // namespace

std::span<const FilterEntry> filterEntries() {
    return kEntries;
}

std::string filterDefault(const std::string& key) {
    for (const FilterEntry& entry : kEntries) {
        if (key == entry.key) {
            return entry.defaultValue;
        }
    }
    return {};
}

int checkFilterTexts(std::span<const std::string> texts) {
    for (const std::string& text : texts) {
        if (text.size() != 2) {
            return 211;
        }
    }
    for (const std::string& text : texts) {
        for (char c : text) {
            if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
                return 212;
            }
        }
    }
    return 0;
}

std::string storedFilterText(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace veltra
