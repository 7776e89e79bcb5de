// The simulated HID reader types into an X display: a virtual X server (Xvfb), a small window
// of the test's own that has the keyboard focus, and the key presses it receives decoded as
// any X client decodes them (XLookupString) under the US and the German keyboard layout. The
// German keys are programmed into the reader through the device link's control channel, as
// the configuration program does.
#include "qnlink.h"

#include "tests/devicelink/HandleGuard.h"
#include "tests/support/SimProcess.h"
#include "tests/support/VirtualDisplay.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using veltra::test::Handle;
using veltra::test::SimProcess;
using veltra::test::VirtualDisplay;

namespace {

using Clock = std::chrono::steady_clock;

// A window with the keyboard focus that collects what is typed into it.
class TypingTarget {
public:
    explicit TypingTarget(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
        if (display_ == nullptr) {
            throw std::runtime_error("cannot open display " + display);
        }
        const int screen = DefaultScreen(display_);
        window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, 200, 100, 0, 0,
                                      WhitePixel(display_, screen));
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do {
            XNextEvent(display_, &event);
        } while (event.type != MapNotify);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~TypingTarget() {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    // The text of the key presses until it is `length` characters long or 5 s passed.
    std::string read(std::size_t length) {
        std::string text;
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (text.size() < length && Clock::now() < end) {
            if (XPending(display_) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == KeyPress) {
                char buffer[8];
                KeySym sym = 0;
                const int n = XLookupString(&event.xkey, buffer, sizeof buffer, &sym, nullptr);
                text.append(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
            }
        }
        return text;
    }

private:
    Display* display_;
    Window window_;
};

const std::string kText = "zZyY#\\@<>|\t\r";

TEST(QnSimHidTest, TypesItsKeysIntoTheDisplayUnderUsAndGermanLayouts) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    VirtualDisplay display;
    ASSERT_TRUE(display.ready());
    ::setenv("DISPLAY", display.name().c_str(), 1);
    SimProcess sim({"--hid", "--type-into-display"});

    ASSERT_TRUE(display.setLayout("us"));
    {
        TypingTarget target(display.name());
        ASSERT_TRUE(sim.typeText(kText));
        EXPECT_EQ(target.read(kText.size()), kText);
    }

    // The German keys for the same characters, with AltGr where the German layout needs it.
    ::setenv("QN_SIM_HID_SOCKETS", sim.port().c_str(), 1);
    ::setenv("QN_HIDAPI_LIBRARY", QN_HIDAPI_STANDIN, 1);
    Handle h(QnOpenPort("1650-000001 HID", 19200, 0, 500));
    ASSERT_GT(h, 0);
    const std::uint8_t german[][3] = {{'z', 0x00, 0x1C}, {'Z', 0x02, 0x1C}, {'y', 0x00, 0x1D},
                                      {'Y', 0x02, 0x1D}, {'#', 0x00, 0x32}, {'\\', 0x40, 0x2D},
                                      {'@', 0x40, 0x14}, {'<', 0x00, 0x64}, {'>', 0x02, 0x64},
                                      {'|', 0x40, 0x64}};
    for (const auto& key : german) {
        const std::uint8_t message[] = {0x12, key[0], key[1], key[2]};
        ASSERT_EQ(QnHidControlWrite(h, message, 4), 0);
    }
    ASSERT_TRUE(display.setLayout("de"));
    {
        TypingTarget target(display.name());
        ASSERT_TRUE(sim.typeText(kText));
        EXPECT_EQ(target.read(kText.size()), kText);
    }
}

TEST(QnSimHidTest, TypesTelegramsInReaderMode) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        GTEST_SKIP() << "Xvfb is not installed";
    }
    VirtualDisplay display;
    ASSERT_TRUE(display.ready());
    ASSERT_TRUE(display.setLayout("us"));
    ::setenv("DISPLAY", display.name().c_str(), 1);
    TypingTarget target(display.name());
    // Line feed has no key: a telegram ending in CR LF types Return once.
    SimProcess sim({"--hid", "--type-into-display", "--mode", "1", "--interval", "300",
                    "--telegram", "0415E3A2C7\\r\\n"});
    EXPECT_EQ(target.read(22), "0415E3A2C7\r0415E3A2C7\r");
}

} // namespace
