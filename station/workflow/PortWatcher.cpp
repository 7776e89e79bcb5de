#include "station/workflow/PortWatcher.h"

#include <filesystem>
#include <system_error>

namespace veltra {

PortWatcher::PortWatcher(std::string folder) : folder_(std::move(folder)) {}

bool PortWatcher::usable() const {
    std::error_code error;
    if (folder_ == kSerialById && !std::filesystem::exists(folder_, error)) {
        return true;
    }
    std::filesystem::directory_iterator it(folder_, error);
    return !error;
}

std::vector<std::string> PortWatcher::newPorts() {
    std::set<std::string> now;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        now.insert(it->path().string());
    }
    std::vector<std::string> added;
    for (const std::string& path : now) {
        if (!present_.contains(path)) {
            added.push_back(path);
        }
    }
    present_ = std::move(now); // what went away is forgotten: plugged in again, it is new
    return added;
}

} // namespace veltra
