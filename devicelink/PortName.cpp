#include "devicelink/PortName.h"

#include <algorithm>
#include <cctype>

namespace qnlink {

namespace {

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(s[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// "COM" and a number starting 1..9: returns the number and whatever follows its digits (which
// makes the name one that no device has), or 0.
unsigned long comNumber(std::string_view s, std::string_view& rest) {
    if (startsWithNoCase(s, "\\\\.\\")) {
        s.remove_prefix(4);
    }
    if (!startsWithNoCase(s, "COM") || s.size() < 4 || s[3] < '1' || s[3] > '9') {
        return 0;
    }
    std::size_t end = 3;
    while (end < s.size() && end < 9 && s[end] >= '0' && s[end] <= '9') {
        ++end;
    }
    rest = s.substr(end);
    return std::stoul(std::string(s.substr(3, end - 3)));
}

// The port list names the maker's USB virtual COM ports with a description, e.g.
// "/dev/ttyACM0 [Zem Virtual COM]"; the program stores and passes that text as it was listed.
// The description names no device, so it is left out of the path that is opened.
std::string_view withoutDescription(std::string_view s) {
    const std::size_t open = s.rfind(" [");
    if (open == std::string_view::npos || !s.ends_with(']')) {
        return s;
    }
    return s.substr(0, open);
}

} // namespace

PortName parsePortName(std::string_view text) {
    PortName result;
    std::string_view rest = text;
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < rest.size()) {
        const std::string_view suffix = rest.substr(colon + 1);
        // An address beyond one byte cannot be put into a frame; such a suffix stays part of
        // the name rather than silently addressing another reader.
        if (allDigits(suffix) && suffix.size() <= 3 && std::stoi(std::string(suffix)) <= 255) {
            result.busAddress = static_cast<std::uint8_t>(std::stoi(std::string(suffix)));
            rest = rest.substr(0, colon);
        }
    }
    result.name = std::string(rest);

    // Device paths come first: the stable names under /dev/serial/by-id and by-path carry
    // dots, colons and maker texts such as "HID" that would otherwise pass for another link.
    if (rest.starts_with("/dev/")) {
        result.kind = LinkKind::Serial;
        result.device = std::string(withoutDescription(rest));
        return result;
    }
    const bool threeDots = std::count(rest.begin(), rest.end(), '.') >= 3;
    if (rest.starts_with("[") || threeDots) {
        result.kind = LinkKind::Tcp;
        std::string_view host = rest;
        const std::size_t close = host.starts_with("[") ? host.find(']') : std::string_view::npos;
        const std::size_t dashFrom = close == std::string_view::npos ? 0 : close;
        const std::size_t dash = host.find('-', dashFrom);
        if (dash != std::string_view::npos) {
            const std::string_view port = host.substr(dash + 1);
            if (allDigits(port) && port.size() <= 5) {
                const int p = std::stoi(std::string(port));
                if (p > 0 && p <= 65535) {
                    result.tcpPort = p;
                }
            }
            host = host.substr(0, dash);
        }
        result.device = std::string(host);
        return result;
    }
    if (rest.find("HID") != std::string_view::npos) {
        result.kind = LinkKind::Hid;
        result.device = result.name;
        return result;
    }
    std::string_view after;
    if (const unsigned long n = comNumber(rest, after); n != 0) {
        result.kind = LinkKind::Serial;
        result.device =
            "/dev/ttyS" + std::to_string(n - 1) + std::string(withoutDescription(after));
        return result;
    }
    result.kind = LinkKind::Ftdi;
    result.device = result.name;
    return result;
}

} // namespace qnlink
