#include "app/PortSelection.h"

#include "app/AppSettings.h"
#include "app/PortNames.h"

namespace veltra {
namespace {

QString stripped(const QString& name, const char* prefix) {
    return name.mid(QString::fromLatin1(prefix).size());
}

} // namespace

PortSelection::PortSelection(AppSettings& settings, PortEnumerator& ports)
    : settings_(settings), ports_(ports), currentName_(settings.portName()),
      baudCode_(settings.baudCode()), timeoutMs_(settings.timeoutMs()),
      deviceAddress_(settings.deviceAddress()), ethernet_(settings.ethernetActive()) {
    if (currentName_.isEmpty()) {
        currentName_ = QStringLiteral("COM1");
        settings_.setPortName(currentName_);
    }
    const QString usb = QString::fromLatin1(kUsbPrefix);
    const QString lan = QString::fromLatin1(kLanPrefix);
    if (currentName_.startsWith(usb)) {
        MergePortList(PortKind::Usb);
        const QStringList& found = cache(PortKind::Usb);
        if (found.isEmpty()) {
            currentName_.clear();
            settings_.setPortName(currentName_);
            hid_ = false;
        } else {
            if (!found.contains(stripped(currentName_, kUsbPrefix))) {
                currentName_ = usb + found.first();
                settings_.setPortName(currentName_);
            }
            hid_ = true;
        }
    } else if (currentName_.startsWith(lan) && ethernet_) {
        if (ports_.ping(stripped(currentName_, kLanPrefix))) {
            lan_ = true;
        } else {
            MergePortList(PortKind::Lan);
            const QStringList& found = cache(PortKind::Lan);
            if (found.isEmpty()) {
                currentName_.clear();
                settings_.setPortName(currentName_);
                hid_ = lan_ = false;
            } else {
                if (!found.contains(stripped(currentName_, kLanPrefix))) {
                    currentName_ = lan + found.first();
                    settings_.setPortName(currentName_);
                }
                lan_ = true;
            }
        }
    }
    // Any other name is a serial port; a "LAN: " name with Ethernet switched off thus fails to
    // open rather than starting a network search.
}

void PortSelection::setCurrentName(const QString& name) {
    currentName_ = name;
    hid_ = name.startsWith(QString::fromLatin1(kUsbPrefix));
    lan_ = name.startsWith(QString::fromLatin1(kLanPrefix));
}

bool PortSelection::MergePortList(PortKind kind) {
    return veltra::MergePortList(ports_.list(kind), caches_[static_cast<std::size_t>(kind)]);
}

const QStringList& PortSelection::cache(PortKind kind) const {
    return caches_[static_cast<std::size_t>(kind)];
}

void PortSelection::clearCache(PortKind kind) {
    caches_[static_cast<std::size_t>(kind)].clear();
}

QStringList PortSelection::listEntries() const {
    QStringList entries;
    for (const QString& port : cache(PortKind::Serial)) {
        entries.append(port.startsWith(QLatin1String("\\\\.\\")) ? port.mid(4) : port);
    }
    for (const QString& reader : cache(PortKind::Usb)) {
        entries.append(QString::fromLatin1(kUsbPrefix) + reader);
    }
    for (const QString& reader : cache(PortKind::Lan)) {
        entries.append(QString::fromLatin1(kLanPrefix) + reader);
    }
    return entries;
}

QString PortSelection::connectionString() const {
    return BuildConnectionString(currentName_, deviceAddress_);
}

ConnectionTarget PortSelection::target() const {
    ConnectionTarget t;
    t.connectionString = connectionString().toStdString();
    if (hid_) {
        t.kind = InterfaceKind::Hid;
    } else if (lan_) {
        t.kind = InterfaceKind::Lan;
    } else if (IsMakerVirtualCom(currentName_)) {
        t.kind = InterfaceKind::MakerVirtualCom;
    } else {
        t.kind = InterfaceKind::Serial;
    }
    t.baudCode = baudCode_;
    t.timeoutMs = timeoutMs_;
    return t;
}

void PortSelection::store(const std::optional<QString>& entry, std::optional<int> baudCode,
                          int timeoutMs, int deviceAddress, bool ethernet) {
    if (entry) {
        setCurrentName(*entry);
        settings_.setPortName(*entry);
    }
    if (baudCode) {
        baudCode_ = *baudCode;
        settings_.setBaudCode(*baudCode);
    }
    timeoutMs_ = timeoutMs;
    deviceAddress_ = deviceAddress;
    ethernet_ = ethernet;
    settings_.setTimeoutMs(timeoutMs);
    settings_.setDeviceAddress(deviceAddress);
    settings_.setEthernetActive(ethernet);
}

} // namespace veltra
