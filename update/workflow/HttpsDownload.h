// One HTTPS transfer into a device: certificates verified (the system's authorities and the
// source's own), no cache, redirects followed only to HTTPS, plain HTTP refused, a stalled
// transfer given up. Runs its own event loop, so it can be called on any thread that has none
// running, and from the user-interface thread (user input is held back meanwhile).
#pragma once

#include "update/workflow/UpdateSource.h"

#include <QString>

#include <functional>

class QIODevice;
class QUrl;

namespace veltra {

class HttpsDownload {
public:
    struct Outcome {
        bool ok = false;
        QString error; // why it failed, for developers; never shown as a message
        qint64 bytes = 0;
    };

    explicit HttpsDownload(UpdateSource source);

    // Writes the body of `url` to `sink`. Fails on any network or TLS error, an answer other
    // than 200, a body longer than `maxBytes`, a body shorter than its announced length, or when
    // `cancelled` returns true (checked every 50 ms). After a failure `sink` may hold a part.
    Outcome fetch(const QUrl& url, QIODevice& sink, qint64 maxBytes,
                  const std::function<bool()>& cancelled = {}) const;

private:
    UpdateSource source_;
};

} // namespace veltra
