// Arbitrary datagrams as the Ethernet module configuration receives them: each one, from the
// source address the input gives it, goes through what the search, the name resolution, the
// block queries and the identity query make of a datagram. Input: records of a 4-byte source
// address (network order), a 2-byte length (low byte first) and that many datagram bytes.
#include "devicelink/tcp/ConfigAccess.h"
#include "devicelink/tcp/LanOperations.h"
#include "devicelink/tcp/ModuleProtocol.h"
#include "qnlink.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace qnlink;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// "-port" at the end, with a port that fits 16 bits.
void requirePortSuffix(const std::string& entry) {
    const std::size_t dash = entry.rfind('-');
    require(dash != std::string::npos && dash + 1 < entry.size() && entry.size() - dash <= 6);
    require(std::stoi(entry.substr(dash + 1)) <= 65535);
}

void checkDatagram(const ReceivedDatagram& got, std::string& lastEntry) {
    // Every answer type a request is answered with, from the expected host and from another.
    for (int block = 0; block < 8; ++block) {
        for (const std::uint8_t type : {queryAnswerType(block), writeAnswerType(block)}) {
            for (const std::uint32_t host : {0u, got.source, got.source ^ 1u}) {
                const auto data = acceptAnswer(got, host, type, kBlockAnswerSize);
                require(!data || (data->size() >= kBlockAnswerSize && got.bytes[3] == type &&
                                  (host == 0 || host == got.source)));
            }
        }
    }

    // A block-2 answer after a search answer decides whether that module is one of our readers.
    if (const auto block2 = acceptAnswer(got, 0, queryAnswerType(2), kLongBlockSize);
        block2 && !lastEntry.empty()) {
        if (const auto reader = readerSearchEntry(lastEntry, *block2)) {
            require(!reader->empty() && reader->size() <= lastEntry.size());
        }
    }
    if (const auto entry = searchAnswerEntry(got)) {
        requirePortSuffix(*entry);
        require(entry->find(dottedAddress(got.source)) != std::string::npos);
        lastEntry = *entry;
    }

    if (const auto block = acceptAnswer(got, got.source, queryAnswerType(0), kBlockAnswerSize)) {
        // The module's own name resolves to the sender, unless the block names the sender.
        for (const std::string& wanted : {bracketedModuleName(*block), std::string("[LAB]")}) {
            if (const auto resolved = resolvedModule(got, wanted)) {
                require(parseDottedAddress(withoutPort(*resolved)) == got.source);
                requirePortSuffix(*resolved);
            }
        }
        const LanSettingsTexts texts = lanSettingsTexts(*block);
        for (const std::string* text :
             {&texts.name, &texts.address, &texts.subnetMask, &texts.gateway}) {
            require(text->size() < QN_LAN_TEXT_SIZE);
        }
        require(parseDottedAddress(texts.subnetMask).has_value());
        std::string remote;
        int port = -1;
        if (lanRemoteHost(*block, remote, port)) {
            require(remote.size() < QN_LAN_ADDRESS_SIZE && port >= 0 && port <= 65535);
        }
    }

    if (const auto identity =
            acceptAnswer(got, got.source, kIdentityAnswerType, kIdentityAnswerSize)) {
        const Datagram request = setAddressRequest((*identity)[24], (*identity)[25], got.source);
        require(request.size() == kModuleHeaderSize + 16);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string lastEntry;
    std::size_t at = 0;
    while (at + 6 <= size) {
        ReceivedDatagram got;
        std::memcpy(&got.source, data + at, 4);
        const std::size_t length = data[at + 4] | (data[at + 5] << 8);
        at += 6;
        const std::size_t end = std::min(size, at + length);
        got.bytes.assign(data + at, data + end);
        at = end;
        checkDatagram(got, lastEntry);
    }
    return 0;
}
