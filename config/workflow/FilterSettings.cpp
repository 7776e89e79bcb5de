#include "config/workflow/FilterSettings.h"

#include <QSettings>
#include <QString>

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

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

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

std::string ProfileFilterSettings::value(const std::string& key) const {
    QSettings settings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"));
    settings.beginGroup(QStringLiteral("Filter"));
    const QString k = QString::fromStdString(key);
    if (!settings.contains(k)) {
        return filterDefault(key);
    }
    return settings.value(k).toString().toStdString();
}

void ProfileFilterSettings::setValue(const std::string& key, const std::string& text) {
    QSettings settings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"));
    settings.beginGroup(QStringLiteral("Filter"));
    settings.setValue(QString::fromStdString(key), QString::fromStdString(upper(text)));
}

std::string MemoryFilterSettings::value(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? filterDefault(key) : it->second;
}

void MemoryFilterSettings::setValue(const std::string& key, const std::string& text) {
    values_[key] = upper(text);
}

} // namespace veltra
