#include "devicelink/UsbDeviceList.h"

#include "devicelink/ftdi/FTD2xxPort.h"

#include <algorithm>

namespace qnlink {

bool UsbDeviceList::isReaderName(std::string_view name) {
    if (name.size() < 4) {
        return false;
    }
    int number = 0;
    for (const char c : name.substr(0, 4)) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    return number == 1100 || number == 1124 || number == 1136 || number == 1140 ||
           (number >= 1310 && number <= 1319) || (number >= 1620 && number <= 1639) ||
           (number >= 1650 && number <= 1659) || number == 1680 ||
           (number >= 2000 && number <= 2099);
}

void UsbDeviceList::add(std::string name) {
    if (isReaderName(name) && std::find(names_.begin(), names_.end(), name) == names_.end()) {
        names_.push_back(std::move(name));
    }
}

void addFtdiReaders(UsbDeviceList& list) {
    CFTD2xxPort library;
    for (auto& serial : library.freeSerialNumbers()) {
        list.add(std::move(serial));
    }
}

} // namespace qnlink
