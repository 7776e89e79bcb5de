// A serial port as a link: an RS-232 or USB virtual COM terminal, or an FTDI reader through the
// D2XX library (FTDI mode, chosen by the port name). One port thread waits on the device without
// using the processor, moves what arrives into the receive queue and writes queued frames. On a
// terminal the waiting thread reads the port itself while an exchange waits for its reply
// (direct input).
#ifndef QNLINK_USBSERIALPORT_H
#define QNLINK_USBSERIALPORT_H

#include "devicelink/Link.h"
#include "devicelink/PortName.h"
#include "devicelink/ReceiveQueue.h"
#include "devicelink/serial/PortDevice.h"

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

    // Opens and configures the device that the name selects (a serial port name: its
    // terminal; anything else: the FTDI reader with that serial number) and starts the port
    // thread. Returns nullptr when the port cannot be opened, is held by someone else, is no
    // terminal or refuses the rate.
    static std::unique_ptr<CUSBSerialPort> open(const PortName& name, int baudRate, int lineFormat,
                                                ReceiveQueue& sink);
    // The same over a device that is already open.
    static std::unique_ptr<CUSBSerialPort>
    open(const std::string& displayName, std::unique_ptr<PortDevice> device, ReceiveQueue& sink);
    ~CUSBSerialPort() override;

    LinkKind kind() const override { return kind_; }
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
    int modemLinesAtOpen() const { return device_->modemLines(); }

private:
    CUSBSerialPort(std::string displayName, std::unique_ptr<PortDevice> device, ReceiveQueue& sink);
    void run();
    // Writes what is pending; returns true while bytes remain (the port is full).
    bool flushPending();
    // Moves what the port holds into the receive queue. On the port thread nothing is read
    // while a waiting thread has direct input. False on a read error (the device went away).
    bool readInput(bool portThread);
    // Tells the device what the port thread waits for; inputMutex_ held.
    void updateInterest();
    void setWaitForRoom(bool waitForRoom);

    std::string displayName_;
    LinkKind kind_ = LinkKind::Serial; // Ftdi in FTDI mode
    std::unique_ptr<PortDevice> device_;
    bool deviceOpen_ = true; // false once close() has released the device
    ReceiveQueue& sink_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> shutdown_{false};

    std::mutex inputMutex_;    // one reader at a time; guards the two flags below
    bool threadReads_ = true;  // false while a waiting thread has direct input
    bool waitForRoom_ = false; // the port thread waits until the port takes bytes again
    std::mutex directMutex_;   // held by awaitInput(), so close() cannot release the port under it

    std::mutex portMutex_; // guards the write buffer
    std::array<std::uint8_t, kWriteBufferSize> writeBuffer_{};
    std::size_t pending_ = 0;
};

} // namespace qnlink

#endif
