// Puts the 4-byte pieces of trace texts back together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltra::trace {

// A text ends at the first zero byte of a piece. A text whose length is a multiple of four has
// no zero byte; it is taken as complete when its last piece ends in a newline (as most traced
// texts do), and otherwise when the sender has been quiet for a moment (flush()).
class TraceAssembler {
public:
    // Takes one piece (first character in the lowest byte); returns the texts it completed.
    std::vector<std::string> addPiece(std::uint32_t piece);
    // Hands out the unfinished text; empty when there is none.
    std::string flush();
    bool pending() const { return !text_.empty(); }

private:
    std::string text_;
};

} // namespace veltra::trace
