#include "devicelink/SdkApp.h"

#include "qnlink.h"

#include <algorithm>

namespace qnlink {

CQN_LF_SDKApp& CQN_LF_SDKApp::instance() {
    static CQN_LF_SDKApp app;
    return app;
}

CQN_LF_SDKApp::~CQN_LF_SDKApp() {
    closeAll();
}

HandlePool& CQN_LF_SDKApp::poolFor(LinkKind kind) {
    switch (kind) {
    case LinkKind::Hid:
        return hidHandles_;
    case LinkKind::Tcp:
        return tcpHandles_;
    case LinkKind::Serial:
    case LinkKind::Ftdi:
        break;
    }
    return serialHandles_;
}

void CQN_LF_SDKApp::add(const std::shared_ptr<CQN_RW_Port>& port) {
    std::lock_guard lock(listMutex_);
    connections_.push_back(port);
}

void CQN_LF_SDKApp::removeAndClose(const std::shared_ptr<CQN_RW_Port>& port) {
    {
        std::lock_guard lock(listMutex_);
        std::erase(connections_, port);
    }
    port->closeLink();
    std::lock_guard lock(handleMutex_);
    if (port->handle() != 0) {
        poolFor(port->kind()).release(port->handle());
        port->setHandle(0);
    }
}

int CQN_LF_SDKApp::createConnection(const PortName& name, int baudRate, int flags, int timeoutMs,
                                    std::shared_ptr<CQN_RW_Port>& out) {
    auto port = std::make_shared<CQN_RW_Port>(name, timeoutMs, (flags & QN_FLAG_KEEP_ENABLED) != 0);
    const int result = port->openLink(baudRate, flags & QN_FLAG_LINE_MASK);
    if (result != 0) {
        return result;
    }
    {
        std::lock_guard lock(handleMutex_);
        port->setHandle(poolFor(name.kind).acquire());
    }
    add(port);
    out = std::move(port);
    return 0;
}

int CQN_LF_SDKApp::openPort(const char* portName, int baudRate, int flags, int timeoutMs) {
    std::lock_guard openLock(openMutex_);
    if (portName == nullptr) {
        return QN_OPEN_FAILED;
    }
    const PortName name = parsePortName(portName);
    if (name.kind != LinkKind::Serial) {
        baudRate = 19200; // FTDI devices start at 19200; HID and TCP links have no rate
    }
    if (timeoutMs < 0) {
        return QN_OPEN_BAD_TIMEOUT;
    }
    const int identifyTimeout = std::min(timeoutMs, kIdentifyTimeoutMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::shared_ptr<CQN_RW_Port> port;
        if (const int result = createConnection(name, baudRate, flags, timeoutMs, port);
            result != 0) {
            return result;
        }
        port->setTimeoutMs(identifyTimeout);
        bool found = port->identify();
        if (!found && attempt == 1 && (flags & QN_FLAG_STX_ONLY) == 0) {
            // Readers that only speak the CRC framing answer this one.
            port->setFraming(Framing::Crc);
            found = port->identify();
        }
        if (found) {
            port->setTimeoutMs(timeoutMs);
            return port->handle();
        }
        port->clearIdentity();
        removeAndClose(port);
    }
    return QN_OPEN_NO_ANSWER;
}

std::shared_ptr<CQN_RW_Port> CQN_LF_SDKApp::find(int handle) {
    if (handle <= 0) {
        return nullptr;
    }
    std::shared_ptr<CQN_RW_Port> found;
    std::vector<std::shared_ptr<CQN_RW_Port>> gone;
    {
        std::lock_guard lock(listMutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            const auto& port = *it;
            if (port->handle() == 0 || (port->link() && !port->link()->usable())) {
                gone.push_back(port);
                it = connections_.erase(it);
                continue;
            }
            if (port->handle() == handle) {
                found = port;
            }
            ++it;
        }
    }
    for (const auto& port : gone) {
        removeAndClose(port);
    }
    return found;
}

int CQN_LF_SDKApp::closePort(int handle) {
    const auto port = find(handle);
    if (!port) {
        return -1;
    }
    removeAndClose(port);
    return 0;
}

int CQN_LF_SDKApp::acquireHandle(LinkKind kind) {
    std::lock_guard lock(handleMutex_);
    return poolFor(kind).acquire();
}

void CQN_LF_SDKApp::releaseHandle(LinkKind kind, int handle) {
    std::lock_guard lock(handleMutex_);
    poolFor(kind).release(handle);
}

void CQN_LF_SDKApp::closeAll() {
    std::vector<std::shared_ptr<CQN_RW_Port>> all;
    {
        std::lock_guard lock(listMutex_);
        all.swap(connections_);
    }
    for (const auto& port : all) {
        removeAndClose(port);
    }
}

} // namespace qnlink
