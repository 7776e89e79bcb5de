// Times an activity and traces its duration when it ends, on every way out (return or
// exception), if it took at least the threshold.
#pragma once

#include <cstdint>
#include <string>

namespace veltra {

class ScopeTimer {
public:
    explicit ScopeTimer(const char* label, std::int32_t thresholdUs = 0);
    ~ScopeTimer();
    ScopeTimer(const ScopeTimer&) = delete;
    ScopeTimer& operator=(const ScopeTimer&) = delete;

private:
    std::uint64_t start_;
    std::int32_t threshold_;
    std::string label_;
};

// The traced text: "[<clock in ms, 8 digits>] <label> <min>:<s>.<ms>.<us> min\n", e.g.
// "[00123456] Tastenbelegung speichern 1:05.432.123 min\n" for 65.432123 s.
std::string formatScopeTime(const char* label, std::uint64_t nowUs, std::uint64_t elapsedUs);

} // namespace veltra
