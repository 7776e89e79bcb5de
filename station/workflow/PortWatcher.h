// Finds the serial readers that are plugged in: the entries of a folder such as
// /dev/serial/by-id/, where the system puts a link for every USB serial reader that appears.
// A reader that stays plugged in is reported once; one that is pulled out and plugged in again
// is reported again.
#pragma once

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

    // The entries (full paths, in name order) that appeared since the last call.
    std::vector<std::string> newPorts();

private:
    std::string folder_;
    std::set<std::string> present_;
};

} // namespace veltra
