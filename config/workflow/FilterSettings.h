// The per-PC filter values for read/write transponders: one two-digit hex text per chip type in
// the settings section "Filter". Programming sends the value that belongs to the chip of the
// first data output.
#pragma once

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

// A filter text as it is stored: upper-cased.
std::string storedFilterText(std::string text);

class FilterSettings {
public:
    virtual ~FilterSettings() = default;
    // The stored text of a key, or its default when none is stored.
    virtual std::string value(const std::string& key) const = 0;
    // Stores the text upper-cased.
    virtual void setValue(const std::string& key, const std::string& text) = 0;
};

} // namespace veltra
