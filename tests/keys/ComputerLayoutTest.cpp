#include "keys/ComputerLayout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace veltra {
namespace {

struct Placement {
    char character;
    int scanCode;
    KeyLayout::Field field;
};

// Where a layout puts a few characters that tell it apart from the others.
void expectPlacements(const KeyLayout& table, std::initializer_list<Placement> placements) {
    for (const Placement& p : placements) {
        SCOPED_TRACE(std::string("character ") + p.character);
        EXPECT_EQ(table.entries[std::size_t(p.scanCode)][p.field], std::uint8_t(p.character));
        // ... and nowhere else.
        int count = 0;
        for (const auto& entry : table.entries) {
            for (const std::uint8_t c : entry) {
                count += c == std::uint8_t(p.character) ? 1 : 0;
            }
        }
        EXPECT_EQ(count, 1);
    }
}

const std::initializer_list<Placement> kGerman = {
    {'z', 21, KeyLayout::Normal}, {'y', 44, KeyLayout::Normal}, {'Z', 21, KeyLayout::Shift},
    {'@', 16, KeyLayout::AltGr},  {'#', 43, KeyLayout::Normal}, {'\'', 43, KeyLayout::Shift},
    {'<', 86, KeyLayout::Normal}, {'>', 86, KeyLayout::Shift},  {'|', 86, KeyLayout::AltGr},
    {'\\', 12, KeyLayout::AltGr}, {'{', 8, KeyLayout::AltGr},   {'~', 27, KeyLayout::AltGr},
    {'+', 27, KeyLayout::Normal}, {'*', 27, KeyLayout::Shift},  {'"', 3, KeyLayout::Shift},
    {'-', 53, KeyLayout::Normal}, {'/', 8, KeyLayout::Shift},   {'1', 2, KeyLayout::Normal},
    {' ', 57, KeyLayout::Normal},
};

TEST(ComputerLayout, NamedLayoutsTypeWhatTheyShould) {
    struct Case {
        const char* layout;
        const char* variant;
        std::initializer_list<Placement> placements;
    };
    const Case cases[] = {
        {"de", nullptr, kGerman},
        {"fr",
         nullptr,
         {{'a', 16, KeyLayout::Normal},
          {'q', 30, KeyLayout::Normal},
          {'z', 17, KeyLayout::Normal},
          {'w', 44, KeyLayout::Normal},
          {'m', 39, KeyLayout::Normal},
          {'1', 2, KeyLayout::Shift},
          {'&', 2, KeyLayout::Normal},
          {'@', 11, KeyLayout::AltGr},
          {'#', 4, KeyLayout::AltGr},
          {'!', 53, KeyLayout::Normal},
          {',', 50, KeyLayout::Normal}}},
        {"gb",
         nullptr,
         {{'#', 43, KeyLayout::Normal},
          {'~', 43, KeyLayout::Shift},
          {'"', 3, KeyLayout::Shift},
          {'@', 40, KeyLayout::Shift},
          {'\\', 86, KeyLayout::Normal},
          {'|', 86, KeyLayout::Shift},
          {'q', 16, KeyLayout::Normal}}},
        {"us",
         nullptr,
         {{'q', 16, KeyLayout::Normal},
          {'Q', 16, KeyLayout::Shift},
          {'@', 3, KeyLayout::Shift},
          {'*', 9, KeyLayout::Shift}, // before the keypad's plain '*'
          {'+', 13, KeyLayout::Shift},
          {'\\', 43, KeyLayout::Normal},
          {'`', 41, KeyLayout::Normal},
          {'/', 53, KeyLayout::Normal}}},
        // Dead keys on the lower levels: the plain characters need AltGr, or Shift and AltGr,
        // which counts as Shift.
        {"us",
         "intl",
         {{'\'', 40, KeyLayout::AltGr},
          {'"', 40, KeyLayout::Shift},
          {'`', 41, KeyLayout::AltGr},
          {'~', 41, KeyLayout::Shift}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.layout) + (c.variant != nullptr ? c.variant : ""));
        KeyLayout table;
        ASSERT_TRUE(ComputerLayoutFromNames(c.layout, c.variant, table));
        expectPlacements(table, c.placements);
        // Nothing outside the printable ASCII characters.
        for (const auto& entry : table.entries) {
            for (const std::uint8_t ch : entry) {
                EXPECT_TRUE(ch == 0 || (ch >= 0x20 && ch <= 0x7E));
            }
        }
    }
    KeyLayout table;
    ASSERT_TRUE(ComputerLayoutFromNames("us", nullptr, table));
    for (const auto& entry : table.entries) {
        EXPECT_EQ(entry[KeyLayout::AltGr], 0);
    }
    EXPECT_FALSE(ComputerLayoutFromNames("no-such-layout", nullptr, table));
    EXPECT_EQ(table, KeyLayout{});
}

TEST(ComputerLayout, WithoutXServerTheSystemSettingsCount) {
    const std::string file =
        (std::filesystem::temp_directory_path() / ("keyboard-" + std::to_string(::getpid())))
            .string();
    std::ofstream(file) << "# KEYBOARD CONFIGURATION FILE\nXKBMODEL=\"pc105\"\nXKBLAYOUT=\"de\"\n"
                           "XKBVARIANT=\"\"\nXKBOPTIONS=\"\"\n\nBACKSPACE=\"guess\"\n";
    KeyLayout table;
    EXPECT_TRUE(ComputerLayoutFromKeyboardFile(file.c_str(), table));
    std::filesystem::remove(file);
    expectPlacements(table, kGerman);
    EXPECT_FALSE(ComputerLayoutFromKeyboardFile(file.c_str(), table));

    // The environment's xkb settings come before the settings file.
    ::unsetenv("DISPLAY");
    ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
    ComputerLayout(table);
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    expectPlacements(table, kGerman);
}

// An X server of its own, with the German layout set by setxkbmap: the layout comes from the
// server even though the environment names another.
TEST(ComputerLayout, XServerLayoutComesFirst) {
    if (::access("/usr/bin/Xvfb", X_OK) != 0 || ::access("/usr/bin/setxkbmap", X_OK) != 0) {
        GTEST_SKIP() << "Xvfb or setxkbmap is not installed (scripts/setup.sh installs both)";
    }
    const auto run = [](std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            return pid_t(-1);
        }
        return pid;
    };
    // A display number that is free: Xvfb refuses one in use, so try a few.
    pid_t server = -1;
    std::string display;
    for (int n = 90 + ::getpid() % 50; n < 200 && server < 0; n += 7) {
        display = ":" + std::to_string(n);
        if (::access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0) {
            continue;
        }
        server = run({"/usr/bin/Xvfb", display, "-nolisten", "tcp", "-noreset"});
    }
    ASSERT_GT(server, 0);
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("XKB_DEFAULT_LAYOUT", "fr", 1);

    int status = -1;
    for (int attempt = 0; attempt < 100; ++attempt) { // up to 10 s for the server to start
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const pid_t setter = run({"/usr/bin/setxkbmap", "-display", display, "de"});
        ASSERT_GT(setter, 0);
        ::waitpid(setter, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            break;
        }
    }
    KeyLayout table;
    ComputerLayout(table);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    ::unsetenv("DISPLAY");
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "setxkbmap failed";
    expectPlacements(table, kGerman);
}

} // namespace
} // namespace veltra
