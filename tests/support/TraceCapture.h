// A trace viewer inside a test: points this process's traces at a fresh private folder
// (XDG_RUNTIME_DIR), binds the viewer's socket there with the viewer's own TraceSocket and
// collects every piece on a thread of its own, so that traces never block the test.
//
//   TraceCapture capture;
//   TraceWrite("abcde");
//   EXPECT_EQ(capture.texts(), (std::vector<std::string>{"abcde"}));
#pragma once

#include "keys/TraceLog.h"
#include "tools/veltra-trace/TraceAssembler.h"
#include "tools/veltra-trace/TraceSocket.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace veltra::test {

// A fresh folder only this user may enter, made the trace folder of this process.
class TraceFolder {
public:
    TraceFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "veltra-trace-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path = pattern;
        ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~TraceFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TraceFolder(const TraceFolder&) = delete;
    TraceFolder& operator=(const TraceFolder&) = delete;

    std::string path;
};

class TraceCapture {
public:
    TraceCapture() {
        std::string error;
        if (!socket_.open(traceSocketPath(), error)) {
            throw std::runtime_error(error);
        }
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd fd{socket_.fd(), POLLIN, 0};
                ::poll(&fd, 1, 20);
                drain();
            }
        });
    }
    ~TraceCapture() {
        stop_ = true;
        thread_.join();
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Every piece received so far, in order.
    std::vector<std::uint32_t> pieces() {
        drain();
        std::lock_guard<std::mutex> lock(mutex_);
        return pieces_;
    }

    // The texts received so far, put together as the viewer does (a text still open at the
    // end counts as one).
    std::vector<std::string> texts() {
        trace::TraceAssembler assembler;
        std::vector<std::string> out;
        for (const std::uint32_t piece : pieces()) {
            for (std::string& text : assembler.addPiece(piece)) {
                out.push_back(std::move(text));
            }
        }
        if (assembler.pending()) {
            out.push_back(assembler.flush());
        }
        return out;
    }

    // All texts one after another.
    std::string all() {
        std::string out;
        for (const std::string& text : texts()) {
            out += text;
        }
        return out;
    }

private:
    void drain() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::uint32_t piece = 0;
        bool skipped = false;
        while (socket_.receive(piece, skipped)) {
            if (!skipped) {
                pieces_.push_back(piece);
            }
        }
    }

    TraceFolder folder_;
    trace::TraceSocket socket_;
    std::mutex mutex_;
    std::vector<std::uint32_t> pieces_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace veltra::test
