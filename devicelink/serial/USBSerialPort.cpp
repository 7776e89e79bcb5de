#include "devicelink/serial/USBSerialPort.h"

#include "devicelink/ftdi/FtdiDevice.h"
#include "devicelink/serial/TerminalDevice.h"

#include <cstring>
#include <utility>

namespace qnlink {

std::unique_ptr<CUSBSerialPort> CUSBSerialPort::open(const PortName& name, int baudRate,
                                                     int lineFormat, ReceiveQueue& sink) {
    std::unique_ptr<PortDevice> device;
    if (name.kind == LinkKind::Serial) {
        device = TerminalDevice::open(name.device, baudRate, lineFormat);
    } else {
        device = FtdiDevice::open(name.name, baudRate, lineFormat);
    }
    if (!device) {
        return nullptr;
    }
    auto port = open(name.name, std::move(device), sink);
    port->kind_ = name.kind;
    return port;
}

std::unique_ptr<CUSBSerialPort> CUSBSerialPort::open(const std::string& displayName,
                                                     std::unique_ptr<PortDevice> device,
                                                     ReceiveQueue& sink) {
    std::unique_ptr<CUSBSerialPort> port(new CUSBSerialPort(displayName, std::move(device), sink));
    port->running_ = true;
    port->thread_ = std::thread([p = port.get()] { p->run(); });
    return port;
}

CUSBSerialPort::CUSBSerialPort(std::string displayName, std::unique_ptr<PortDevice> device,
                               ReceiveQueue& sink)
    : displayName_(std::move(displayName)), device_(std::move(device)), sink_(sink) {}

CUSBSerialPort::~CUSBSerialPort() {
    close();
}

bool CUSBSerialPort::write(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return true;
    }
    {
        std::lock_guard lock(portMutex_);
        if (!running_ || pending_ + size > kWriteBufferSize) {
            return false; // a frame that does not fit beside the pending bytes is dropped
        }
        if (pending_ == 0) {
            // Nothing queued before these bytes: write them at once on the caller's thread,
            // which saves the hand-over to the port thread. Whatever the port does not take
            // now is queued for the port thread, so the order of bytes stays.
            const long n = device_->write(data, size);
            if (n == static_cast<long>(size)) {
                return true;
            }
            if (n < 0) {
                return true; // a failed write shows as a missing reply, as on the port thread
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        std::memcpy(writeBuffer_.data() + pending_, data, size);
        pending_ += size;
        // Under the lock, so that close() cannot release the device in between.
        device_->wake();
    }
    return true;
}

bool CUSBSerialPort::flushPending() {
    std::lock_guard lock(portMutex_);
    while (pending_ > 0) {
        const long n = device_->write(writeBuffer_.data(), pending_);
        if (n > 0) {
            const auto written = static_cast<std::size_t>(n);
            std::memmove(writeBuffer_.data(), writeBuffer_.data() + written, pending_ - written);
            pending_ -= written;
            continue;
        }
        if (n == 0) {
            return true; // the port is full; continue when it takes bytes again
        }
        // A failed write is not reported upwards: the exchange runs into its reply timeout.
        pending_ = 0;
    }
    return false;
}

void CUSBSerialPort::updateInterest() {
    device_->setInterest(threadReads_, waitForRoom_);
}

void CUSBSerialPort::setWaitForRoom(bool waitForRoom) {
    std::lock_guard lock(inputMutex_);
    if (waitForRoom_ != waitForRoom) {
        waitForRoom_ = waitForRoom;
        updateInterest();
    }
}

bool CUSBSerialPort::readInput(bool portThread) {
    std::array<std::uint8_t, 4096> chunk;
    std::lock_guard lock(inputMutex_);
    if (portThread && !threadReads_) {
        return true; // the waiting thread reads
    }
    for (;;) {
        const long n = device_->read(chunk.data(), chunk.size());
        if (n > 0) {
            sink_.append(chunk.data(), static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < chunk.size()) {
                return true; // a short read took everything the device had
            }
            continue;
        }
        return n == 0;
    }
}

bool CUSBSerialPort::beginDirectInput() {
    std::lock_guard lock(inputMutex_);
    if (!running_ || !device_->directInput()) {
        return false;
    }
    // Under the input lock: a read the port thread has begun ends first, and it starts no
    // other until endDirectInput().
    threadReads_ = false;
    updateInterest();
    return true;
}

void CUSBSerialPort::endDirectInput() {
    std::lock_guard lock(inputMutex_);
    if (threadReads_) {
        return;
    }
    threadReads_ = true;
    // Bytes that are still in the device wake the port thread at once.
    updateInterest();
}

bool CUSBSerialPort::awaitInput(std::chrono::steady_clock::time_point until) {
    std::lock_guard lock(directMutex_);
    if (!deviceOpen_ || !running_) {
        return false;
    }
    const PortDevice::Events seen = device_->awaitInput(until);
    if (seen.input && !readInput(false)) {
        return false;
    }
    return !seen.ended;
}

void CUSBSerialPort::run() {
    for (;;) {
        const PortDevice::Events seen = device_->wait();
        if (shutdown_) {
            break;
        }
        if (seen.woken || seen.room) {
            setWaitForRoom(flushPending());
        }
        bool ended = seen.ended;
        if (seen.input && !readInput(true)) {
            ended = true;
        }
        if (ended) {
            break;
        }
    }
    {
        std::lock_guard lock(portMutex_);
        running_ = false;
        pending_ = 0;
    }
    sink_.poke();
}

bool CUSBSerialPort::setLineFormat(int baudRate, int lineFormat) {
    std::lock_guard lock(portMutex_);
    return deviceOpen_ && device_->configure(baudRate, lineFormat);
}

void CUSBSerialPort::close() {
    if (thread_.joinable()) {
        shutdown_ = true;
        device_->wake();
        thread_.join();
    }
    std::lock_guard direct(directMutex_);
    std::lock_guard lock(portMutex_);
    std::lock_guard input(inputMutex_);
    running_ = false;
    pending_ = 0;
    if (deviceOpen_) {
        device_->close();
        deviceOpen_ = false;
    }
}

} // namespace qnlink
