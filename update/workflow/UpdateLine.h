// The two lines of the about box that tell whether something newer is listed: the program line
// and the reader line. veltra-cli prints the same lines.
#pragma once

#include <QString>

namespace veltra {

class CUpdateCheck;

struct UpdateLine {
    enum class State {
        Empty,     // no reader identified yet
        NoList,    // no list, or one that does not parse
        NoEntries, // the list lacks "Version" or "Build" for the program
        Newer,     // an update is listed; clicking the line installs it
        Current,   // nothing newer is listed
    };
    QString text;
    State state = State::Empty;

    bool clickable() const { return state == State::Newer; }
};

UpdateLine programUpdateLine(const CUpdateCheck& check);
// Resolves the reader's section through the list's "Alias" first (waits up to 500 ms for the
// list).
UpdateLine deviceUpdateLine(CUpdateCheck& check);

} // namespace veltra
