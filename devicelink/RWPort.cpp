#include "devicelink/RWPort.h"

#include "devicelink/hid/HidLink.h"
#include "devicelink/serial/USBSerialPort.h"
#include "devicelink/tcp/TCPSocketThread.h"
#include "qnlink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace qnlink {

namespace {

using Clock = std::chrono::steady_clock;

// How often a registered wait callback is called while a reply is outstanding.
constexpr auto kCallbackPeriod = std::chrono::milliseconds(10);
// Time the reader needs after a baud switch before it listens at the new rate.
constexpr auto kBaudSettle = std::chrono::milliseconds(200);

struct WaitCallbackSlot {
    std::mutex mutex;
    void (*callback)(int, void*) = nullptr;
    void* context = nullptr;
};

WaitCallbackSlot& waitCallbackSlot() {
    static WaitCallbackSlot slot;
    return slot;
}

// Reports one wait to the callback: begin on construction, end on destruction (also after a
// timeout). Inactive when no callback is registered or the connection keeps its window.
class WaitReport {
public:
    explicit WaitReport(bool keepWindowEnabled) {
        if (keepWindowEnabled) {
            return;
        }
        auto& slot = waitCallbackSlot();
        std::lock_guard lock(slot.mutex);
        callback_ = slot.callback;
        context_ = slot.context;
        if (callback_) {
            callback_(QN_WAIT_BEGIN, context_);
        }
    }
    ~WaitReport() {
        if (callback_) {
            callback_(QN_WAIT_END, context_);
        }
    }
    WaitReport(const WaitReport&) = delete;
    WaitReport& operator=(const WaitReport&) = delete;

    bool active() const { return callback_ != nullptr; }
    void progress() const {
        if (callback_) {
            callback_(QN_WAIT_PROGRESS, context_);
        }
    }

private:
    void (*callback_)(int, void*) = nullptr;
    void* context_ = nullptr;
};

// Direct input of the link for the span of one exchange (see Link::beginDirectInput).
class DirectInput {
public:
    explicit DirectInput(Link* link) : link_(link && link->beginDirectInput() ? link : nullptr) {}
    ~DirectInput() {
        if (link_) {
            link_->endDirectInput();
        }
    }
    DirectInput(const DirectInput&) = delete;
    DirectInput& operator=(const DirectInput&) = delete;

    bool active() const { return link_ != nullptr; }

private:
    Link* link_;
};

bool isOneOf(int value, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

std::span<const std::uint8_t> bytesOf(const unsigned char* data, int length) {
    return {data, static_cast<std::size_t>(length)};
}

} // namespace

void setWaitCallback(void (*callback)(int, void*), void* context) {
    auto& slot = waitCallbackSlot();
    std::lock_guard lock(slot.mutex);
    slot.callback = callback;
    slot.context = callback ? context : nullptr;
}

void currentWaitCallback(void (*&callback)(int, void*), void*& context) {
    auto& slot = waitCallbackSlot();
    std::lock_guard lock(slot.mutex);
    callback = slot.callback;
    context = slot.context;
}

int baudRateCode(int baudRate) {
    switch (baudRate) {
    case 2400:
        return 0;
    case 4800:
        return 1;
    case 9600:
        return 2;
    case 38400:
        return 4;
    case 57600:
        return 5;
    case 115200:
        return 6;
    case 230400:
        return 7;
    case 460800:
        return 8;
    case 921600:
        return 9;
    case 1382400:
        return 10;
    default:
        return 3; // 19200 and every rate without a code of its own
    }
}

CQN_RW_Port::CQN_RW_Port(PortName name, int timeoutMs, bool keepWindowEnabled)
    : name_(std::move(name)), timeoutMs_(timeoutMs), keepWindowEnabled_(keepWindowEnabled) {}

CQN_RW_Port::~CQN_RW_Port() {
    closeLink();
}

int CQN_RW_Port::openLink(int baudRate, int lineFormat) {
    switch (name_.kind) {
    case LinkKind::Serial:
    case LinkKind::Ftdi: // the serial port class drives an FTDI reader by its serial number
        link_ = CUSBSerialPort::open(name_, baudRate, lineFormat, queue_);
        if (link_) {
            return 0;
        }
        // A serial port closed to this user (an RS-232 port of the dialout group, a USB
        // reader without the udev rule) is the usual failure on Linux, and one the user can fix.
        if (name_.kind == LinkKind::Serial && ::access(name_.device.c_str(), R_OK | W_OK) != 0 &&
            (errno == EACCES || errno == EPERM)) {
            return QN_OPEN_NO_PERMISSION;
        }
        return QN_OPEN_FAILED;
    case LinkKind::Hid: {
        std::unique_ptr<HidLink> hid;
        if (const int result = HidLink::open(name_.name, queue_, hid); result != 0) {
            return result;
        }
        // The reader must take the mode message 0 before anything else is said to it.
        if (!hid->sendModeMessage(0)) {
            return QN_OPEN_HID_MODE;
        }
        link_ = std::move(hid);
        return 0;
    }
    case LinkKind::Tcp:
        link_ = openTcpLink(name_.name, queue_);
        return link_ ? 0 : QN_OPEN_FAILED;
        // These links are not part of this build of the library yet.
        return QN_OPEN_FAILED;
    }
    return QN_OPEN_FAILED;
}

void CQN_RW_Port::closeLink() {
    if (link_) {
        link_->close();
    }
}

bool CQN_RW_Port::waitForReply(bool directInput) {
    WaitReport report(keepWindowEnabled_);
    const bool polled = report.active();
    const auto timeout = std::chrono::milliseconds(timeoutMs_);
    // The phases only move forward, and each ends at its own deadline whatever arrives: bytes
    // that are skipped while seeking the STX can leave the queue shorter than a header again,
    // which must not start the header phase (and its clock) once more. So an exchange waits at
    // most three reply timeouts, two in CRC framing, also on a line that never falls silent.
    ReplyPhase phase = ReplyPhase::WaitHeader;
    auto deadline = Clock::now() + timeout;
    for (;;) {
        std::uint64_t generation = 0;
        const ReplyPhase seen =
            queue_.inspect([&](Bytes& q) { return scanReply(framing_, q); }, generation);
        if (seen == ReplyPhase::Complete) {
            return true;
        }
        const auto now = Clock::now();
        if (seen > phase) {
            phase = seen;
            deadline = now + timeout;
        } else if (now >= deadline) {
            lastError_ = QN_ERR_TIMEOUT;
            return false;
        }
        const auto sliceEnd = polled ? std::min(deadline, now + kCallbackPeriod) : deadline;
        bool sliceOver = false;
        if (directInput && link_->awaitInput(sliceEnd)) {
            sliceOver = Clock::now() >= sliceEnd;
        } else if (!link_->usable()) {
            // The device has gone for good (an unplugged HID reader): no reply can come.
            lastError_ = QN_ERR_TIMEOUT;
            return false;
        } else {
            directInput = false; // the device went away: its thread has ended
            sliceOver = !queue_.waitForChange(generation, sliceEnd);
        }
        if (sliceOver) {
            report.progress();
        }
        if (link_) {
            link_->pollInput();
        }
    }
}

bool CQN_RW_Port::exchange(std::uint8_t command, std::span<const std::uint8_t> data, Bytes& reply) {
    if (data.size() > kMaxRequestData) {
        // LEN is one byte: a longer request would go out with a wrong length.
        lastError_ = QN_ERR_LENGTH;
        return false;
    }
    if (!link_) {
        lastError_ = QN_ERR_TIMEOUT;
        return false;
    }
    const Bytes frame = buildRequest(framing_, name_.busAddress, command, data);
    // From before the request goes out until the reply is in, this thread reads the link.
    const DirectInput direct(link_.get());
    queue_.clear();
    link_->discardPendingInput();
    // A frame the link does not take is lost; the wait below then ends with a timeout.
    (void)link_->write(frame.data(), frame.size());
    if (!waitForReply(direct.active())) {
        return false;
    }
    const Bytes received = queue_.takeAll();
    ReplyResult result = validateReply(framing_, received);
    if (result.error != 0) {
        lastError_ = result.error;
        return false;
    }
    reply = std::move(result.data);
    return true;
}

bool CQN_RW_Port::identify() {
    Bytes reply;
    if (!exchange(0xF0, {}, reply)) {
        return false;
    }
    identity_ = decodeIdentification(reply);
    return true;
}

int CQN_RW_Port::simpleCommand(std::uint8_t command, std::span<const std::uint8_t> data) {
    Bytes reply;
    return exchange(command, data, reply) ? 0 : -1;
}

int CQN_RW_Port::readDeviceType(unsigned char* reply, int replySize, char* modelName,
                                int modelNameSize) {
    Bytes data;
    if (!exchange(0xF0, {}, data)) {
        return -1;
    }
    if (reply == nullptr || replySize < 0 || data.size() > static_cast<std::size_t>(replySize)) {
        return fail(QN_ERR_BUFFER);
    }
    std::copy(data.begin(), data.end(), reply);
    const std::string model = modelNameForReply(data);
    if (modelName != nullptr && modelNameSize > 0 &&
        model.size() < static_cast<std::size_t>(modelNameSize)) {
        std::memcpy(modelName, model.c_str(), model.size() + 1);
    }
    return static_cast<int>(data.size());
}

int CQN_RW_Port::readMode() {
    Bytes data;
    if (!exchange(0xF4, {}, data)) {
        return -1;
    }
    if (data.size() != 1 || (data[0] & 0x80) == 0) {
        // The reader answered, but not with a mode.
        return fail(QN_ERR_NO_REPLY);
    }
    return data[0] & 0x7F;
}

int CQN_RW_Port::setMode(int mode) {
    if (!isOneOf(mode, {0, 1, 2, 3, 128, 129, 131})) {
        return fail(QN_ERR_MODE);
    }
    const std::uint8_t byte = static_cast<std::uint8_t>(mode);
    return simpleCommand(0xF4, {&byte, 1});
}

int CQN_RW_Port::setModeStored(int mode) {
    if (!isOneOf(mode, {0, 1, 3})) {
        return fail(QN_ERR_MODE);
    }
    const std::uint8_t byte = static_cast<std::uint8_t>(mode | 0x80);
    return simpleCommand(0xF4, {&byte, 1});
}

int CQN_RW_Port::setBaudRate(int baudRate, int parity) {
    if (name_.kind != LinkKind::Serial || !link_) {
        return fail(QN_ERR_NOT_SERIAL);
    }
    if (baudRate <= 0 || parity < 0 || parity > 3) {
        // The reader would switch to a rate or format the PC port cannot follow.
        return fail(QN_ERR_LENGTH);
    }
    const std::uint8_t byte = static_cast<std::uint8_t>(baudRateCode(baudRate) | (parity << 4));
    if (simpleCommand(0xF2, {&byte, 1}) != 0) {
        return -1;
    }
    if (!link_->setLineFormat(baudRate, parity)) {
        return fail(QN_ERR_NOT_SERIAL);
    }
    std::this_thread::sleep_for(kBaudSettle);
    return 0;
}

int CQN_RW_Port::setUsbInterface(int mode) {
    const std::uint8_t byte = static_cast<std::uint8_t>(mode);
    return simpleCommand(0xFF, {&byte, 1});
}

int CQN_RW_Port::resetReader(int byte1, int byte2) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(byte1),
                                   static_cast<std::uint8_t>(byte2)};
    return simpleCommand(0xF6, bytes);
}

int CQN_RW_Port::writeTransponderConfig(int index, const unsigned char* data, int length) {
    if (data == nullptr || length < 1) {
        return fail(QN_ERR_LENGTH);
    }
    Bytes request;
    if (identity_.extendedParameters) {
        request.push_back(static_cast<std::uint8_t>(index));
        request.insert(request.end(), data, data + length);
    } else {
        request.push_back(static_cast<std::uint8_t>((data[0] & 0x0F) | 0x40));
    }
    return simpleCommand(0xF1, request);
}

int CQN_RW_Port::writeTransponderPassword(const unsigned char* password, int length) {
    if (password == nullptr || length != 4) {
        return fail(QN_ERR_LENGTH);
    }
    return simpleCommand(0x80, bytesOf(password, 4));
}

int CQN_RW_Port::writeTransponderPasswordEx(int type, const unsigned char* password, int length) {
    if (password == nullptr || length != 4) {
        return fail(QN_ERR_LENGTH);
    }
    const std::uint8_t request[5] = {static_cast<std::uint8_t>(type), password[0], password[1],
                                     password[2], password[3]};
    return simpleCommand(0x88, request);
}

int CQN_RW_Port::readParameterBlock(int block, unsigned char* buffer, int size) {
    Bytes data;
    if (!exchange(static_cast<std::uint8_t>(0x88 + block), {}, data)) {
        return -1;
    }
    if (block == 1 && !identity_.extendedParameters) {
        Bytes current;
        if (!block1FromOldLayout(data, current)) {
            return fail(QN_ERR_BLOCK1_SHORT);
        }
        data = std::move(current);
    }
    if (buffer == nullptr || size < 0 || data.size() > static_cast<std::size_t>(size)) {
        return fail(QN_ERR_BUFFER);
    }
    std::copy(data.begin(), data.end(), buffer);
    return static_cast<int>(data.size());
}

int CQN_RW_Port::writeParameterBlock(int block, const unsigned char* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return fail(QN_ERR_LENGTH);
    }
    const auto bytes = length > 0 ? bytesOf(data, length) : std::span<const std::uint8_t>{};
    if (block == 1 && !identity_.extendedParameters) {
        Bytes old;
        if (!block1ToOldLayout(bytes, identity_.extraBlock1Byte, old)) {
            return fail(QN_ERR_LENGTH);
        }
        return simpleCommand(0x81, old);
    }
    if (block >= 2 && length > kMaxBlockLength) {
        return fail(QN_ERR_LENGTH);
    }
    return simpleCommand(static_cast<std::uint8_t>(0x80 + block), bytes);
}

int CQN_RW_Port::transact(int command, const unsigned char* data, int length, unsigned char* reply,
                          int replySize) {
    if (command < 0 || command > 0xFF) {
        return fail(QN_ERR_EMPTY_REQUEST);
    }
    if (length < 0 || (length > 0 && data == nullptr)) {
        return fail(QN_ERR_LENGTH);
    }
    Bytes answer;
    const auto bytes = length > 0 ? bytesOf(data, length) : std::span<const std::uint8_t>{};
    if (!exchange(static_cast<std::uint8_t>(command), bytes, answer)) {
        return -1;
    }
    if (reply != nullptr && replySize != 0) {
        if (replySize < 0 || answer.size() > static_cast<std::size_t>(replySize)) {
            return fail(QN_ERR_BUFFER);
        }
        std::copy(answer.begin(), answer.end(), reply);
    }
    return static_cast<int>(answer.size());
}

int CQN_RW_Port::writeRaw(const unsigned char* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return fail(QN_ERR_LENGTH);
    }
    if (length == 0) {
        return 0;
    }
    if (!link_ || !link_->write(data, static_cast<std::size_t>(length))) {
        // The link did not take the bytes (write buffer full or device gone).
        return fail(QN_ERR_BUFFER);
    }
    return 0;
}

int CQN_RW_Port::readReceived(unsigned char* buffer, int size) {
    if (link_) {
        link_->pollInput();
    }
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    const Bytes taken = queue_.take(static_cast<std::size_t>(size));
    std::copy(taken.begin(), taken.end(), buffer);
    return static_cast<int>(taken.size());
}

int CQN_RW_Port::getPortName(char* buffer, int size) {
    const std::string text = link_ ? link_->displayName() : std::string();
    if (buffer == nullptr || size < 0 || text.size() + 1 > static_cast<std::size_t>(size)) {
        return fail(QN_ERR_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

int CQN_RW_Port::hidCommand(const unsigned char* data, int length, unsigned char* reply,
                            int replySize) {
    if (length < 0 || (length > 0 && data == nullptr) || replySize < 0 ||
        (replySize > 0 && reply == nullptr)) {
        return fail(QN_ERR_LENGTH);
    }
    if (!link_) {
        return -1;
    }
    return link_->controlCommand(data, static_cast<std::size_t>(length), reply,
                                 static_cast<std::size_t>(replySize));
}

int CQN_RW_Port::hidControlWrite(const unsigned char* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return fail(QN_ERR_LENGTH);
    }
    if (!link_) {
        return -1;
    }
    return link_->controlWrite(data, static_cast<std::size_t>(length));
}

} // namespace qnlink
