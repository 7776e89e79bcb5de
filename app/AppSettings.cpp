#include "app/AppSettings.h"

#include <QSettings>

namespace veltra {
namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kWindow = "Window";
constexpr const char* kUpdate = "Update";
constexpr const char* kPort = "Port";

QString keyOf(const char* section, const char* key) {
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

} // namespace

AppSettings::AppSettings()
    : settings_(
          new QSettings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication))) {}

AppSettings::~AppSettings() {
    delete settings_;
}

int AppSettings::readInt(const char* section, const char* key, int fallback) const {
    // A value edited by hand may hold anything; what does not read as a whole number counts as
    // absent.
    const QVariant value = settings_->value(keyOf(section, key));
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : fallback;
}

void AppSettings::writeInt(const char* section, const char* key, int value) {
    settings_->setValue(keyOf(section, key), value);
}

int AppSettings::language() const {
    return readInt(kSettings, "Sprache", 0);
}
void AppSettings::setLanguage(int language) {
    writeInt(kSettings, "Sprache", language);
}

QPoint AppSettings::windowPosition() const {
    return {readInt(kWindow, "left", 0), readInt(kWindow, "top", 0)};
}

void AppSettings::setWindowPosition(QPoint position) {
    writeInt(kWindow, "left", position.x());
    writeInt(kWindow, "top", position.y());
}

bool AppSettings::automaticUpdateCheck() const {
    return readInt(kUpdate, "Version", 1) != 0;
}
void AppSettings::setAutomaticUpdateCheck(bool on) {
    writeInt(kUpdate, "Version", on ? 1 : 0);
}

QString AppSettings::portName() const {
    return settings_->value(keyOf(kPort, "Name"), QString()).toString();
}

void AppSettings::setPortName(const QString& name) {
    settings_->setValue(keyOf(kPort, "Name"), name);
}

int AppSettings::baudCode() const {
    return readInt(kPort, "Baudrate", kDefaultBaudCode);
}
void AppSettings::setBaudCode(int code) {
    writeInt(kPort, "Baudrate", code);
}
int AppSettings::timeoutMs() const {
    return readInt(kPort, "Timeout", kDefaultTimeoutMs);
}
void AppSettings::setTimeoutMs(int ms) {
    writeInt(kPort, "Timeout", ms);
}
int AppSettings::deviceAddress() const {
    return readInt(kPort, "Adresse", kDefaultAddress);
}
void AppSettings::setDeviceAddress(int address) {
    writeInt(kPort, "Adresse", address);
}
bool AppSettings::ethernetActive() const {
    return readInt(kPort, "EthernetAktiv", 0) != 0;
}
void AppSettings::setEthernetActive(bool on) {
    writeInt(kPort, "EthernetAktiv", on ? 1 : 0);
}

void AppSettings::sync() {
    settings_->sync();
}

} // namespace veltra
