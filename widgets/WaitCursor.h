// The wait cursor for work that keeps the program busy.
#pragma once

namespace veltra {

// While alive, shows the wait cursor over the program.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace veltra
