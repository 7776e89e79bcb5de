#include "update/VersionList.h"

namespace veltra {

unsigned VersionToNumber(std::string_view text) {
    std::string_view major = text;
    std::string_view minor;
    const std::size_t dot = text.find('.');
    if (dot != std::string_view::npos && dot != 0) {
        major = text.substr(0, dot);
        minor = text.substr(dot + 1);
    }
    // Unsigned arithmetic, as the comparison is unsigned: a negative part wraps around instead
    // of overflowing.
    return static_cast<unsigned>(CIniEx::parseLeadingInt(major)) * 1000u +
           static_cast<unsigned>(CIniEx::parseLeadingInt(minor));
}

std::string localProgramVersion(std::string_view productVersion) {
    if (productVersion.empty() || productVersion.size() > 19) {
        return "-.--";
    }
    std::string version(productVersion);
    if (version.size() < 4) {
        version += ' ';
    }
    return version;
}

VersionList::VersionList(std::string_view text) {
    if (text.empty() || text.size() > kMaxListSize) {
        return;
    }
    ini_.parse(text);
    for (const CSection& section : ini_.sections()) {
        if (!section.name.empty()) {
            parses_ = true;
            break;
        }
    }
}

std::string VersionList::value(std::string_view section, std::string_view key) const {
    // An empty name would find the lines before the first section.
    return parses_ && !section.empty() ? ini_.readString(section, key) : std::string();
}

std::string VersionList::variantSection(std::string_view section, std::string_view kind) {
    return std::string(section) + "-" + std::string(kind);
}

bool VersionList::productNewer(std::string_view section, std::string_view localVersion,
                               std::string_view localBuild) const {
    if (!parses_) {
        return false;
    }
    const std::string version = value(section, "Version");
    const std::string build = value(section, "Build");
    if (VersionToNumber(localVersion) < VersionToNumber(version)) {
        return true;
    }
    return !build.empty() && std::string_view(localBuild).compare(build) < 0;
}

bool VersionList::variantNewer(std::string_view section, std::string_view kind,
                               std::string_view localVersion) const {
    if (!parses_ || kind.empty()) {
        return false;
    }
    const std::string variant = variantSection(section, kind);
    const unsigned local = VersionToNumber(localVersion);
    if (local >= VersionToNumber(value(variant, "Version"))) {
        return false;
    }
    const std::string exclude = value(variant, "Exclude");
    if (exclude.empty()) {
        return true;
    }
    const std::size_t dash = exclude.find('-');
    const std::string_view range(exclude);
    const std::string_view from = range.substr(0, dash);
    const std::string_view to =
        dash == std::string_view::npos ? std::string_view{} : range.substr(dash + 1);
    return local < VersionToNumber(from) || local > VersionToNumber(to);
}

} // namespace veltra
