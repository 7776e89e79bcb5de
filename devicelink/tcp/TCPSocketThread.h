// The TCP link to an Ethernet reader's command channel: one socket thread per connection that
// blocks in poll() on the socket and a wake-up descriptor, sends the queued frames, puts what
// arrives into the connection's receive queue, and reconnects before a send when the reader
// closed the connection.
#ifndef QNLINK_TCPSOCKETTHREAD_H
#define QNLINK_TCPSOCKETTHREAD_H

#include "devicelink/Link.h"
#include "devicelink/ReceiveQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qnlink {

class CTCPSocketThread final : public Link {
public:
    static constexpr int kBindAttempts = 6;
    static constexpr int kAddressInUseRetries = 5;
    static constexpr std::chrono::milliseconds kBindPause{200};
    // How long one connection attempt may take before it counts as failed.
    static constexpr std::chrono::milliseconds kConnectTimeout{3000};
    static constexpr std::size_t kReadSize = 513;

    // Connects to host:port from localAddress (all network byte order except the port) in the
    // socket thread; nullptr when the first connection fails.
    static std::unique_ptr<CTCPSocketThread> open(std::uint32_t host, int port,
                                                  std::uint32_t localAddress, ReceiveQueue& sink);
    ~CTCPSocketThread() override;

    LinkKind kind() const override { return LinkKind::Tcp; }
    bool write(const std::uint8_t* data, std::size_t size) override;
    void close() override;
    std::string displayName() const override { return hostText_; }

    bool connected() const { return fd_.load() >= 0; }

private:
    CTCPSocketThread(std::uint32_t host, int port, std::uint32_t localAddress, ReceiveQueue& sink,
                     int wakeFd);
    void run();
    // One connection (with the bind and address-in-use retries when `retries`); the socket or -1.
    int connectSocket(bool retries);
    void disconnect();
    void sendQueued();
    void wake();

    std::uint32_t host_;
    int port_;
    std::uint32_t localAddress_;
    std::string hostText_;
    ReceiveQueue& sink_;
    int wakeFd_;
    std::atomic<int> fd_{-1};
    std::thread thread_;
    std::atomic<bool> stop_{false};

    std::mutex mutex_; // guards the send list and the start flag
    std::condition_variable startedChanged_;
    bool started_ = false;
    std::deque<std::vector<std::uint8_t>> sendList_;
};

// Opens the TCP link of a port name: a bracketed module name is resolved by broadcast, the
// local address is that of the adapter the routing table picks for the reader. nullptr on
// failure.
std::unique_ptr<Link> openTcpLink(const std::string& name, ReceiveQueue& sink);

} // namespace qnlink

#endif
