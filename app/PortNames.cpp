#include "app/PortNames.h"

#include <array>

namespace veltra {

QString BuildConnectionString(const QString& name, int deviceAddress) {
    QString bare = name;
    for (const char* prefix : {kUsbPrefix, kLanPrefix, kBluetoothPrefix}) {
        const QString p = QString::fromLatin1(prefix);
        if (bare.startsWith(p)) {
            bare = bare.mid(p.size());
            break;
        }
    }
    return bare + QLatin1Char(':') + QString::number(deviceAddress);
}

bool IsMakerVirtualCom(const QString& name) {
    // The device part of the name: "COMn" (at least four characters) or a "/dev/" path. The tag
    // follows it, so it is searched from the character after "COMn"'s first digit on.
    qsizetype from = -1;
    if (name.startsWith(QLatin1String("COM")) && name.size() >= 4) {
        from = 4;
    } else if (name.startsWith(QLatin1String("/dev/")) && name.size() > 5) {
        from = 5;
    }
    if (from < 0) {
        return false;
    }
    const QString rest = name.mid(from);
    return rest.contains(QLatin1String(" [Zem Virtual COM")) ||
           rest.contains(QLatin1String(" [Vanta-8 Virtual COM"));
}

bool IsKnownHidReader(const QString& name) {
    if (name.size() < 2) {
        return false;
    }
    const QString rest = name.mid(1);
    if (!rest.contains(QLatin1String(" HID"))) {
        return false;
    }
    static const std::array<const char*, 8> kProductLines = {"1460-", "1462-", "1650-", "1655-",
                                                             "1620-", "1630-", "2000-", "2005-"};
    for (const char* line : kProductLines) {
        if (rest.contains(QLatin1String(line))) {
            return true;
        }
    }
    return false;
}

bool MergePortList(const QStringList& fresh, QStringList& cache) {
    bool changed = false;
    qsizetype i = 0;
    for (; i < fresh.size(); ++i) {
        if (i < cache.size()) {
            if (cache[i] == fresh[i]) {
                continue;
            }
            cache[i] = fresh[i];
            cache.erase(cache.begin() + i + 1, cache.end());
        } else {
            cache.append(fresh[i]);
        }
        changed = true;
    }
    if (cache.size() > fresh.size()) {
        cache.erase(cache.begin() + fresh.size(), cache.end());
        changed = true;
    }
    return changed;
}

QStringList parseMultiString(const char* buffer, int size) {
    QStringList names;
    if (buffer == nullptr || size <= 0) {
        return names;
    }
    int pos = 0;
    while (pos < size) {
        int end = pos;
        while (end < size && buffer[end] != '\0') {
            ++end;
        }
        if (end == pos || end == size) {
            // The empty name ends the list; a name without its NUL is cut off and dropped.
            break;
        }
        names.append(QString::fromUtf8(buffer + pos, end - pos));
        pos = end + 1;
    }
    return names;
}

LineFormat decodeBaudCode(int code) {
    LineFormat format;
    const int digits = code % 100;
    format.baudRate = code - digits;
    switch (digits) {
    case 1:
        format.parity = 1;
        break;
    case 2:
        format.parity = 2;
        break;
    case 3:
        format.stopBits = 2;
        break;
    default:
        break;
    }
    return format;
}

int encodeBaudCode(int baudRate, int parity, int stopBits) {
    if (parity == 1) {
        return baudRate + 1;
    }
    if (parity == 2) {
        return baudRate + 2;
    }
    return stopBits == 2 ? baudRate + 3 : baudRate;
}

QStringList baudRateChoices() {
    return {QStringLiteral("2400"),   QStringLiteral("4800"),  QStringLiteral("9600"),
            QStringLiteral("19200"),  QStringLiteral("38400"), QStringLiteral("57600"),
            QStringLiteral("115200"), QStringLiteral("230400")};
}

} // namespace veltra
