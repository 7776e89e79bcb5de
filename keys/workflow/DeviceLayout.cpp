#include "keys/workflow/DeviceLayout.h"

#include "keys/ScopeTimer.h"
#include "keys/TraceLog.h"

namespace veltra {
namespace {

constexpr unsigned char kQueryKey = 0x11;
constexpr unsigned char kSetKey = 0x12;
constexpr int kAttempts = 5;
constexpr int kQueryReplySize = 10;
constexpr int kUsableReply = 4; // echo, character, modifier byte, usage id
constexpr std::uint8_t kNoKey = 0xFF;
constexpr int kModePolls = 102;
constexpr int kVerifyRounds = 5;
constexpr std::uint8_t kFirstProgrammed = 0x21; // the blank is not programmed
constexpr std::uint8_t kLastChar = 0x7E;
constexpr std::uint8_t kEscape = 0x1B;
constexpr std::uint16_t kEscapeKey = 0x0029; // HID usage Escape, no modifier

// The set-key message, up to five attempts; true when one was taken.
bool sendSetKey(ReaderLink& link, int handle, std::uint8_t character, std::uint16_t keyCode,
                LayoutExchangeCount& count) {
    const unsigned char message[4] = {kSetKey, character, static_cast<unsigned char>(keyCode >> 8),
                                      static_cast<unsigned char>(keyCode & 0xFF)};
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ++count.setKeys;
        if (link.hidControlWrite(handle, message, sizeof message) >= 0) {
            return true;
        }
    }
    return false;
}

bool programLayout(ReaderLink& link, int handle, const KeyLayout& desired,
                   LayoutExchangeCount& count) {
    KeyLayout reader;
    if (!ReadDeviceLayout(link, handle, reader, count)) {
        return false; // no answer at all: nothing to compare against
    }
    int sent = 0;
    for (int c = kFirstProgrammed; c <= kLastChar; ++c) {
        const std::uint8_t character = std::uint8_t(c);
        const std::uint16_t before = KeyCodeForChar(reader, character);
        const std::uint16_t after = KeyCodeForChar(desired, character);
        if (before == after) {
            continue;
        }
        TracePrintf("%c => %04X\n", c, unsigned(after));
        if (!sendSetKey(link, handle, character, after, count)) {
            return false;
        }
        ++sent;
    }
    if (!sendSetKey(link, handle, kEscape, kEscapeKey, count)) {
        return false;
    }
    if (sent == 0) {
        return true;
    }
    // The reader stores its table and answers again when done.
    for (int poll = 0; poll < kModePolls; ++poll) {
        ++count.modePolls;
        if (link.readMode(handle) != -1) {
            break;
        }
    }
    for (int round = 0; round < kVerifyRounds; ++round) {
        const bool answered = ReadDeviceLayout(link, handle, reader, count);
        TraceWrite("Tastenbelegung gelesen\n");
        if (!answered) {
            return false; // the reader went away: further rounds would only wait as long again
        }
        if (CountLayoutDifferences(reader, desired) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ReadDeviceLayout(ReaderLink& link, int handle, KeyLayout& layout) {
    LayoutExchangeCount count;
    return ReadDeviceLayout(link, handle, layout, count);
}

bool ReadDeviceLayout(ReaderLink& link, int handle, KeyLayout& layout, LayoutExchangeCount& count) {
    layout = KeyLayout{};
    ++count.layoutReads;
    bool answered = false;
    for (int c = 0x20; c <= kLastChar; ++c) {
        const unsigned char query[2] = {kQueryKey, static_cast<unsigned char>(c)};
        unsigned char reply[kQueryReplySize] = {};
        bool usable = false;
        for (int attempt = 0; attempt < kAttempts && !usable; ++attempt) {
            ++count.queries;
            usable =
                link.hidCommand(handle, query, sizeof query, reply, sizeof reply) >= kUsableReply;
        }
        if (!usable) {
            // A reader unplugged meanwhile leaves an unknown handle: the rest of the table
            // cannot come either, and a half table is no layout.
            if (link.isHidConnection(handle) < 0) {
                layout = KeyLayout{};
                return false;
            }
            continue;
        }
        answered = true;
        const std::uint8_t modifiers = reply[2];
        const std::uint8_t usage = reply[3];
        if (modifiers == kNoKey && usage == kNoKey) {
            continue; // the reader has no key for this character
        }
        const int key = UsageToKey(usage);
        if (key < 0) {
            continue;
        }
        const KeyLayout::Field field = (modifiers & (kModifierLeftShift | kModifierRightShift)) != 0
                                           ? KeyLayout::Shift
                                       : (modifiers & kModifierRightAlt) != 0 ? KeyLayout::AltGr
                                                                              : KeyLayout::Normal;
        layout.entries[std::size_t(kOnScreenKeys[std::size_t(key)].scanCode)][field] =
            std::uint8_t(c);
    }
    return answered;
}

bool WriteKeyMapping(ReaderLink& link, int handle, std::uint8_t character, std::uint16_t keyCode) {
    if (character == 0) {
        return true;
    }
    LayoutExchangeCount count;
    return sendSetKey(link, handle, character, keyCode, count);
}

bool ProgramLayout(ReaderLink& link, int handle, const KeyLayout& desired) {
    LayoutExchangeCount count;
    return ProgramLayout(link, handle, desired, count);
}

bool ProgramLayout(ReaderLink& link, int handle, const KeyLayout& desired,
                   LayoutExchangeCount& count) {
    // Traces the duration on every way out, also when an exception leaves.
    const ScopeTimer timer("Tastenbelegung speichern", 0);
    return programLayout(link, handle, desired, count);
}

} // namespace veltra
