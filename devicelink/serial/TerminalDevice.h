// A terminal as the device under a serial port: termios configuration, exclusive access, and
// waits in epoll on the terminal and an eventfd for wake-ups. The waiting thread may read the
// terminal itself (direct input).
#ifndef QNLINK_TERMINALDEVICE_H
#define QNLINK_TERMINALDEVICE_H

#include "devicelink/serial/PortDevice.h"

#include <memory>
#include <string>

namespace qnlink {

class TerminalDevice final : public PortDevice {
public:
    // Opens the terminal exclusively at the rate and line format, with DTR and RTS on and both
    // queues flushed. nullptr when it cannot be opened, is held by someone else, is no terminal
    // or refuses the rate.
    static std::unique_ptr<TerminalDevice> open(const std::string& path, int baudRate,
                                                int lineFormat);
    ~TerminalDevice() override;

    long read(std::uint8_t* data, std::size_t size) override;
    long write(const std::uint8_t* data, std::size_t size) override;
    bool configure(int baudRate, int lineFormat) override;
    void setInterest(bool input, bool room) override;
    Events wait() override;
    void wake() override;
    bool directInput() const override { return true; }
    Events awaitInput(std::chrono::steady_clock::time_point until) override;
    int modemLines() const override { return modemLines_; }
    void close() override;

private:
    TerminalDevice(int fd, int wakeFd, int epollFd, int modemLines);

    int fd_;
    int wakeFd_;
    int epollFd_;
    int modemLines_;
};

// Applies baud rate and line format to an open terminal. False when the rate or the format
// is not taken.
bool configureTerminal(int fd, int baudRate, int lineFormat);

// Sets a rate that has no Bnnn constant (e.g. 1382400) through the kernel's termios2.
bool setCustomBaudRate(int fd, int baudRate);

} // namespace qnlink

#endif
