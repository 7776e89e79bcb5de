// Where the version lists come from and which certificate authorities vouch for the server.
#pragma once

#include <QString>

namespace veltra {

struct UpdateSource {
    // HTTPS address of the version folder, ending in "/".
    QString baseUrl;
    // PEM file with certificate authorities trusted beside the system's (a site's own mirror).
    QString caFile;
    // A transfer that receives nothing for this long is given up.
    int stallTimeoutMs = 30000;
};

// The built-in folder, replaced by the environment variable VELTRA_UPDATE_URL or else by the
// setting "Update"/"BaseUrl"; extra authorities from VELTRA_UPDATE_CA or "Update"/"CaFile".
UpdateSource updateSource();

} // namespace veltra
