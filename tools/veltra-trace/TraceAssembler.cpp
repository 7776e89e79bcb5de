#include "tools/veltra-trace/TraceAssembler.h"

namespace veltra::trace {

std::vector<std::string> TraceAssembler::addPiece(std::uint32_t piece) {
    std::vector<std::string> done;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((piece >> (8 * i)) & 0xFF);
        if (c == '\0') {
            // The rest of the piece is padding.
            done.push_back(flush());
            return done;
        }
        text_ += c;
    }
    if (text_.back() == '\n') {
        done.push_back(flush());
    }
    return done;
}

std::string TraceAssembler::flush() {
    std::string text;
    text.swap(text_);
    return text;
}

} // namespace veltra::trace
