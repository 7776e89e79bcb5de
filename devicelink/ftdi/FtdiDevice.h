// An FTDI reader as the device under a serial port, through the D2XX library's Win32-style
// calls. The port thread waits for input with a bounded read: a one-byte read that returns when
// a byte arrives or after kReadSliceMs (never sooner without a byte, whatever the library
// does), so a silent reader costs almost no processor time and a
// wake-up (a queued write, the shutdown) is seen within one slice. Only the port thread reads,
// so there is no direct input.
#ifndef QNLINK_FTDIDEVICE_H
#define QNLINK_FTDIDEVICE_H

#include "devicelink/ftdi/FTD2xxPort.h"
#include "devicelink/serial/PortDevice.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qnlink {

class FtdiDevice final : public PortDevice {
public:
    static constexpr QnD2xxDword kReadSliceMs = 20;
    static constexpr QnD2xxDword kWriteTimeoutMs = 1000;
    static constexpr std::uint8_t kLatencyTimerMs = 2;

    // Opens the device with this serial number through D2XX and configures it: latency timer
    // 2 ms, the read and write timeouts, the event mask, the line settings with DTR and RTS on,
    // both queues purged. nullptr when the library or the device cannot be opened, or the
    // timeouts cannot be set (without them a read could block for good).
    static std::unique_ptr<FtdiDevice> open(const std::string& serialNumber, int baudRate,
                                            int lineFormat);
    ~FtdiDevice() override;

    long read(std::uint8_t* data, std::size_t size) override;
    long write(const std::uint8_t* data, std::size_t size) override;
    bool configure(int baudRate, int lineFormat) override;
    void setInterest(bool input, bool room) override;
    Events wait() override;
    void wake() override;
    bool directInput() const override { return false; }
    int modemLines() const override { return modemLines_; }
    void close() override;

private:
    FtdiDevice(std::unique_ptr<CFTD2xxPort> library, QnD2xxHandle handle, int wakeFd);
    // Bytes waiting in the device's receive queue; -1 when it cannot be asked (device gone).
    long queued();
    bool takeWake();

    std::unique_ptr<CFTD2xxPort> library_;
    QnD2xxHandle handle_;
    int wakeFd_;
    int modemLines_ = -1;
    std::atomic<bool> wantInput_{true};
    std::atomic<bool> wantRoom_{false};
    std::vector<std::uint8_t> held_; // read by a wait, not yet handed out
};

} // namespace qnlink

#endif
