#include "config/workflow/ProfileFilterSettings.h"

#include <QSettings>
#include <QString>

namespace veltra {

std::string ProfileFilterSettings::value(const std::string& key) const {
    QSettings settings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"));
    settings.beginGroup(QStringLiteral("Filter"));
    const QString k = QString::fromStdString(key);
    if (!settings.contains(k)) {
        return filterDefault(key);
    }
    return settings.value(k).toString().toStdString();
}

void ProfileFilterSettings::setValue(const std::string& key, const std::string& text) {
    QSettings settings(QStringLiteral("Zem Applikationen"), QStringLiteral("Quarnel Veltra"));
    settings.beginGroup(QStringLiteral("Filter"));
    settings.setValue(QString::fromStdString(key), QString::fromStdString(storedFilterText(text)));
}

} // namespace veltra
