#include "devicelink/tcp/ConfigAccess.h"

#include "devicelink/PortName.h"
#include "devicelink/SdkApp.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kResolveWindow{200};

std::vector<std::unique_ptr<DatagramSocket>> openAdapterSockets() {
    std::vector<std::unique_ptr<DatagramSocket>> sockets;
    for (const auto& adapter : listNetworkAdapters()) {
        if (auto s = DatagramSocket::open(adapter)) {
            sockets.push_back(std::move(s));
        }
    }
    return sockets;
}

std::vector<DatagramSocket*> pointers(const std::vector<std::unique_ptr<DatagramSocket>>& v) {
    std::vector<DatagramSocket*> out;
    for (const auto& s : v) {
        out.push_back(s.get());
    }
    return out;
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Waits on one socket for an answer of the type from host (any host when host is 0).
std::optional<Block> awaitOn(DatagramSocket& socket, std::uint32_t host, std::uint8_t type,
                             std::size_t minData) {
    const auto limit = Clock::now() + kAnswerWaitLimit;
    auto window = Clock::now() + kAnswerWindow;
    for (;;) {
        auto got = socket.receive(std::min(window, limit));
        if (!got) {
            return std::nullopt;
        }
        if (auto data = acceptAnswer(*got, host, type, minData)) {
            return data;
        }
        window = Clock::now() + kAnswerWindow; // a datagram that did not match
    }
}

} // namespace

std::optional<Block> acceptAnswer(const ReceivedDatagram& datagram, std::uint32_t host,
                                  std::uint8_t type, std::size_t minData) {
    if (host != 0 && datagram.source != host) {
        return std::nullopt;
    }
    return answerData(datagram.bytes, type, minData);
}

std::optional<std::string> resolvedModule(const ReceivedDatagram& datagram,
                                          std::string_view wanted) {
    const auto block = acceptAnswer(datagram, 0, queryAnswerType(0), kBlockAnswerSize);
    if (!block || readAddress(*block, block0::kAddress) == datagram.source ||
        bracketedModuleName(*block) != wanted) {
        return std::nullopt;
    }
    return dottedAddress(datagram.source) + "-" +
           std::to_string(readPort(*block, block0::kTcpPort));
}

std::optional<std::string> searchAnswerEntry(const ReceivedDatagram& datagram) {
    const auto block = acceptAnswer(datagram, 0, queryAnswerType(0), kBlockAnswerSize);
    if (!block) {
        return std::nullopt;
    }
    return searchEntry(*block, datagram.source);
}

std::optional<std::string> readerSearchEntry(std::string_view entry, const Block& block2) {
    if (block2.size() < kBlock2TypeText) {
        return std::nullopt;
    }
    const std::string type(block2.begin() + kBlock2TypeText, block2.end());
    if (upper(type).rfind("QN-", 0) != 0) {
        return std::nullopt;
    }
    return entry.starts_with("[") ? bracketedPart(entry) : std::string(entry);
}

std::string resolveModuleName(std::string_view name) {
    const std::string wanted = bracketedPart(name);
    if (wanted.empty()) {
        return std::string(name);
    }
    LanWaitScope wait;
    auto sockets = openAdapterSockets();
    for (auto& s : sockets) {
        (void)s->sendBroadcast(queryBlockRequest(0));
    }
    const auto until = Clock::now() + kResolveWindow;
    const auto all = pointers(sockets);
    while (auto got = receiveAny(all, until)) {
        if (auto resolved = resolvedModule(got->second, wanted)) {
            return *resolved;
        }
    }
    return {};
}

std::string hostOfPortName(std::string_view portName) {
    const std::string resolved = resolveModuleName(parsePortName(portName).name);
    return resolved.empty() ? std::string() : withoutPort(resolved);
}

ConfigAccess::~ConfigAccess() {
    close(false);
}

int ConfigAccess::open(std::string_view portName) {
    LanWaitScope wait;
    const auto host = parseDottedAddress(hostOfPortName(portName));
    if (!host) {
        return -1;
    }
    for (const auto& adapter : listNetworkAdapters()) {
        auto socket = DatagramSocket::open(adapter);
        if (!socket || !socket->sendTo(*host, queryBlockRequest(0))) {
            continue;
        }
        if (awaitOn(*socket, *host, queryAnswerType(0), kBlockAnswerSize)) {
            socket_ = std::move(socket);
            host_ = *host;
            handle_ = CQN_LF_SDKApp::instance().acquireHandle(LinkKind::Tcp);
            return 0;
        }
    }
    return -1;
}

std::optional<Block> ConfigAccess::awaitAnswer(std::uint8_t type, std::size_t minData) {
    LanWaitScope wait;
    return awaitOn(*socket_, host_, type, minData);
}

std::optional<Block> ConfigAccess::readBlock(int block, std::size_t minData) {
    if (!socket_ || !socket_->sendTo(host_, queryBlockRequest(block))) {
        return std::nullopt;
    }
    return awaitAnswer(queryAnswerType(block), minData);
}

bool ConfigAccess::writeBlock(int block, const Block& data) {
    if (!socket_ || !socket_->sendTo(host_, writeBlockRequest(block, data))) {
        return false;
    }
    return awaitAnswer(writeAnswerType(block), 0).has_value();
}

std::optional<Block> ConfigAccess::queryIdentity() {
    if (!socket_ || !socket_->sendTo(host_, queryIdentityRequest())) {
        return std::nullopt;
    }
    return awaitAnswer(kIdentityAnswerType, kIdentityAnswerSize);
}

bool ConfigAccess::sendSetAddress(std::uint8_t id24, std::uint8_t id25, std::uint32_t newAddress) {
    return socket_ && socket_->sendTo(host_, setAddressRequest(id24, id25, newAddress));
}

void ConfigAccess::close(bool closingMessage) {
    if (socket_ && closingMessage) {
        (void)socket_->sendTo(host_, closingRequest());
    }
    socket_.reset();
    if (handle_ != 0) {
        CQN_LF_SDKApp::instance().releaseHandle(LinkKind::Tcp, handle_);
        handle_ = 0;
    }
}

std::vector<std::string> searchModules(bool readersOnly) {
    LanWaitScope wait;
    auto sockets = openAdapterSockets();
    // Every adapter's broadcast goes out at once and each adapter has its own answer window,
    // so the search takes one window however many adapters there are.
    std::vector<Clock::time_point> window(sockets.size());
    std::vector<std::set<std::pair<std::string, std::uint32_t>>> found(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        (void)sockets[i]->sendBroadcast(queryBlockRequest(0));
        window[i] = Clock::now() + kAnswerWindow;
    }
    std::vector<DatagramSocket*> open = pointers(sockets);
    std::vector<std::size_t> index(sockets.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
        index[i] = i;
    }
    while (!open.empty()) {
        // Adapters whose window has passed are done.
        const auto now = Clock::now();
        for (std::size_t k = open.size(); k-- > 0;) {
            if (now >= window[index[k]]) {
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(k));
                index.erase(index.begin() + static_cast<std::ptrdiff_t>(k));
            }
        }
        if (open.empty()) {
            break;
        }
        Clock::time_point until = window[index[0]];
        for (std::size_t i : index) {
            until = std::min(until, window[i]);
        }
        auto got = receiveAny(open, until);
        if (!got) {
            continue;
        }
        const std::size_t adapter = index[got->first];
        const auto entry = searchAnswerEntry(got->second);
        if (!entry) {
            continue;
        }
        found[adapter].insert({*entry, got->second.source});
        window[adapter] = Clock::now() + kAnswerWindow;
    }

    std::set<std::string> result;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        for (const auto& [entry, source] : found[i]) {
            if (!readersOnly) {
                result.insert(entry);
                continue;
            }
            if (!sockets[i]->sendTo(source, queryBlockRequest(2))) {
                continue;
            }
            const auto block2 = awaitOn(*sockets[i], source, queryAnswerType(2), kLongBlockSize);
            if (!block2) {
                continue;
            }
            if (auto reader = readerSearchEntry(entry, *block2)) {
                result.insert(*reader);
            }
        }
    }
    return {result.begin(), result.end()};
}

} // namespace qnlink
