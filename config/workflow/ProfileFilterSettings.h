// The filter values of the application profile.
#pragma once

#include "config/workflow/FilterSettings.h"

namespace veltra {

// QSettings("Zem Applikationen", "Quarnel Veltra"), group "Filter".
class ProfileFilterSettings final : public FilterSettings {
public:
    std::string value(const std::string& key) const override;
    void setValue(const std::string& key, const std::string& text) override;
};

} // namespace veltra
