#include "tools/qn-sim/HidServer.h"

#include "tools/qn-sim/HidWire.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qnsim {

namespace {

// Control messages of the keyboard reader.
constexpr std::uint8_t kControlFlag = 0x80;
constexpr std::uint8_t kModeMessage = 0x10;
constexpr std::uint8_t kQueryKey = 0x11;
constexpr std::uint8_t kSetKey = 0x12;
constexpr std::uint8_t kNoKey = 0xFF;
// What a reader answers a query with under the wrong-echo fault instead of 0x11.
constexpr std::uint8_t kWrongEcho = 0x13;
// How long after a change of the key table or the counters the state file is rewritten.
constexpr std::chrono::milliseconds kStateSaveDelay{5};

std::string errnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void appendItem(std::vector<std::uint8_t>& out, std::uint8_t prefix, unsigned value) {
    // Short item with a 1- or 2-byte value.
    if (value <= 0xFF) {
        out.push_back(static_cast<std::uint8_t>(prefix | 1));
        out.push_back(static_cast<std::uint8_t>(value));
    } else {
        out.push_back(static_cast<std::uint8_t>(prefix | 2));
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
}

} // namespace

std::vector<std::uint8_t> HidServer::reportDescriptor(int inputLength, int outputLength) {
    std::vector<std::uint8_t> d = {0x06, 0x00, 0xFF,             // usage page vendor-defined 0xFF00
                                   0x09, 0x01,                   // usage 1
                                   0xA1, 0x01,                   // collection (application)
                                   0x15, 0x00,                   // logical minimum 0
                                   0x26, 0xFF, 0x00,             // logical maximum 255
                                   0x75, 0x08};                  // report size 8 bits
    appendItem(d, 0x94, static_cast<unsigned>(inputLength - 1)); // report count
    d.insert(d.end(), {0x09, 0x01, 0x81, 0x02});                 // usage 1, input (data, var)
    appendItem(d, 0x94, static_cast<unsigned>(outputLength - 1));
    d.insert(d.end(), {0x09, 0x01, 0x91, 0x02}); // usage 1, output (data, var)
    d.push_back(0xC0);                           // end collection
    return d;
}

HidServer::HidServer(ReaderModel& model, ServerOptions options, HidOptions hid, HidKeyTable table)
    : model_(model), options_(std::move(options)), hid_(std::move(hid)), table_(table),
      scanner_(options_.acceptStx, options_.acceptCrc),
      responder_(model, options_.address, options_.faults) {
    model_.setExtraState([this] { return stateText(); });
}

HidServer::~HidServer() {
    model_.setExtraState(nullptr);
    for (int fd : clients_) {
        ::close(fd);
    }
    for (int fd : {listen_, stopPipe_[0], stopPipe_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (!socketPath_.empty()) {
        ::unlink(socketPath_.c_str());
    }
    if (!tempDir_.empty()) {
        ::rmdir(tempDir_.c_str());
    }
}

bool HidServer::open(std::string* error) {
    if (hid_.typeIntoDisplay) {
        typer_ = XTestTyper::open(error);
        if (!typer_) {
            return false;
        }
    }
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = errnoText("pipe");
        return false;
    }
    socketPath_ = hid_.socketPath;
    if (socketPath_.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qn-sim-hid.XXXXXX";
        if (::mkdtemp(dir.data()) == nullptr) {
            *error = errnoText("mkdtemp");
            return false;
        }
        tempDir_ = dir;
        socketPath_ = dir + "/reader.sock";
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.size() >= sizeof address.sun_path) {
        *error = "socket path too long: " + socketPath_;
        socketPath_.clear();
        return false;
    }
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    listen_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listen_ < 0) {
        *error = errnoText("socket");
        return false;
    }
    ::unlink(socketPath_.c_str());
    if (::bind(listen_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listen_, 16) != 0) {
        *error = errnoText(("bind " + socketPath_).c_str());
        return false;
    }
    if (hid_.devicePath.empty()) {
        hid_.devicePath = "qn-sim:" + socketPath_;
    }
    return true;
}

void HidServer::requestStop() {
    const char c = 'q';
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &c, 1);
}

std::string HidServer::description() const {
    std::string text;
    char line[64];
    std::snprintf(line, sizeof line, "%04X %04X\nFF00 0001\n", kHidVendor, kHidProduct);
    text += line;
    text += hid_.devicePath + "\n";
    text += hid_.serial && !hid_.serial->empty() ? "S" + *hid_.serial + "\n" : std::string("N\n");
    for (std::uint8_t b : reportDescriptor(hid_.inputLength, hid_.outputLength)) {
        std::snprintf(line, sizeof line, "%02X", b);
        text += line;
    }
    return text;
}

std::string HidServer::stateText() const {
    std::ostringstream out;
    if (modeValue_) {
        out << "hid_mode=" << *modeValue_ << '\n';
    }
    out << "hid_queries=" << queries_ << '\n';
    out << "hid_sets=" << sets_ << '\n';
    out << "hid_round_trips=" << roundTrips_ << '\n';
    out << "hid_typed=" << typed_ << '\n';
    out << table_.stateText();
    return out.str();
}

void HidServer::send(int client, const std::vector<std::uint8_t>& packet) {
    // A client that does not read its reports loses them, as a report buffer would overflow.
    [[maybe_unused]] const ssize_t n =
        ::send(client, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void HidServer::sendInput(int client, const std::vector<std::uint8_t>& payload,
                          std::chrono::milliseconds pauseBefore) {
    const auto room = static_cast<std::size_t>(hid_.inputLength - 2);
    auto due = Clock::now() + pauseBefore;
    if (!pending_.empty()) {
        due = std::max(due, pending_.back().due);
    }
    for (std::size_t pos = 0; pos < payload.size(); pos += room) {
        const std::size_t n = std::min(room, payload.size() - pos);
        std::vector<std::uint8_t> packet(static_cast<std::size_t>(hid_.inputLength) + 1, 0);
        packet[0] = static_cast<std::uint8_t>(hidwire::kReport);
        // packet[1] is the report ID 0.
        packet[2] = static_cast<std::uint8_t>(n);
        if (hid_.longLength && n == room) {
            packet[2] = static_cast<std::uint8_t>(std::min(hid_.inputLength, 0xFF));
        }
        std::copy(payload.begin() + static_cast<std::ptrdiff_t>(pos),
                  payload.begin() + static_cast<std::ptrdiff_t>(pos + n), packet.begin() + 3);
        pending_.push_back({due, client, std::move(packet)});
    }
}

void HidServer::flushPending(Clock::time_point now) {
    while (!pending_.empty() && pending_.front().due <= now) {
        const Pending& p = pending_.front();
        if (std::find(clients_.begin(), clients_.end(), p.client) != clients_.end()) {
            send(p.client, p.packet);
        }
        pending_.pop_front();
    }
}

void HidServer::noteChange() {
    if (!saveDue_) {
        saveDue_ = Clock::now() + kStateSaveDelay;
    }
}

void HidServer::saveIfDue(Clock::time_point now) {
    if (saveDue_ && now >= *saveDue_) {
        saveDue_.reset();
        model_.extraStateChanged();
    }
}

bool HidServer::typeText(const std::string& text) {
    if (!typer_) {
        return false;
    }
    typer_->type(text, table_);
    ++typed_;
    noteChange();
    return true;
}

void HidServer::processFrames(int client, bool idle) {
    while (auto request = scanner_.next(idle)) {
        if (!responder_.addressedToMe(request->address)) {
            continue;
        }
        for (const ReplyPiece& piece : responder_.answer(*request)) {
            sendInput(client, piece.bytes, piece.pauseBefore);
        }
    }
}

void HidServer::onData(int client, const std::uint8_t* data, std::size_t size) {
    lastInput_ = Clock::now();
    dataClient_ = client;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        const bool mayStartFrame =
            (options_.acceptStx && b == kStx) || (options_.acceptCrc && b == options_.address);
        if (scanner_.pending() == 0 && !mayStartFrame && model_.isReaderModeInput(b)) {
            if (model_.readerModeByte(b) == ReaderModel::Input::Prompt) {
                typeText(options_.telegram);
            }
            continue;
        }
        scanner_.feed(&b, 1);
        processFrames(client, false);
    }
}

void HidServer::onControl(int client, const std::vector<std::uint8_t>& message) {
    if (message.size() >= 2 && message[0] == kQueryKey) {
        ++queries_;
        const std::uint8_t character = message[1];
        std::uint8_t modifier = kNoKey;
        std::uint8_t usage = kNoKey;
        if (!hid_.queryAllFF) {
            if (auto key = table_.find(character)) {
                modifier = key->modifier;
                usage = key->usage;
            }
        }
        const std::uint8_t echo = hid_.wrongEcho ? kWrongEcho : kQueryKey;
        // The answer travels like data: the length byte counts the four bytes.
        sendInput(client, {echo, character, modifier, usage}, {});
        noteChange();
    } else if (message.size() >= 4 && message[0] == kSetKey) {
        ++sets_;
        if (!hid_.refuseSet) {
            table_.set(message[1], {message[2], message[3]});
        }
        noteChange();
    }
}

bool HidServer::onOutputReport(int client, const std::vector<std::uint8_t>& report) {
    ++roundTrips_;
    noteChange();
    if (report.size() < 2 || report[0] != 0) {
        return false; // only the report without ID exists
    }
    const std::uint8_t lengthByte = report[1];
    const std::size_t held = report.size() - 2;
    if ((lengthByte & kControlFlag) != 0) {
        const std::size_t n = std::min<std::size_t>(lengthByte & 0x7F, held);
        const std::vector<std::uint8_t> message(
            report.begin() + 2, report.begin() + 2 + static_cast<std::ptrdiff_t>(n));
        if (message.size() >= 2 && message[0] == kModeMessage) {
            if (hid_.noMode) {
                noteChange();
                return false; // the reader stalls the report it does not take
            }
            modeValue_ = message[1];
            noteChange();
            return true;
        }
        onControl(client, message);
        return true;
    }
    onData(client, report.data() + 2, std::min<std::size_t>(lengthByte, held));
    return true;
}

void HidServer::onPacket(int client, const std::vector<std::uint8_t>& packet) {
    if (packet.empty()) {
        return;
    }
    const std::vector<std::uint8_t> body(packet.begin() + 1, packet.end());
    switch (static_cast<char>(packet[0])) {
    case hidwire::kDescribe: {
        const std::string text = std::string(1, hidwire::kDescribe) + description();
        send(client, std::vector<std::uint8_t>(text.begin(), text.end()));
        break;
    }
    case hidwire::kWrite: {
        const bool taken = onOutputReport(client, body);
        // The write completes before the answer's reports arrive.
        send(client, {static_cast<std::uint8_t>(hidwire::kAck),
                      taken ? hidwire::kAckTaken : hidwire::kAckStalled});
        flushPending(Clock::now());
        break;
    }
    case hidwire::kType: {
        const bool typed = typeText(std::string(body.begin(), body.end()));
        send(client, {static_cast<std::uint8_t>(hidwire::kAck),
                      typed ? hidwire::kAckTaken : hidwire::kAckStalled});
        break;
    }
    default:
        break;
    }
}

void HidServer::dropClient(int client) {
    ::close(client);
    std::erase(clients_, client);
    if (dataClient_ == client) {
        dataClient_ = -1;
        scanner_.clear();
    }
}

bool HidServer::run(std::string* error) {
    lastInput_ = Clock::now();
    if (!hid_.typeText.empty()) {
        typeText(hid_.typeText);
    }
    std::vector<std::uint8_t> buffer(hidwire::kMaxPacket);
    for (;;) {
        const auto now = Clock::now();
        if (model_.mode() == 1 && options_.intervalMs > 0) {
            const auto interval = std::chrono::milliseconds(options_.intervalMs);
            if (!nextTelegram_) {
                nextTelegram_ = now + interval;
            } else if (now >= *nextTelegram_) {
                typeText(options_.telegram);
                nextTelegram_ = std::max(*nextTelegram_ + interval, now);
            }
        } else {
            nextTelegram_.reset();
        }
        if (scanner_.pending() > 0 && now - lastInput_ >= kIdleGap) {
            processFrames(dataClient_, true);
        }
        flushPending(now);
        saveIfDue(now);

        std::optional<Clock::time_point> wake;
        auto wakeAt = [&](Clock::time_point t) { wake = wake ? std::min(*wake, t) : t; };
        if (nextTelegram_) {
            wakeAt(*nextTelegram_);
        }
        if (scanner_.pending() > 0) {
            wakeAt(lastInput_ + kIdleGap);
        }
        if (!pending_.empty()) {
            wakeAt(pending_.front().due);
        }
        if (saveDue_) {
            wakeAt(*saveDue_);
        }
        int timeoutMs = -1;
        if (wake) {
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count();
            timeoutMs = static_cast<int>(std::clamp<long long>(ms, 0, 60000));
        }
        std::vector<pollfd> fds = {{stopPipe_[0], POLLIN, 0}, {listen_, POLLIN, 0}};
        for (int client : clients_) {
            fds.push_back({client, POLLIN, 0});
        }
        const int rc = ::poll(fds.data(), fds.size(), timeoutMs);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            *error = errnoText("poll");
            return false;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            if (saveDue_) {
                saveIfDue(*saveDue_);
            }
            return true;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                clients_.push_back(client);
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t n = ::recv(fds[i].fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n > 0) {
                onPacket(fds[i].fd, std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                dropClient(fds[i].fd);
            }
        }
    }
}

} // namespace qnsim
