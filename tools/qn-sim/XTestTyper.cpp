#include "tools/qn-sim/XTestTyper.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace qnsim {

namespace {

// X key codes are the kernel's key codes plus 8.
constexpr int kXKeycodeOffset = 8;
// Kernel key codes of the modifier keys the reader holds.
constexpr int kEvdevLeftCtrl = 29;
constexpr int kEvdevLeftShift = 42;
constexpr int kEvdevLeftAlt = 56;
constexpr int kEvdevRightAlt = 100; // AltGr: ISO_Level3_Shift where the layout has one

} // namespace

std::unique_ptr<XTestTyper> XTestTyper::open(std::string* error) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        *error = "cannot open the X display (DISPLAY not set or not reachable)";
        return nullptr;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        *error = "the X display has no XTest extension";
        return nullptr;
    }
    return std::unique_ptr<XTestTyper>(new XTestTyper(display));
}

XTestTyper::~XTestTyper() {
    XCloseDisplay(display_);
}

void XTestTyper::key(int evdevCode, bool press) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(evdevCode + kXKeycodeOffset),
                      press ? True : False, CurrentTime);
}

int XTestTyper::type(const std::string& text, const HidKeyTable& table) {
    int typed = 0;
    for (const char c : text) {
        HidKey hidKey;
        if (c == '\r') {
            hidKey = {0, kUsageEnter};
        } else if (c == '\t') {
            hidKey = {0, kUsageTab};
        } else if (auto found = table.find(static_cast<std::uint8_t>(c))) {
            hidKey = *found;
        } else {
            continue;
        }
        const int code = evdevKeyForUsage(hidKey.usage);
        if (code == 0) {
            continue;
        }
        int held[4];
        int heldCount = 0;
        if ((hidKey.modifier & kModLeftCtrl) != 0) {
            held[heldCount++] = kEvdevLeftCtrl;
        }
        if ((hidKey.modifier & (kModLeftShift | kModRightShift)) != 0) {
            held[heldCount++] = kEvdevLeftShift;
        }
        if ((hidKey.modifier & kModLeftAlt) != 0) {
            held[heldCount++] = kEvdevLeftAlt;
        }
        if ((hidKey.modifier & kModRightAlt) != 0) {
            held[heldCount++] = kEvdevRightAlt;
        }
        for (int i = 0; i < heldCount; ++i) {
            key(held[i], true);
        }
        key(code, true);
        key(code, false);
        for (int i = heldCount - 1; i >= 0; --i) {
            key(held[i], false);
        }
        // Each key reaches the server before the next, as from a real keyboard.
        XSync(display_, False);
        ++typed;
    }
    return typed;
}

} // namespace qnsim
