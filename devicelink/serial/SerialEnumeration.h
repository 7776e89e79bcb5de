// Serial ports and USB driver checks from sysfs. The sysfs root is /sys unless the environment
// variable QN_SYSFS_ROOT names another folder (a copy of the tree, e.g. for tests); the kernel
// module lists are read from /lib/modules unless QN_MODULES_ROOT names another folder.
#ifndef QNLINK_SERIALENUMERATION_H
#define QNLINK_SERIALENUMERATION_H

#include <string>
#include <vector>

namespace qnlink {

// Device paths of the present serial ports, sorted, each with " [description]" for the
// maker's USB virtual COM ports.
std::vector<std::string> listSerialPorts();

// 1 when the kernel's CDC ACM driver is loaded, built in or installed as a module.
bool cdcDriverAvailable();

// Bit 2: a virtual-COM reader (1C40:05AC) none of whose interfaces has a driver bound.
// Bit 1: an FTDI reader (0403:E130) while neither the D2XX library can be loaded nor a kernel
// driver (ftdi_sio) is bound to one of its interfaces.
int usbDevicesWithoutDriver(bool ftdiLibraryLoads);

} // namespace qnlink

#endif
