#include "app/DeviceLinkPortEnumerator.h"

#include "app/PortNames.h"

#include <algorithm>
#include <vector>

namespace veltra {
namespace {

// Size of the buffer in which the device link delivers a port list.
constexpr int kListBufferSize = 2500;

} // namespace

QStringList DeviceLinkPortEnumerator::list(PortKind kind) {
    std::vector<char> buffer(kListBufferSize, '\0');
    int used = -1;
    switch (kind) {
    case PortKind::Serial:
        used = link_.listComPorts(buffer.data(), kListBufferSize);
        break;
    case PortKind::Usb:
        used = link_.listUsbDevices(buffer.data(), kListBufferSize);
        break;
    case PortKind::Lan:
        used = link_.searchLanReaders(buffer.data(), kListBufferSize);
        break;
    }
    if (used <= 0) {
        return {};
    }
    return parseMultiString(buffer.data(), std::min(used, kListBufferSize));
}

bool DeviceLinkPortEnumerator::ping(const QString& name) {
    return link_.pingLanDevice(name.toUtf8().constData()) == 1;
}

int DeviceLinkPortEnumerator::devicesWithoutDriver() {
    return link_.findUsbDevicesWithoutDriver();
}

bool DeviceLinkPortEnumerator::cdcDriverInstalled() {
    return link_.isCdcDriverInstalled() == 1;
}

} // namespace veltra
