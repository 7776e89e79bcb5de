// The station's progress on the console: on a terminal one line per reader, rewritten in place
// as the reader goes from step to step; otherwise one plain line per change, for logs and pipes.
#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace veltra {

class StationConsole {
public:
    // `width`: the terminal's columns (lines are cut to fit, so that none wraps); 0 for none.
    StationConsole(std::ostream& out, bool terminal, int width = 0);

    // Shows `text` as the state of the reader on `port`. Safe from several threads.
    void update(const std::string& port, const std::string& text);

private:
    std::string fitted(const std::string& line) const;

    std::ostream& out_;
    bool terminal_;
    int width_;
    std::mutex mutex_;
    std::vector<std::string> ports_; // the readers' lines, top to bottom
};

} // namespace veltra
