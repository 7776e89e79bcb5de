// Closes a reader handle when a test ends, whatever happened in it.
#pragma once

#include "qnlink.h"

namespace veltra::test {

struct Handle {
    int value;
    explicit Handle(int h) : value(h) {}
    ~Handle() {
        if (value > 0) {
            QnClosePort(value);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator int() const { return value; }
};

} // namespace veltra::test
