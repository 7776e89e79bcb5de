#include "devicelink/UsbDeviceList.h"

#include "devicelink/MultiString.h"
#include "devicelink/ftdi/FTD2xxPort.h"

#include <algorithm>

namespace qnlink {

void UsbDeviceList::add(std::string name) {
    if (isReaderProductNumber(name) &&
        std::find(names_.begin(), names_.end(), name) == names_.end()) {
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
