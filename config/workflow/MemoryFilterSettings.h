// Filter values kept in memory.
#pragma once

#include "config/workflow/FilterSettings.h"

#include <map>

namespace veltra {

// For tests and for programs that must not touch the profile.
class MemoryFilterSettings final : public FilterSettings {
public:
    std::string value(const std::string& key) const override;
    void setValue(const std::string& key, const std::string& text) override;

private:
    std::map<std::string, std::string> values_;
};

} // namespace veltra
