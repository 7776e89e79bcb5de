// The list of USB readers that QnListUsbDevices returns: the FTDI readers' serial numbers first,
// then the HID readers' names. Each name is taken once, and only when its first four characters
// are one of the maker's product numbers.
#ifndef QNLINK_USBDEVICELIST_H
#define QNLINK_USBDEVICELIST_H

#include <string>
#include <vector>

namespace qnlink {

class UsbDeviceList {
public:
    // Appends the name unless it is listed already or is no reader's name.
    void add(std::string name);
    const std::vector<std::string>& names() const { return names_; }

private:
    std::vector<std::string> names_;
};

// Appends the FTDI readers that no program holds open, through the D2XX library.
void addFtdiReaders(UsbDeviceList& list);

} // namespace qnlink

#endif
