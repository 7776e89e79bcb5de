// The reachability test of Ethernet readers: one ICMP echo request with 16 bytes 0x45, time to
// live 30, type of service 0, do-not-fragment, 200 ms. It goes through an unprivileged ICMP
// datagram socket; where the system forbids those (net.ipv4.ping_group_range) through a raw
// socket; where that is not permitted either, a TCP connection attempt to the reader's port
// stands in (an accepted and a refused connection both show that the host answers).
#ifndef QNLINK_PING_H
#define QNLINK_PING_H

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qnlink {

class CPing {
public:
    enum class Method { Automatic, IcmpDatagram, IcmpRaw, TcpConnect };
    static constexpr std::size_t kDataSize = 16;
    static constexpr std::uint8_t kDataByte = 0x45;
    static constexpr int kTimeToLive = 30;
    static constexpr std::chrono::milliseconds kTimeout{200};

    // True when the host (network byte order) answered. tcpPort is used by the TCP way only.
    static bool ping(std::uint32_t host, int tcpPort, Method method = Method::Automatic,
                     std::chrono::milliseconds timeout = kTimeout);
    // The method the last automatic ping of this process used.
    static Method lastMethod();

    // Whether an ICMP message (starting at its type byte) is the echo reply to our request:
    // type 0, the sequence number (and the identifier when checkId), and exactly kDataSize
    // data bytes, each kDataByte.
    static bool isMatchingReply(const std::uint8_t* icmp, std::size_t size, std::uint16_t id,
                                std::uint16_t sequence, bool checkId);
};

// QnPingLanDevice: bus address cut off, a bracketed name resolved by broadcast (0 without a
// module of that name, before any echo request), the port dropped, the rest pinged.
int pingLanDevice(const char* portName);

} // namespace qnlink

#endif
