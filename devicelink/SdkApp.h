// The library's module object: the registry of open connections with its list and open locks,
// the handle numbers per link kind, opening with identification, lookup and closing.
#ifndef QNLINK_SDKAPP_H
#define QNLINK_SDKAPP_H

#include "devicelink/HandlePool.h"
#include "devicelink/RWPort.h"

#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace qnlink {

class CQN_LF_SDKApp {
public:
    static constexpr int kIdentifyTimeoutMs = 300;

    static CQN_LF_SDKApp& instance();
    ~CQN_LF_SDKApp();

    // QnOpenPort: a handle > 0 or a QN_OPEN_* code.
    int openPort(const char* portName, int baudRate, int flags, int timeoutMs);
    // The open connection with this handle, or nullptr. Drops connections whose link gave up.
    std::shared_ptr<CQN_RW_Port> find(int handle);
    // 0, or -1 for an unknown handle.
    int closePort(int handle);
    void closeAll();
    // Handle numbers of connections that do not go through openPort (the module configuration
    // accesses of the LAN operations draw from the TCP numbers).
    int acquireHandle(LinkKind kind);
    void releaseHandle(LinkKind kind, int handle);

private:
    CQN_LF_SDKApp() = default;
    HandlePool& poolFor(LinkKind kind);
    void add(const std::shared_ptr<CQN_RW_Port>& port);
    void removeAndClose(const std::shared_ptr<CQN_RW_Port>& port);
    // Opens the link of a fresh connection and registers it; 0 or a QN_OPEN_* code.
    int createConnection(const PortName& name, int baudRate, int flags, int timeoutMs,
                         std::shared_ptr<CQN_RW_Port>& out);

    std::mutex listMutex_;
    std::mutex openMutex_;
    std::mutex handleMutex_;
    std::vector<std::shared_ptr<CQN_RW_Port>> connections_;
    HandlePool serialHandles_{0};
    HandlePool hidHandles_{10000};
    HandlePool tcpHandles_{20000};
};

} // namespace qnlink

#endif
