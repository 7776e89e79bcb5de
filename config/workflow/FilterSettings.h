// The per-PC filter values for read/write transponders: one two-digit hex text per chip type in
// the settings section "Filter". Programming sends the value that belongs to the chip of the
// first data output.
#pragma once

#include <map>
#include <span>
#include <string>

namespace veltra {

struct FilterEntry {
    const char* key;          // settings key
    const char* label;        // caption in the "Filter" dialog
    const char* defaultValue; // two hex digits
};

// The six values in the order of the "Filter" dialog.
std::span<const FilterEntry> filterEntries();

// The default of a key, or an empty text for a key that is not a filter key.
std::string filterDefault(const std::string& key);

// Check of the six dialog texts: 0 when all are valid, 211 when a text is not exactly two
// characters long, 212 when a character is not a hex digit. Length is checked for every text
// before the digits are.
int checkFilterTexts(std::span<const std::string> texts);

class FilterSettings {
public:
    virtual ~FilterSettings() = default;
    // The stored text of a key, or its default when none is stored.
    virtual std::string value(const std::string& key) const = 0;
    // Stores the text upper-cased.
    virtual void setValue(const std::string& key, const std::string& text) = 0;
};

// The application profile: QSettings("Zem Applikationen", "Quarnel Veltra"), group "Filter".
class ProfileFilterSettings final : public FilterSettings {
public:
    std::string value(const std::string& key) const override;
    void setValue(const std::string& key, const std::string& text) override;
};

// Values kept in memory only, for tests and for programs that must not touch the profile.
class MemoryFilterSettings final : public FilterSettings {
public:
    std::string value(const std::string& key) const override;
    void setValue(const std::string& key, const std::string& text) override;

private:
    std::map<std::string, std::string> values_;
};

} // namespace veltra
