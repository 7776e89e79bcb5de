// Finds the serial readers that are plugged in: the entries of a folder such as
// /dev/serial/by-id/, where the system puts a link for every USB serial reader that appears.
// A reader that stays plugged in is reported once; one that is pulled out and plugged in again
// is reported again. Keyboard (USB HID) readers, which have no such link, can be watched through
// the device link's USB list as well.
#pragma once

#include "config/workflow/ReaderLink.h"

#include <set>
#include <string>
#include <vector>

namespace veltra {

class PortWatcher {
public:
    static constexpr const char* kSerialById = "/dev/serial/by-id";

    explicit PortWatcher(std::string folder = kSerialById);

    const std::string& folder() const { return folder_; }
    // Whether the folder can be listed. /dev/serial/by-id exists only while a USB serial device
    // is plugged in, so a missing folder counts as empty there and is not an error.
    bool usable() const;

    // Also reports the keyboard readers of the device link's USB list, by their port names.
    void watchHidReaders(ReaderLink& link) { hidLink_ = &link; }

    // The entries (full paths, in name order) and keyboard readers that appeared since the last
    // call.
    std::vector<std::string> newPorts();

private:
    std::string folder_;
    ReaderLink* hidLink_ = nullptr;
    std::set<std::string> present_;
};

} // namespace veltra
