// The present USB HID readers, their listed names and their device nodes.
#ifndef QNLINK_HIDENUMERATION_H
#define QNLINK_HIDENUMERATION_H

#include "devicelink/hid/HidApi.h"
#include "devicelink/hid/ReportDescriptor.h"

#include <optional>
#include <string>
#include <vector>

namespace qnlink {

struct HidReader {
    std::string name; // "<serial> HID"
    std::string path; // hidapi's device path, on Linux the hidraw node
};

// Vendor 0x16C0 with product 0x2913, or vendor 0x1C40 with product 0x05AB, 0x05AD, 0x05AE or
// 0x05AF.
bool isAcceptedHidReader(unsigned short vendor, unsigned short product);

// The listed name of a reader with this serial number string: the string in 8-bit characters
// (a character above 0xFF becomes '?'), at most 24 characters, or "1319-????" when there is
// none; followed by " HID".
std::string hidReaderName(const wchar_t* serial);

// Every present accepted reader in hidapi's order, duplicates of a name included. The
// keyboard collection of a reader (usage page 1, usage 6) is left out: the report channel is
// the reader's other interface.
std::vector<HidReader> presentHidReaders(HidApi& api);

// Names of the present readers, each name once; empty without hidapi.
std::vector<std::string> listHidReaderNames();

// The device node of the first present reader with this name; empty when there is none.
std::string hidReaderPath(const std::string& name);

// Report lengths from the report descriptor in sysfs of a hidraw node ("/dev/hidraw3" ->
// <sysfs>/class/hidraw/hidraw3/device/report_descriptor, sysfs being /sys or QN_SYSFS_ROOT).
std::optional<ReportLengths> reportLengthsFromSysfs(const std::string& devicePath);

} // namespace qnlink

#endif
