// Reports USB and serial devices coming and going, from the kernel's device events (udev) on
// the subsystems tty, hidraw and usb.
#pragma once

#include <QObject>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace veltra {

// Device-change codes the interface dialog distinguishes.
inline constexpr int kDeviceArrival = 0x8000;    // a device was added
inline constexpr int kDeviceNodesChanged = 0x07; // any other device event
inline constexpr int kRefreshLists = 24;         // the dialog's own "refresh now"

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    explicit DeviceMonitor(QObject* parent = nullptr);
    ~DeviceMonitor() override;
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // False when the system offers no device events (no udev); the lists then change only
    // through the dialog's own refreshes.
    bool isActive() const { return notifier_ != nullptr; }

signals:
    void deviceChanged(int code);

private:
    void readEvents();

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace veltra
