// The one interface behind which every kind of link sits. The serial port (also for FTDI
// readers) and the USB HID reader implement it; TCP sockets are to follow. The connection writes
// frames to it and reads what the link appended to the connection's receive queue.
#ifndef QNLINK_LINK_H
#define QNLINK_LINK_H

#include "devicelink/PortName.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qnlink {

class ReceiveQueue;

class Link {
public:
    virtual ~Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    virtual LinkKind kind() const = 0;
    // Queues bytes for sending. False when they were not taken (link ended, buffer full);
    // the exchange then runs into its reply timeout.
    virtual bool write(const std::uint8_t* data, std::size_t size) = 0;
    // Stops the link's thread and releases the device. Safe to call more than once.
    virtual void close() = 0;
    // False once the link has given up for good (a TCP link whose socket ended); the registry
    // drops such connections. A serial port whose device went away stays "open" until closed.
    virtual bool usable() const { return true; }
    // Changes baud rate and line format of the PC side; only serial ports can.
    virtual bool setLineFormat(int /*baudRate*/, int /*lineFormat*/) { return false; }
    // Called before each request and while waiting, for links without a thread of their own
    // (HID input reports).
    virtual void discardPendingInput() {}
    virtual void pollInput() {}
    // Direct input, for links with a thread of their own: between beginDirectInput() and
    // endDirectInput() the link's thread leaves the device's input alone and the waiting
    // thread reads it itself with awaitInput(), which saves the hand-over from one thread to
    // the other on every reply. beginDirectInput() is false when the link cannot do this (or
    // no longer can, its device having gone); the exchange then waits on the receive queue.
    virtual bool beginDirectInput() { return false; }
    virtual void endDirectInput() {}
    // Waits until input arrives or `until` passes and appends what arrived to the receive
    // queue. False once the device cannot be read any more; the caller then waits on the queue.
    virtual bool awaitInput(std::chrono::steady_clock::time_point /*until*/) { return false; }
    // The control channel of HID readers: reply length or -1, and 0 / -1. Other links have
    // none.
    virtual int controlCommand(const std::uint8_t* /*data*/, std::size_t /*size*/,
                               std::uint8_t* /*reply*/, std::size_t /*replySize*/) {
        return -1;
    }
    virtual int controlWrite(const std::uint8_t* /*data*/, std::size_t /*size*/) { return -1; }
    // The name QnGetPortName reports.
    virtual std::string displayName() const = 0;

protected:
    Link() = default;
};

} // namespace qnlink

#endif
