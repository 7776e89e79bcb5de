#include "tools/veltra-cli/StationConsole.h"

#include <QString>

#include <algorithm>

namespace veltra {

StationConsole::StationConsole(std::ostream& out, bool terminal, int width)
    : out_(out), terminal_(terminal), width_(width) {}

std::string StationConsole::fitted(const std::string& line) const {
    // Cut by characters, not bytes, so that no UTF-8 sequence is split.
    const QString text = QString::fromStdString(line);
    if (width_ <= 1 || text.size() < width_) {
        return line;
    }
    return text.left(width_ - 1).toStdString();
}

void StationConsole::update(const std::string& port, const std::string& text) {
    std::lock_guard lock(mutex_);
    const std::string line = port + ": " + text;
    if (!terminal_) {
        out_ << line << '\n' << std::flush;
        return;
    }
    const auto it = std::find(ports_.begin(), ports_.end(), port);
    if (it == ports_.end()) {
        ports_.push_back(port);
        out_ << fitted(line) << '\n' << std::flush;
        return;
    }
    // Up to the reader's line, rewrite it, and back below the last line.
    const auto up = ports_.end() - it;
    out_ << "\x1b[" << up << "A\r\x1b[2K" << fitted(line) << "\x1b[" << up << "B\r" << std::flush;
}

} // namespace veltra
