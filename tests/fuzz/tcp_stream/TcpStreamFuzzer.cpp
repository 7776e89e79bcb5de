// An Ethernet reader whose TCP byte stream is whatever the input says, cut into pieces: a
// listener on the loopback stands in for the reader, and the device link connects to it by
// its port name and runs its exchanges over the real socket thread. Input: one byte of options
// (bit 0: CRC framing; bits 1-4: piece size - 1), then one answer per request the link sends,
// each a length byte and that many bytes; length 255 makes the reader close the connection
// instead. Nothing may read or write beyond the replies or the caller's buffers.
#include "devicelink/PortName.h"
#include "devicelink/RWPort.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qnlink;

namespace {

constexpr int kExchangeTimeoutMs = 5;
constexpr int kRequestWaitMs = 100;

int g_listener = -1;
std::string g_portName;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The reader's side: waits for a request, answers it with the next answer in pieces.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size, std::size_t piece)
        : data_(data), size_(size), piece_(piece) {}

    // Ends the wait for a further request or connection.
    void stop() { stop_ = true; }

    void run() {
        int peer = -1;
        while (at_ < size_) {
            if (peer < 0) {
                if (!readable(g_listener)) {
                    break;
                }
                peer = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (peer < 0) {
                    break;
                }
                const int on = 1;
                (void)::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
            std::uint8_t request[600];
            if (!readable(peer) || ::recv(peer, request, sizeof request, 0) <= 0) {
                break;
            }
            const std::size_t length = data_[at_++];
            if (length == 255) {
                ::close(peer);
                peer = -1;
                continue;
            }
            const std::size_t end = std::min(size_, at_ + length);
            for (; at_ < end; at_ += piece_) {
                const std::size_t n = std::min(piece_, end - at_);
                if (::send(peer, data_ + at_, n, MSG_NOSIGNAL) < 0) {
                    break;
                }
            }
            at_ = end;
        }
        if (peer >= 0) {
            ::close(peer);
        }
        done_ = true;
    }

    bool done() const { return done_; }

private:
    // Waits in short slices, so stop() ends the wait soon.
    bool readable(int fd) const {
        for (int waited = 0; waited < kRequestWaitMs && !stop_; waited += 2) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2) > 0) {
                return true;
            }
        }
        return false;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t piece_;
    std::size_t at_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<bool> stop_{false};
};

// The caller's buffer with guard bytes behind it.
bool intact(const std::vector<unsigned char>& buffer, std::size_t used) {
    for (std::size_t i = used; i < buffer.size(); ++i) {
        if (buffer[i] != 0xA5) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (g_listener < 0 ||
        ::bind(g_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(g_listener, 16) != 0 ||
        ::getsockname(g_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::abort();
    }
    g_portName = "127.0.0.1-" + std::to_string(ntohs(address.sin_port));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // Connections an earlier input left unaccepted would fill the listener's queue.
    for (int stale; (stale = ::accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        ::close(stale);
    }
    CQN_RW_Port port(parsePortName(g_portName), kExchangeTimeoutMs, false);
    require(port.openLink(0, 0) == 0);
    port.setFraming((data[0] & 1) != 0 ? Framing::Crc : Framing::StxBcc);
    Reader reader(data + 1, size - 1, static_cast<std::size_t>((data[0] >> 1) & 15) + 1);
    std::thread readerThread([&reader] { reader.run(); });

    (void)port.identify();
    std::vector<unsigned char> buffer(128 + 8, 0xA5);
    const int sizes[] = {13, 4, 100, 1};
    for (int i = 0; i < 4 && !reader.done(); ++i) {
        std::fill(buffer.begin(), buffer.end(), 0xA5);
        const int used = i == 1 ? port.transact(0x80, buffer.data(), 0, buffer.data(), sizes[i])
                                : port.readParameterBlock(i == 0 ? 1 : 2, buffer.data(), sizes[i]);
        require(used <= sizes[i] && intact(buffer, static_cast<std::size_t>(sizes[i])));
    }
    std::fill(buffer.begin(), buffer.end(), 0xA5);
    require(port.readReceived(buffer.data(), 7) <= 7 && intact(buffer, 7));
    reader.stop();
    readerThread.join();
    port.closeLink();
    return 0;
}
