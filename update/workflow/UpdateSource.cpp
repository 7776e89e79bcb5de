#include "update/workflow/UpdateSource.h"

#include "update/MakerInfo.h"

#include <QSettings>

namespace veltra {
namespace {

QString firstSet(const char* variable, QSettings& settings, const char* key) {
    const QString fromEnvironment = qEnvironmentVariable(variable).trimmed();
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return settings.value(QString::fromLatin1(key)).toString().trimmed();
}

} // namespace

UpdateSource updateSource() {
    QSettings settings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"));
    UpdateSource source;
    source.baseUrl = firstSet("VELTRA_UPDATE_URL", settings, "Update/BaseUrl");
    if (source.baseUrl.isEmpty()) {
        source.baseUrl = makerInfo().updateBaseUrl;
    }
    if (!source.baseUrl.endsWith(QLatin1Char('/'))) {
        source.baseUrl += QLatin1Char('/');
    }
    source.caFile = firstSet("VELTRA_UPDATE_CA", settings, "Update/CaFile");
    return source;
}

} // namespace veltra
