// One reader connection: its link, its receive queue, and the reader command protocol on top
// (framing, the exchange with its three wait phases, block-1 conversion). Every operation
// returns the Qn result and leaves the reason of a failure in lastError().
#ifndef QNLINK_RWPORT_H
#define QNLINK_RWPORT_H

#include "devicelink/Identity.h"
#include "devicelink/Link.h"
#include "devicelink/PortName.h"
#include "devicelink/Protocol.h"
#include "devicelink/ReceiveQueue.h"

#include <atomic>
#include <memory>
#include <span>
#include <string>

namespace qnlink {

class CQN_RW_Port {
public:
    static constexpr int kDefaultTimeoutMs = 500;
    static constexpr int kMaxBlockLength = 100; // blocks 2..6

    CQN_RW_Port(PortName name, int timeoutMs, bool keepWindowEnabled);
    ~CQN_RW_Port();
    CQN_RW_Port(const CQN_RW_Port&) = delete;
    CQN_RW_Port& operator=(const CQN_RW_Port&) = delete;

    // Opens the link the name selects. 0, or a QN_OPEN_* code.
    int openLink(int baudRate, int lineFormat);
    void closeLink();
    Link* link() const { return link_.get(); }
    ReceiveQueue& receiveQueue() { return queue_; }

    int handle() const { return handle_; }
    void setHandle(int h) { handle_ = h; }
    LinkKind kind() const { return name_.kind; }
    const PortName& portName() const { return name_; }

    int lastError() const { return lastError_.load(); }
    void setLastError(int e) { lastError_ = e; }
    Framing framing() const { return framing_; }
    void setFraming(Framing f) { framing_ = f; }
    int timeoutMs() const { return timeoutMs_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    const ReaderIdentity& identity() const { return identity_; }

    // Sends 0xF0 and decodes the reply into the identity. False when nothing valid came back.
    bool identify();
    void clearIdentity() { identity_ = ReaderIdentity{}; }

    // One request/reply exchange. True with the reply data, or false with lastError() set.
    bool exchange(std::uint8_t command, std::span<const std::uint8_t> data, Bytes& reply);

    // ---- Reader operations with Qn results ----
    int readDeviceType(unsigned char* reply, int replySize, char* modelName, int modelNameSize);
    int readMode();
    int setMode(int mode);
    int setModeStored(int mode);
    int setBaudRate(int baudRate, int parity);
    int setUsbInterface(int mode);
    int resetReader(int byte1, int byte2);
    int writeTransponderConfig(int index, const unsigned char* data, int length);
    int writeTransponderPassword(const unsigned char* password, int length);
    int writeTransponderPasswordEx(int type, const unsigned char* password, int length);
    int readParameterBlock(int block, unsigned char* buffer, int size);
    int writeParameterBlock(int block, const unsigned char* data, int length);
    int transact(int command, const unsigned char* data, int length, unsigned char* reply,
                 int replySize);
    int writeRaw(const unsigned char* data, int length);
    int readReceived(unsigned char* buffer, int size);
    int getPortName(char* buffer, int size);
    int hidCommand(const unsigned char* data, int length, unsigned char* reply, int replySize);
    int hidControlWrite(const unsigned char* data, int length);

private:
    // Waits until the queue holds a whole reply; false with error 7 on a timeout. With direct
    // input the waiting thread reads the link itself.
    bool waitForReply(bool directInput);
    int simpleCommand(std::uint8_t command, std::span<const std::uint8_t> data);
    int fail(int error) {
        lastError_ = error;
        return -1;
    }

    PortName name_;
    std::unique_ptr<Link> link_;
    ReceiveQueue queue_;
    int handle_ = 0;
    std::atomic<int> lastError_{0};
    Framing framing_ = Framing::StxBcc;
    int timeoutMs_ = kDefaultTimeoutMs;
    bool keepWindowEnabled_ = false;
    ReaderIdentity identity_;
};

// Baud code sent with 0xF2 for a rate.
int baudRateCode(int baudRate);

// The process-wide wait callback.
void setWaitCallback(void (*callback)(int, void*), void* context);
// The callback registered now and its context (nullptr when none is).
void currentWaitCallback(void (*&callback)(int, void*), void*& context);

} // namespace qnlink

#endif
