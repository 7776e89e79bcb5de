#include "devicelink/hid/HidLink.h"

#include "devicelink/ReceiveQueue.h"
#include "devicelink/hid/HidEnumeration.h"
#include "qnlink.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <thread>
#include <unistd.h>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;

// At most this many reports are taken in one go of pollInput(), so a reader that streams
// cannot keep the caller in the loop.
constexpr int kMaxReportsPerPoll = 64;

int millisecondsUntil(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

ReportLengths readReportLengths(HidApi& api, hid_device* device, const std::string& path) {
    if (api.reportDescriptor != nullptr) {
        std::vector<std::uint8_t> descriptor(kMaxInputReportLength);
        const int n = api.reportDescriptor(device, descriptor.data(), descriptor.size());
        if (n > 0) {
            if (auto lengths =
                    reportLengthsFromDescriptor(descriptor.data(), static_cast<std::size_t>(n))) {
                return *lengths;
            }
        }
    }
    if (auto lengths = reportLengthsFromSysfs(path)) {
        return *lengths;
    }
    return ReportLengths{};
}

} // namespace

int HidLink::open(const std::string& name, ReceiveQueue& queue, std::unique_ptr<HidLink>& out) {
    const auto api = HidApi::current();
    if (!api) {
        return QN_OPEN_FAILED;
    }
    for (const HidReader& reader : presentHidReaders(*api)) {
        if (reader.name != name) {
            continue;
        }
        // The first reader with the name is the one; a second one of the same name is not
        // tried when the first cannot be opened.
        hid_device* device = api->openPath(reader.path.c_str());
        if (device == nullptr) {
            // hidapi does not say why. A node the user may not read and write is the usual
            // reason on Linux, and one the user can fix.
            const bool denied = ::access(reader.path.c_str(), R_OK | W_OK) != 0 &&
                                (errno == EACCES || errno == EPERM);
            return denied ? QN_OPEN_NO_PERMISSION : QN_OPEN_FAILED;
        }
        api->setNonblocking(device, 0);
        const ReportLengths lengths = readReportLengths(*api, device, reader.path);
        out.reset(new HidLink(api, device, reader.name, lengths, queue));
        return 0;
    }
    return QN_OPEN_FAILED;
}

HidLink::HidLink(std::shared_ptr<HidApi> api, hid_device* device, std::string name,
                 ReportLengths lengths, ReceiveQueue& queue)
    : api_(std::move(api)), device_(device), name_(std::move(name)), lengths_(lengths),
      queue_(queue), report_(static_cast<std::size_t>(std::max(lengths.input, 2))) {}

HidLink::~HidLink() {
    close();
}

void HidLink::close() {
    if (modeAccepted_ && usable()) {
        modeAccepted_ = false;
        sendModeMessage(1);
    }
    std::lock_guard lock(mutex_);
    if (device_ != nullptr) {
        api_->close(device_);
        device_ = nullptr;
    }
}

bool HidLink::usable() const {
    std::lock_guard lock(mutex_);
    return device_ != nullptr;
}

void HidLink::lose() {
    {
        std::lock_guard lock(mutex_);
        if (device_ != nullptr) {
            api_->close(device_);
            device_ = nullptr;
        }
    }
    modeAccepted_ = false;
    queue_.poke();
}

bool HidLink::writeReport(std::uint8_t lengthByte, const std::uint8_t* payload, std::size_t size) {
    std::vector<std::uint8_t> report(static_cast<std::size_t>(lengths_.output), 0);
    report[1] = lengthByte;
    std::copy(payload, payload + size, report.begin() + 2);
    int written = -1;
    {
        std::lock_guard lock(mutex_);
        if (device_ == nullptr) {
            return false;
        }
        written = api_->write(device_, report.data(), report.size());
    }
    return written >= 0;
}

bool HidLink::write(const std::uint8_t* data, std::size_t size) {
    const auto chunk = static_cast<std::size_t>(lengths_.output - 2);
    for (std::size_t pos = 0; pos < size; pos += chunk) {
        const std::size_t n = std::min(chunk, size - pos);
        if (!writeReport(static_cast<std::uint8_t>(n), data + pos, n)) {
            // A reader that takes no more reports; the exchange runs into its timeout.
            return false;
        }
    }
    return true;
}

HidLink::Input HidLink::readInput(std::vector<std::uint8_t>& payload, int timeoutMs) {
    payload.clear();
    int n = 0;
    {
        std::lock_guard lock(mutex_);
        if (device_ == nullptr) {
            return Input::Gone;
        }
        n = api_->readTimeout(device_, report_.data(), report_.size(), timeoutMs);
    }
    if (n < 0) {
        lose();
        return Input::Gone;
    }
    if (n == 0) {
        return Input::None;
    }
    // report_[0] is the length byte (hidraw leaves out the report ID). The payload never
    // reaches beyond the report, whatever the length byte claims.
    const std::size_t held = std::min(static_cast<std::size_t>(n) - 1,
                                      static_cast<std::size_t>(std::max(lengths_.input - 2, 0)));
    const std::size_t count = std::min<std::size_t>(report_[0], held);
    payload.assign(report_.begin() + 1, report_.begin() + 1 + static_cast<std::ptrdiff_t>(count));
    return Input::Report;
}

void HidLink::drainInput(bool keep) {
    std::vector<std::uint8_t> payload;
    for (int i = 0; i < kMaxReportsPerPoll; ++i) {
        if (readInput(payload, 0) != Input::Report) {
            return;
        }
        if (keep) {
            queue_.append(payload.data(), payload.size());
        }
    }
}

void HidLink::discardPendingInput() {
    drainInput(false);
}

void HidLink::pollInput() {
    drainInput(true);
}

bool HidLink::beginDirectInput() {
    return usable();
}

bool HidLink::awaitInput(std::chrono::steady_clock::time_point until) {
    std::vector<std::uint8_t> payload;
    const Input input = readInput(payload, millisecondsUntil(until));
    if (input == Input::Gone) {
        return false;
    }
    if (!payload.empty()) {
        queue_.append(payload.data(), payload.size());
    }
    return true;
}

int HidLink::controlWrite(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(lengths_.output - 2)) {
        return -1;
    }
    if (!writeReport(static_cast<std::uint8_t>(kControlFlag | size), data, size)) {
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kControlWritePauseMs));
    return 0;
}

int HidLink::controlCommand(const std::uint8_t* data, std::size_t size, std::uint8_t* reply,
                            std::size_t replySize) {
    if (size > static_cast<std::size_t>(lengths_.output - 2)) {
        return -1;
    }
    // Reports left over from before would be taken for the answer.
    discardPendingInput();
    if (!writeReport(static_cast<std::uint8_t>(kControlFlag | size), data, size)) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kControlAnswerMs);
    std::vector<std::uint8_t> answer;
    for (;;) {
        if (readInput(answer, millisecondsUntil(deadline)) == Input::Gone) {
            return -1;
        }
        if (!answer.empty()) {
            break;
        }
        if (Clock::now() >= deadline) {
            return -1;
        }
    }
    // The reader echoes the first byte of the message it answers.
    if (answer.size() <= 2 || size == 0 || answer[0] != data[0]) {
        return -1;
    }
    const std::size_t count = std::min(answer.size(), replySize);
    std::copy(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(count), reply);
    return static_cast<int>(count);
}

bool HidLink::sendModeMessage(std::uint8_t value) {
    const std::uint8_t message[2] = {kModeMessage, value};
    const bool taken = controlWrite(message, sizeof message) == 0;
    if (value == 0) {
        modeAccepted_ = taken;
    }
    return taken;
}

} // namespace qnlink
