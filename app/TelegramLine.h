// The telegram line of the function test.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

namespace veltra {

// The telegram on screen. Bytes that follow the previous ones within the gap belong to the same
// telegram; after a longer pause the next bytes start a new telegram and the count goes up.
class TelegramLine {
public:
    // Pauses longer than this start a new telegram.
    static constexpr std::int64_t kGapMs = 70;
    // Bytes kept of one telegram: a reader that never pauses long enough would otherwise grow
    // the texts without end. Beyond this the oldest bytes give way.
    static constexpr std::size_t kMaxBytes = 2048;

    explicit TelegramLine(std::int64_t nowMs = 0) : lastByteMs_(nowMs) {}

    // Bytes received at `nowMs`. Nothing happens for an empty piece.
    void receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
    // Empties the texts; the count and the time of the last byte stay.
    void clear();

    // "%c   " per byte.
    QString asciiText() const;
    // "%02X " per byte.
    QString hexText() const;
    int count() const { return count_; }

private:
    QByteArray bytes_;
    int count_ = 0;
    std::int64_t lastByteMs_;
};

} // namespace veltra
