// Runs a call that must end within a bound, for the tests of waits that used to hang. Should the
// call still run when the bound has passed, release() is called (for instance stopping the
// simulator whose stream keeps the call waiting), so that the call can end and the test reports
// the overrun instead of hanging. Returns the time the call took.
#pragma once

#include <chrono>
#include <future>
#include <utility>

namespace veltra::test {

template <typename Call, typename Release>
std::chrono::milliseconds boundedCall(std::chrono::milliseconds bound, Call&& call,
                                      Release&& release) {
    const auto start = std::chrono::steady_clock::now();
    auto running = std::async(std::launch::async, std::forward<Call>(call));
    if (running.wait_for(bound) != std::future_status::ready) {
        release();
    }
    running.get();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace veltra::test
