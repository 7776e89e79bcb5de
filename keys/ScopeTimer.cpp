#include "keys/ScopeTimer.h"

#include "keys/TraceLog.h"

#include <cstdio>

namespace veltra {

ScopeTimer::ScopeTimer(const char* label, std::int32_t thresholdUs)
    : start_(MicrosecondClock()), threshold_(thresholdUs), label_(label != nullptr ? label : "") {}

ScopeTimer::~ScopeTimer() {
    const std::uint64_t now = MicrosecondClock();
    const std::uint64_t elapsed = now - start_;
    if (static_cast<std::int64_t>(elapsed) < threshold_) {
        return;
    }
    TraceWrite(formatScopeTime(label_.c_str(), now, elapsed).c_str());
}

std::string formatScopeTime(const char* label, std::uint64_t nowUs, std::uint64_t elapsedUs) {
    const std::uint64_t ms = elapsedUs / 1000;
    char text[512];
    std::snprintf(text, sizeof text, "[%08u] %s %d:%02d.%03d.%03d min\n",
                  static_cast<unsigned>(static_cast<std::uint32_t>(nowUs / 1000)), label,
                  static_cast<int>(ms / 60000), static_cast<int>((ms / 1000) % 60),
                  static_cast<int>(ms % 1000), static_cast<int>(elapsedUs - ms * 1000));
    return text;
}

} // namespace veltra
