#include "station/workflow/PortWatcher.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace veltra {
namespace {

constexpr int kUsbListBuffer = 8192;

// The keyboard readers among the USB devices: their names carry "HID".
void addHidReaders(ReaderLink& link, std::set<std::string>& into) {
    std::vector<char> buffer(kUsbListBuffer);
    const int used = link.listUsbDevices(buffer.data(), static_cast<int>(buffer.size()));
    if (used <= 0) {
        return;
    }
    buffer.back() = '\0';
    const std::size_t end = std::min(static_cast<std::size_t>(used), buffer.size() - 1);
    for (std::size_t at = 0; at < end && buffer[at] != '\0';) {
        const std::string name(buffer.data() + at);
        if (name.find("HID") != std::string::npos) {
            into.insert(name);
        }
        at += name.size() + 1;
    }
}

} // namespace

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
    if (hidLink_ != nullptr) {
        addHidReaders(*hidLink_, now);
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
