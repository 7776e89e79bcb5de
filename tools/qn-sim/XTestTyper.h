// Types text into the X display like a keyboard: key by key through the XTest extension, each
// character on the key the reader's table gives it, with Shift, AltGr, Control or Alt held as
// the table says.
#pragma once

#include "tools/qn-sim/HidKeyTable.h"

#include <memory>
#include <string>

struct _XDisplay;

namespace qnsim {

class XTestTyper {
public:
    // Connects to the display in DISPLAY; nullptr with a reason when there is none or it has no
    // XTest extension.
    static std::unique_ptr<XTestTyper> open(std::string* error);
    ~XTestTyper();
    XTestTyper(const XTestTyper&) = delete;
    XTestTyper& operator=(const XTestTyper&) = delete;

    // Types the text: CR as the Return key, TAB as the Tab key, other characters as the table
    // says. Characters without a key (LF among them) are left out. Returns the number of keys
    // typed.
    int type(const std::string& text, const HidKeyTable& table);

private:
    explicit XTestTyper(_XDisplay* display) : display_(display) {}
    void key(int evdevCode, bool press);

    _XDisplay* display_;
};

} // namespace qnsim
