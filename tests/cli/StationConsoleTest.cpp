// The station's console lines as a terminal shows them: what StationConsole writes is replayed
// on a small screen that knows the few control sequences it uses, and the screen must hold one
// line per reader with its latest state, none longer than the terminal is wide.
#include "tools/veltra-cli/StationConsole.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace veltra {
namespace {

// Replays text with "\n", "\r", ESC[nA (up), ESC[nB (down) and ESC[2K (erase the line).
std::vector<std::string> screen(const std::string& text) {
    std::vector<std::string> lines(1);
    std::size_t row = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++row;
            column = 0;
        } else if (c == '\r') {
            column = 0;
        } else if (c == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            std::size_t end = i + 2;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            const int n = end > i + 2 ? std::stoi(text.substr(i + 2, end - i - 2)) : 1;
            const char command = text.at(end);
            if (command == 'A') {
                EXPECT_GE(row, static_cast<std::size_t>(n)) << "cursor moved above the first line";
                row -= std::min(row, static_cast<std::size_t>(n));
            } else if (command == 'B') {
                row += static_cast<std::size_t>(n);
            } else if (command == 'K' && n == 2) {
                lines.resize(std::max(lines.size(), row + 1));
                lines[row].clear();
            } else {
                ADD_FAILURE() << "unexpected control sequence " << text.substr(i, end - i + 1);
            }
            i = end;
            continue;
        } else {
            lines.resize(std::max(lines.size(), row + 1));
            lines[row].resize(std::max(lines[row].size(), column + 1), ' ');
            lines[row][column++] = c;
        }
        lines.resize(std::max(lines.size(), row + 1));
    }
    EXPECT_EQ(row, lines.size() - 1) << "the cursor is not below the last line";
    EXPECT_TRUE(lines.back().empty());
    lines.pop_back();
    return lines;
}

TEST(StationConsoleTest, EachReaderKeepsOneLineWithItsLatestStateCutToTheTerminal) {
    const std::vector<std::pair<std::string, std::string>> updates = {
        {"/dev/ttyUSB0", "verbinden"},
        {"/dev/ttyUSB1", "verbinden"},
        {"/dev/ttyUSB0", "programmieren"},
        {"/dev/ttyUSB2", "verbinden"},
        {"/dev/ttyUSB1", "fehlgeschlagen: kein Gerät gefunden"},
        {"/dev/ttyUSB0", "fertig"},
    };
    std::ostringstream terminal;
    std::ostringstream pipe;
    StationConsole onTerminal(terminal, true, 40);
    StationConsole onPipe(pipe, false, 40);
    for (const auto& [port, text] : updates) {
        onTerminal.update(port, text);
        onPipe.update(port, text);
    }
    EXPECT_EQ(
        screen(terminal.str()),
        (std::vector<std::string>{"/dev/ttyUSB0: fertig", "/dev/ttyUSB1: fehlgeschlagen: kein Gerä",
                                  "/dev/ttyUSB2: verbinden"}));
    // The cut falls between characters, never inside one. Not on a terminal every change is a
    // line of its own, uncut, for logs.
    EXPECT_EQ(screen(pipe.str()).size(), updates.size());
    EXPECT_NE(pipe.str().find("Gerät gefunden"), std::string::npos);
}

} // namespace
} // namespace veltra
