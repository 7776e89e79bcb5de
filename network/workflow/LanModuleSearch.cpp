#include "network/workflow/LanModuleSearch.h"

#include <QString>

#include <vector>

namespace veltra {

namespace {

std::vector<std::string> names(const char* buffer, int used) {
    std::vector<std::string> out;
    for (int i = 0; i + 1 < used && buffer[i] != '\0';) {
        out.emplace_back(buffer + i);
        i += static_cast<int>(out.back().size()) + 1;
    }
    return out;
}

std::string keyOf(const std::string& name) {
    if (!name.empty() && name[0] == '[') {
        const auto close = name.find(']');
        if (close != std::string::npos) {
            return name.substr(0, close + 1);
        }
    }
    return name;
}

} // namespace

std::vector<LanModuleEntry> LanModuleSearch::run(ReaderLink& link) {
    std::vector<LanModuleEntry> list;
    std::vector<char> buffer(kBufferSize, '\0');
    int used = link.searchLanReaders(buffer.data(), kBufferSize);
    if (used > 1) {
        for (const auto& name : names(buffer.data(), used)) {
            list.push_back({name, LanModuleEntry::kReader});
        }
    }
    std::fill(buffer.begin(), buffer.end(), '\0');
    used = link.searchLanDevices(buffer.data(), kBufferSize);
    if (used > 1) {
        for (const auto& name : names(buffer.data(), used)) {
            const QString key = QString::fromStdString(keyOf(name));
            bool replaced = false;
            for (auto& entry : list) {
                if (QString::fromStdString(entry.name).compare(key, Qt::CaseInsensitive) == 0) {
                    entry = {name, LanModuleEntry::kReader};
                    replaced = true;
                    break;
                }
            }
            if (!replaced) {
                list.push_back({name, LanModuleEntry::kOtherModule});
            }
        }
    }
    return list;
}

std::string LanModuleSearch::interfaceName(const std::string& entry) {
    const auto close = entry.find(']');
    return "LAN: " + (close == std::string::npos ? entry : entry.substr(0, close + 1));
}

} // namespace veltra
