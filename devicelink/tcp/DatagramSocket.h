// One datagram socket of the module configuration, bound to one adapter address, and the wait
// for answers on one or several such sockets. Waiting blocks in poll(); with a wait callback
// registered it wakes every 10 ms to report progress, as exchanges with a reader do.
#ifndef QNLINK_DATAGRAMSOCKET_H
#define QNLINK_DATAGRAMSOCKET_H

#include "devicelink/tcp/ModuleProtocol.h"
#include "devicelink/tcp/NetworkAdapter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace qnlink {

using SteadyTime = std::chrono::steady_clock::time_point;

struct ReceivedDatagram {
    std::uint32_t source = 0; // network byte order
    Datagram bytes;
};

class DatagramSocket {
public:
    // A socket bound to the adapter's address with broadcast allowed; nullptr on failure.
    static std::unique_ptr<DatagramSocket> open(const NetworkAdapter& adapter);
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    const NetworkAdapter& adapter() const { return adapter_; }
    bool sendTo(std::uint32_t host, const Datagram& datagram);
    // Sends to the configuration port of every module on the adapter's network: to
    // 255.255.255.255 when the socket could be tied to its interface (so the datagram leaves
    // through it whatever the routing table says), else to the subnet's directed broadcast.
    bool sendBroadcast(const Datagram& datagram);
    // The next datagram from someone other than this PC, or nothing when `until` passed.
    std::optional<ReceivedDatagram> receive(SteadyTime until);

    int descriptor() const { return fd_; }
    // Reads one waiting datagram without blocking; datagrams from our own address are dropped.
    std::optional<ReceivedDatagram> readOne();

private:
    DatagramSocket(int fd, NetworkAdapter adapter, bool tiedToInterface)
        : fd_(fd), adapter_(std::move(adapter)), tied_(tiedToInterface) {}
    int fd_;
    NetworkAdapter adapter_;
    bool tied_;
};

// Waits on several sockets at once; the index of the socket and its datagram, or nothing when
// `until` passed.
std::optional<std::pair<std::size_t, ReceivedDatagram>>
receiveAny(const std::vector<DatagramSocket*>& sockets, SteadyTime until);

// Reports the waits of one LAN operation to the wait callback: begin when the outermost one
// starts, progress while it waits, end when it ends. Nested scopes on the same thread report
// nothing of their own.
class LanWaitScope {
public:
    LanWaitScope();
    ~LanWaitScope();
    LanWaitScope(const LanWaitScope&) = delete;
    LanWaitScope& operator=(const LanWaitScope&) = delete;
    static bool active();
    static void progress();
};

// Sleeps for a while without stopping the progress reports.
void lanPause(std::chrono::milliseconds duration);

} // namespace qnlink

#endif
