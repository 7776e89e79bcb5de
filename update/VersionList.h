// A downloaded version list and the rules that decide whether it offers something newer.
//
// A list is INI text. The program's list has a product section ("Quarnel-Veltra") with
// "Version" (major.minor), "Build" (compared byte by byte with the local build date) and
// "Installer" (the installer's address). The reader list adds a section "Alias" that maps each
// three-character type code to the section of its reader family, and variant sections named
// "<section>-<connection kind>" ("-USB", "-LAN", "-COM") with "Version", "Exclude" (a range
// "a-b" of local versions not offered the variant) and "Installer". Beside each "Installer" an
// optional "Sha256" gives the installer's checksum.
#pragma once

#include "config/ini/CIniEx.h"

#include <string>
#include <string_view>

namespace veltra {

// "1.07" -> 1007: major * 1000 + minor, each read like atoi (leading blanks and a sign allowed,
// no digits give 0). The text is split at its first "." unless the "." comes first.
unsigned VersionToNumber(std::string_view text);

// The program's local version for the comparison: empty (or longer than 19 characters) becomes
// "-.--", one shorter than 4 characters gets a blank appended.
std::string localProgramVersion(std::string_view productVersion);

class VersionList {
public:
    // Lists are small; anything larger is not one of ours.
    static constexpr std::size_t kMaxListSize = 1024 * 1024;

    explicit VersionList(std::string_view text);

    // Whether the text is a version list at all: not empty and at least one named section.
    // A list that does not parse offers nothing.
    bool parses() const { return parses_; }

    std::string value(std::string_view section, std::string_view key) const;

    // Product rule: newer if the local version number is below "Version", or if "Build" is set
    // and the local build sorts before it (whatever the version numbers say).
    bool productNewer(std::string_view section, std::string_view localVersion,
                      std::string_view localBuild) const;
    // Variant rule of "<section>-<kind>": newer if the local version is below the variant's
    // "Version" and outside its "Exclude" range (ends included).
    bool variantNewer(std::string_view section, std::string_view kind,
                      std::string_view localVersion) const;

    static std::string variantSection(std::string_view section, std::string_view kind);

private:
    CIniEx ini_;
    bool parses_ = false;
};

} // namespace veltra
