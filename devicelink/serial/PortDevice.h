// The device under a serial port: a terminal (RS-232, USB virtual COM) or an FTDI chip reached
// through the D2XX library. CUSBSerialPort drives either through this interface alone, so the
// port thread, the write buffer and direct input are the same code for both.
#ifndef QNLINK_PORTDEVICE_H
#define QNLINK_PORTDEVICE_H

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qnlink {

class PortDevice {
public:
    // What a wait saw. `input`: there is something to read (or a hang-up to be read as one);
    // `room`: the device takes bytes again; `woken`: wake() was called; `ended`: the device
    // went away.
    struct Events {
        bool woken = false;
        bool input = false;
        bool room = false;
        bool ended = false;
    };

    virtual ~PortDevice() = default;
    PortDevice(const PortDevice&) = delete;
    PortDevice& operator=(const PortDevice&) = delete;

    // Bytes read without waiting: > 0, 0 when nothing is there, -1 when the device went away.
    virtual long read(std::uint8_t* data, std::size_t size) = 0;
    // Bytes the device took: 0 when it is full for now, -1 on a write error.
    virtual long write(const std::uint8_t* data, std::size_t size) = 0;
    // Baud rate and line format (LineFormat). False when the device does not take them.
    virtual bool configure(int baudRate, int lineFormat) = 0;
    // What wait() waits for besides wake(). Takes effect at once, also in a wait in progress.
    virtual void setInterest(bool input, bool room) = 0;
    // Blocks, without using the processor, until something of interest happens or wake().
    virtual Events wait() = 0;
    // Ends the current or the next wait().
    virtual void wake() = 0;
    // Whether a second thread may wait for input with awaitInput() while the port thread keeps
    // away from the input (setInterest(false, ...)).
    virtual bool directInput() const = 0;
    // Waits until input arrives or `until` passes; `input` and `ended` as in wait().
    virtual Events awaitInput(std::chrono::steady_clock::time_point /*until*/) { return {}; }
    // TIOCM_* bits (CTS, DSR, CD, RI) seen at open; -1 for a device without modem lines.
    virtual int modemLines() const = 0;
    // Releases the device. Called once, after the port thread has ended.
    virtual void close() = 0;

protected:
    PortDevice() = default;
};

} // namespace qnlink

#endif
