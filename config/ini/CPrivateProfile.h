// An INI document bound to a file path from construction on: opened with write-back on close
// and creation of a missing file, names compared without regard to case, no backup copies.
#pragma once

#include "config/ini/CIniEx.h"

namespace veltra {

class CPrivateProfile : public CIniEx {
public:
    CPrivateProfile() = default;
    explicit CPrivateProfile(const std::string& path) {
        open(path, /*writeOnClose=*/true, /*createIfMissing=*/true, /*ignoreCase=*/true,
             /*backupOnWrite=*/false);
    }
};

} // namespace veltra
