#include "devicelink/tcp/NetworkAdapter.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qnlink {

namespace {

// The hardware type that /sys/class/net/<if>/type shows, asked of the kernel directly: sysfs
// shows the network namespace it was mounted in, the ioctl the caller's own.
bool isEthernetKind(int probe, const char* interfaceName) {
    ifreq request{};
    std::strncpy(request.ifr_name, interfaceName, IFNAMSIZ - 1);
    return ::ioctl(probe, SIOCGIFHWADDR, &request) == 0 &&
           request.ifr_hwaddr.sa_family == ARPHRD_ETHER; // wired and Wi-Fi alike
}

} // namespace

std::vector<NetworkAdapter> listNetworkAdapters() {
    std::vector<NetworkAdapter> adapters;
    ifaddrs* list = nullptr;
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return adapters;
    }
    if (getifaddrs(&list) != 0) {
        ::close(probe);
        return adapters;
    }
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET ||
            (a->ifa_flags & IFF_UP) == 0 || a->ifa_netmask == nullptr) {
            continue;
        }
        const std::uint32_t address =
            reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
        if (address == 0 || !isEthernetKind(probe, a->ifa_name)) {
            continue;
        }
        NetworkAdapter adapter;
        adapter.interfaceName = a->ifa_name;
        adapter.address = address;
        adapter.mask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr;
        adapter.index = if_nametoindex(a->ifa_name);
        adapters.push_back(adapter);
    }
    freeifaddrs(list);
    ::close(probe);
    return adapters;
}

std::uint32_t localAddressFor(std::uint32_t host, const std::vector<NetworkAdapter>& adapters) {
    if (adapters.empty()) {
        return 0;
    }
    // A connected datagram socket sends nothing; its local address is the routing table's
    // choice for the host.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(9);
        target.sin_addr.s_addr = host;
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            for (const auto& adapter : adapters) {
                if (adapter.address == local.sin_addr.s_addr && adapter.contains(host)) {
                    ::close(fd);
                    return adapter.address;
                }
            }
        }
        ::close(fd);
    }
    return adapters.front().address;
}

} // namespace qnlink
