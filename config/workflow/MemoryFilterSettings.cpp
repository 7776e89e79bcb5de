#include "config/workflow/MemoryFilterSettings.h"

namespace veltra {

std::string MemoryFilterSettings::value(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? filterDefault(key) : it->second;
}

void MemoryFilterSettings::setValue(const std::string& key, const std::string& text) {
    values_[key] = storedFilterText(text);
}

} // namespace veltra
