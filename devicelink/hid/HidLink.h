// The USB HID link: a keyboard reader's report channel through hidapi. The reader command
// protocol travels in data-channel reports; short control messages (mode message, key table
// queries) travel in control-channel reports. The link has no thread of its own: input is read
// on the caller's thread, blocking in hid_read_timeout while an exchange waits.
//
// Report layout, as the reader sees it in both directions: report ID 0, the length byte, the
// payload, zero bytes up to the report length. hid_write takes the report ID as its first
// byte; hid_read_timeout returns an input report without it.
#ifndef QNLINK_HIDLINK_H
#define QNLINK_HIDLINK_H

#include "devicelink/Link.h"
#include "devicelink/hid/HidApi.h"
#include "devicelink/hid/ReportDescriptor.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qnlink {

class ReceiveQueue;

class HidLink final : public Link {
public:
    // Length byte flag of control-channel output reports.
    static constexpr std::uint8_t kControlFlag = 0x80;
    // The mode message: control payload 0x10 and the value; 0 after open, 1 before close.
    static constexpr std::uint8_t kModeMessage = 0x10;
    // How long a control command waits for its answer.
    static constexpr int kControlAnswerMs = 100;
    // Pause after a control write, for the reader to act on it.
    static constexpr int kControlWritePauseMs = 15;

    // Opens the first present reader listed under this name. 0 with the link in `out`, or
    // QN_OPEN_FAILED (no hidapi, no such reader, not openable) or QN_OPEN_NO_PERMISSION (the
    // reader is there but its device node is not readable and writable for this user).
    static int open(const std::string& name, ReceiveQueue& queue, std::unique_ptr<HidLink>& out);

    ~HidLink() override;

    LinkKind kind() const override { return LinkKind::Hid; }
    // Data channel: the bytes in chunks of at most output length - 2.
    bool write(const std::uint8_t* data, std::size_t size) override;
    // The mode message 1 (when the reader took the mode message 0), then the device is closed.
    void close() override;
    // False once the device has gone (a read or write failed).
    bool usable() const override;
    void discardPendingInput() override;
    void pollInput() override;
    bool beginDirectInput() override;
    bool awaitInput(std::chrono::steady_clock::time_point until) override;
    int controlCommand(const std::uint8_t* data, std::size_t size, std::uint8_t* reply,
                       std::size_t replySize) override;
    int controlWrite(const std::uint8_t* data, std::size_t size) override;
    std::string displayName() const override { return name_; }

    // Sends the mode message; false when the reader did not take it.
    bool sendModeMessage(std::uint8_t value);
    ReportLengths reportLengths() const { return lengths_; }

private:
    HidLink(std::shared_ptr<HidApi> api, hid_device* device, std::string name,
            ReportLengths lengths, ReceiveQueue& queue);

    // One report with this length byte and payload, padded to the output report length.
    bool writeReport(std::uint8_t lengthByte, const std::uint8_t* payload, std::size_t size);
    enum class Input { Gone, None, Report };
    // Reads one input report, waiting up to timeoutMs (0: only a report already there), and
    // copies its payload (possibly none) into `payload`.
    Input readInput(std::vector<std::uint8_t>& payload, int timeoutMs);
    // The device has gone: it is closed and the link is no longer usable.
    void lose();
    // Reads every report already there; keeps their payload in the receive queue or drops it.
    void drainInput(bool keep);

    std::shared_ptr<HidApi> api_;
    mutable std::mutex mutex_;
    hid_device* device_;
    std::string name_;
    ReportLengths lengths_;
    ReceiveQueue& queue_;
    bool modeAccepted_ = false;
    std::vector<std::uint8_t> report_;
};

} // namespace qnlink

#endif
