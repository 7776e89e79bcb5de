// The program's stored settings: sections "Settings", "Window", "Update" and "Port" with their
// defaults. Every read and write of these values goes through this class, so the names and
// defaults live in one place.
#pragma once

#include <QPoint>
#include <QString>

class QSettings;

namespace veltra {

class AppSettings {
public:
    // Organisation and application name under which the settings are kept.
    static constexpr const char* kOrganisation = "Zem Applikationen";
    static constexpr const char* kApplication = "Quarnel Veltra";

    static constexpr int kDefaultBaudCode = 19200;
    static constexpr int kDefaultTimeoutMs = 300;
    static constexpr int kDefaultAddress = 1;

    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    // "Settings"/"Sprache": 0 German, 1 English.
    int language() const;
    void setLanguage(int language);

    // "Window"/"left" and "top".
    QPoint windowPosition() const;
    void setWindowPosition(QPoint position);

    // "Update"/"Version": automatic check for new versions.
    bool automaticUpdateCheck() const;
    void setAutomaticUpdateCheck(bool on);

    // Section "Port".
    QString portName() const;
    void setPortName(const QString& name);
    int baudCode() const;
    void setBaudCode(int code);
    int timeoutMs() const;
    void setTimeoutMs(int ms);
    int deviceAddress() const;
    void setDeviceAddress(int address);
    bool ethernetActive() const;
    void setEthernetActive(bool on);

    // Writes pending changes to permanent storage.
    void sync();

private:
    int readInt(const char* section, const char* key, int fallback) const;
    void writeInt(const char* section, const char* key, int value);

    QSettings* settings_;
};

} // namespace veltra
