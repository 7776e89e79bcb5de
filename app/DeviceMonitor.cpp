#include "app/DeviceMonitor.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cstring>
#include <libudev.h>

namespace veltra {

DeviceMonitor::DeviceMonitor(QObject* parent) : QObject(parent) {
    udev_ = udev_new();
    if (udev_ == nullptr) {
        return;
    }
    // Events come from the udev daemon once it has set a device up. Where no daemon runs (a
    // container, a minimal system) the kernel's own events are taken instead; the repeated
    // refreshes after an arrival cover the time until the device node exists.
    const bool daemon = QFileInfo::exists(QStringLiteral("/run/udev/control"));
    monitor_ = udev_monitor_new_from_netlink(udev_, daemon ? "udev" : "kernel");
    if (monitor_ == nullptr) {
        return;
    }
    for (const char* subsystem : {"tty", "hidraw", "usb"}) {
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, subsystem, nullptr);
    }
    if (udev_monitor_enable_receiving(monitor_) < 0) {
        return;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    if (fd < 0) {
        return;
    }
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceMonitor::readEvents);
}

DeviceMonitor::~DeviceMonitor() {
    delete notifier_;
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

void DeviceMonitor::readEvents() {
    // The socket is non-blocking: take every queued event, then report once per event.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        const bool added = action != nullptr && std::strcmp(action, "add") == 0;
        udev_device_unref(device);
        emit deviceChanged(added ? kDeviceArrival : kDeviceNodesChanged);
    }
}

} // namespace veltra
