#include "app/TelegramLine.h"

namespace veltra {

void TelegramLine::receive(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
    if (bytes.empty()) {
        return;
    }
    // The first bytes after opening are a telegram of their own even when they follow at once.
    if (count_ == 0 || nowMs - lastByteMs_ > kGapMs) {
        bytes_.clear();
        ++count_;
    }
    lastByteMs_ = nowMs;
    bytes_.append(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<qsizetype>(bytes.size()));
    if (static_cast<std::size_t>(bytes_.size()) > kMaxBytes) {
        bytes_.remove(0, bytes_.size() - static_cast<qsizetype>(kMaxBytes));
    }
}

void TelegramLine::clear() {
    bytes_.clear();
}

QString TelegramLine::asciiText() const {
    QString text;
    text.reserve(bytes_.size() * 4);
    for (const char c : bytes_) {
        // The reader's bytes are 8-bit characters; each one is shown as it is.
        text += QChar(static_cast<char16_t>(static_cast<unsigned char>(c)));
        text += QStringLiteral("   ");
    }
    return text;
}

QString TelegramLine::hexText() const {
    QString text;
    text.reserve(bytes_.size() * 3);
    for (const char c : bytes_) {
        text += QStringLiteral("%1 ")
                    .arg(static_cast<std::uint8_t>(c), 2, 16, QLatin1Char('0'))
                    .toUpper();
    }
    return text;
}

} // namespace veltra
