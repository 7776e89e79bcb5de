// The Ethernet face of the simulator: the network module of an Ethernet reader. On TCP it
// passes the reader command protocol through to the reader model; on UDP port 30718 it answers
// the module's configuration protocol (blocks 0..15, identity, set-IP-address, closing
// message). Every configuration datagram it receives is logged on standard error.
#pragma once

#include "tools/qn-sim/FrameScanner.h"
#include "tools/qn-sim/PtyServer.h"
#include "tools/qn-sim/ReaderModel.h"
#include "tools/qn-sim/Responder.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qnsim {

enum class LanFault { None, Silent, Short, OtherAddress };

// Parses the LAN fault names of the command line: silent, short, other-address.
std::optional<LanFault> parseLanFault(const std::string& name);

struct LanOptions {
    std::string address;             // the module's IPv4 address, dotted
    int tcpPort = 10001;             // the reader channel
    std::string name = "QNSIM";      // module name, at most 16 characters
    std::string typeText = "QN-LAN"; // block 2's type text; "QN-..." for the maker's readers
    bool dhcp = false;               // block 0 holds 0.0.0.0 while the module answers anyway
    int hostBits = 8;
    std::string gateway; // dotted, empty = 0.0.0.0
    int moveDelayMs = 0; // after set-IP-address, answer at the new address this late
    LanFault fault = LanFault::None;
    std::string replyFrom; // the other address of the other-address fault
    FaultOptions readerFaults;
    bool acceptStx = true;
    bool acceptCrc = true;
    std::uint8_t busAddress = 1;
};

class LanServer {
public:
    static constexpr std::uint16_t kConfigPort = 30718;
    static constexpr std::size_t kBlockSize = 126;
    static constexpr std::size_t kBlock0Size = 120;
    static constexpr std::size_t kShortAnswer = 60; // data bytes under the short fault

    LanServer(ReaderModel& model, LanOptions options);
    ~LanServer();
    LanServer(const LanServer&) = delete;
    LanServer& operator=(const LanServer&) = delete;

    bool open(std::string* error);
    // "a.b.c.d-port": the name the device link opens the reader by.
    std::string portName() const;
    bool run(std::string* error);
    void requestStop();

    // The configuration answer to one datagram (empty when the module does not answer), and
    // the move to a new address that a set-IP-address message asks for.
    std::vector<std::uint8_t> answer(const std::vector<std::uint8_t>& datagram,
                                     std::optional<std::uint32_t>* moveTo);
    const std::vector<std::uint8_t>& block(int n) const {
        return blocks_.at(static_cast<std::size_t>(n));
    }

private:
    struct Client {
        int fd;
        FrameScanner scanner;
        std::chrono::steady_clock::time_point lastInput{};
    };
    bool bindAddress(std::uint32_t address, std::string* error);
    void onDatagram(int fd, bool broadcastSocket);
    void onClientInput(Client& client);
    void answerFrames(Client& client, bool lineIdle);
    void moveTo(std::uint32_t address);

    ReaderModel& model_;
    LanOptions options_;
    Responder responder_;
    std::array<std::vector<std::uint8_t>, 16> blocks_;
    std::uint32_t address_ = 0; // network order
    int udp_ = -1;              // unicast, bound to the module's address
    int broadcast_ = -1;        // bound to any address, takes broadcasts only
    int replyFrom_ = -1;        // other-address fault
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::vector<std::uint32_t> broadcastAddresses_;
    std::vector<Client> clients_;
    std::optional<std::pair<std::chrono::steady_clock::time_point, std::uint32_t>> pendingMove_;
};

} // namespace qnsim
