// A serial port (RS-232 or USB virtual COM) as a link: termios configuration, exclusive
// access, and one port thread that blocks in epoll on the port and a wake-up descriptor. While
// an exchange waits for its reply, the waiting thread reads the port itself (direct input).
#ifndef QNLINK_USBSERIALPORT_H
#define QNLINK_USBSERIALPORT_H

#include "devicelink/Link.h"
#include "devicelink/ReceiveQueue.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qnlink {

// Line formats, as in the low bits of the open flags and the parity code of a baud switch.
enum LineFormat : int { Line8N1 = 0, Line8E1 = 1, Line8O1 = 2, Line8N2 = 3 };

class CUSBSerialPort final : public Link {
public:
    static constexpr std::size_t kWriteBufferSize = 512;

    // Opens and configures the device and starts the port thread. Returns nullptr when the
    // port cannot be opened, is held by someone else, is no terminal or refuses the rate.
    static std::unique_ptr<CUSBSerialPort> open(const std::string& displayName,
                                                const std::string& devicePath, int baudRate,
                                                int lineFormat, ReceiveQueue& sink);
    ~CUSBSerialPort() override;

    LinkKind kind() const override { return LinkKind::Serial; }
    bool write(const std::uint8_t* data, std::size_t size) override;
    void close() override;
    bool setLineFormat(int baudRate, int lineFormat) override;
    std::string displayName() const override { return displayName_; }
    bool beginDirectInput() override;
    void endDirectInput() override;
    bool awaitInput(std::chrono::steady_clock::time_point until) override;

    // False once the port thread has ended because the device went away.
    bool threadRunning() const { return running_.load(); }
    // TIOCM_* bits (CTS, DSR, CD, RI) seen at open; -1 for a port without modem lines.
    int modemLinesAtOpen() const { return modemLines_; }

private:
    CUSBSerialPort(std::string displayName, int fd, int wakeFd, int epollFd, ReceiveQueue& sink);
    void run();
    // Writes what is pending; returns true while bytes remain (the port is full).
    bool flushPending();
    void wake();
    // Moves what the port holds into the receive queue. On the port thread nothing is read
    // while a waiting thread has direct input. False on a read error (the device went away).
    bool readInput(bool portThread);
    // Tells epoll what the port thread waits for on the port; inputMutex_ held.
    void updateInterest();
    void setWaitForRoom(bool waitForRoom);

    std::string displayName_;
    int fd_;
    int wakeFd_;
    int epollFd_;
    ReceiveQueue& sink_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> shutdown_{false};
    int modemLines_ = -1;

    std::mutex inputMutex_;    // one reader at a time; guards the two flags below
    bool threadReads_ = true;  // false while a waiting thread has direct input
    bool waitForRoom_ = false; // the port thread waits until the port takes bytes again
    std::mutex directMutex_;   // held by awaitInput(), so close() cannot release the port under it

    std::mutex portMutex_; // guards the write buffer
    std::array<std::uint8_t, kWriteBufferSize> writeBuffer_{};
    std::size_t pending_ = 0;
};

// Applies baud rate and line format to an open terminal. False when the rate or the format
// is not taken.
bool configureTerminal(int fd, int baudRate, int lineFormat);

// Sets a rate that has no Bnnn constant (e.g. 1382400) through the kernel's termios2.
bool setCustomBaudRate(int fd, int baudRate);

} // namespace qnlink

#endif
